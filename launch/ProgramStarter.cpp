#include "launch/ProgramStarter.h"

#include <QProcess>
#include <QStandardPaths>

namespace ProgramStarter {

bool start(const QString &commandLine, WindowStyle)
{
    // The window style only means something to a Windows launcher; X11 programs
    // pick their own first window state.
    QStringList words = commandLine.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    const QString program = QStandardPaths::findExecutable(words.takeFirst());
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, words);
}

}  // namespace ProgramStarter
