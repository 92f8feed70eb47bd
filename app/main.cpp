#include "ui/Resource.h"
#include "ui/StartOptions.h"
#include "ui/WindowSet.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    QApplication::setDesktopFileName(QStringLiteral("tavarine-lobby"));
    QApplication::setWindowIcon(Resource::applicationIcon());
    const StartOptions options = StartOptions::parse(QApplication::arguments());
    if (options.exitCode >= 0) {
        std::fputs(options.output.toLocal8Bit().constData(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }
    // The window path decides when the program ends, not the last visible window.
    QApplication::setQuitOnLastWindowClosed(false);
    WindowSet windows(options.servers);
    QObject::connect(&windows, &WindowSet::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.start();
    return app.exec();
}
