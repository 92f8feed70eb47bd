#include "launch/GameLauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace GameLauncher {

QString gameFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tavarine-lobby/game");
}

namespace {
bool isWindowsProgram(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// A binfmt_misc entry that hands programs beginning with "MZ" to an interpreter (wine's own does).
bool windowsRunsDirectly()
{
    const QDir binfmt(QStringLiteral("/proc/sys/fs/binfmt_misc"));
    for (const QString &entry : binfmt.entryList(QDir::Files)) {
        QFile file(binfmt.filePath(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = file.readAll();
        if (text.startsWith("enabled") && text.contains("\noffset 0\n") && text.contains("\nmagic 4d5a"))
            return true;
    }
    return false;
}

QString winePackageHint()
{
    return QStringLiteral("Install Wine (on Debian and Ubuntu: the package wine).");
}
}  // namespace

Plan plan(const Machine &m)
{
    const QString launcherInFolder = m.folder + u'/' + QLatin1String(Launcher);
    if (!m.launcherOnPath.isEmpty()) {
        if (!m.launcherOnPathIsWindows || m.windowsRunsDirectly)
            return {m.launcherOnPath, {}, {}, {}};
        if (m.wine.isEmpty())
            return {{}, {}, {}, QStringLiteral("%1 is a Windows program, and wine was not found to run it.\n\n%2")
                                    .arg(m.launcherOnPath, winePackageHint())};
        return {m.wine, {m.launcherOnPath}, {}, {}};
    }
    if (!m.folderHasLauncher || !m.folderHasGame) {
        return {{}, {}, {}, QStringLiteral("The game's Windows files were not found.\n\n"
                                           "Put %1 and %2 in the game folder:\n%3\n\nor put a program named %1 on PATH.")
                                .arg(QLatin1String(Launcher), QLatin1String(Game), m.folder)};
    }
    if (m.wine.isEmpty())
        return {{}, {}, {}, QStringLiteral("The game in %1 is a Windows program, and wine was not found to run it.\n\n%2")
                                .arg(m.folder, winePackageHint())};
    return {m.wine, {launcherInFolder}, m.folder, {}};
}

Machine lookAround()
{
    Machine m;
    m.launcherOnPath = QStandardPaths::findExecutable(QLatin1String(Launcher));
    m.launcherOnPathIsWindows = !m.launcherOnPath.isEmpty() && isWindowsProgram(m.launcherOnPath);
    m.windowsRunsDirectly = m.launcherOnPathIsWindows && windowsRunsDirectly();
    m.folder = gameFolder();
    m.folderHasLauncher = QFileInfo(m.folder + u'/' + QLatin1String(Launcher)).isFile();
    m.folderHasGame = QFileInfo(m.folder + u'/' + QLatin1String(Game)).isFile();
    m.wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    return m;
}

bool start(const Plan &plan, const QString &commandLine, QString *error)
{
    if (!plan.ready()) {
        *error = plan.missing;
        return false;
    }
    QStringList arguments = commandLine.split(u' ', Qt::SkipEmptyParts);
    if (!arguments.isEmpty())
        arguments.removeFirst();  // the launcher itself, which the plan found
    QProcess process;
    process.setProgram(plan.program);
    process.setArguments(plan.leadingArguments + arguments);
    process.setWorkingDirectory(plan.workingFolder);
    if (process.startDetached())
        return true;
    *error = QStringLiteral("%1 could not be started: %2").arg(plan.program, process.errorString());
    return false;
}

}  // namespace GameLauncher
