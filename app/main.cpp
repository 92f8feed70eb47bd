#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    QApplication::setDesktopFileName(QStringLiteral("tavarine-lobby"));
    QApplication::setWindowIcon(Resource::applicationIcon());
    // The window path decides when the program ends, not the last visible window.
    QApplication::setQuitOnLastWindowClosed(false);
    WindowSet windows;
    QObject::connect(&windows, &WindowSet::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.start();
    return app.exec();
}
