// Prints figures; never asserts. Run: build/bench/tavarine-bench [inbound|names|window|start|flood|scale|burst|peer]...
#include "bench/Benchmarks.h"

#include "VirtualDisplay.h"

#include <QApplication>
#include <QDir>
#include <QScopeGuard>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
QByteArray g_platformText = "the offscreen platform, no Xvfb";
}  // namespace

QByteArray windowPlatformText()
{
    return g_platformText;
}

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--receive") == 0) {
        QCoreApplication app(argc, argv);
        return benchReceive(argc, argv);
    }
    // Children that show windows get QT_QPA_PLATFORM and DISPLAY from the bench.
    if (argc > 1 && std::strcmp(argv[1], "--windowed-receive") == 0) {
        QApplication app(argc, argv);
        return benchWindowedReceive(argc, argv);
    }
    if (argc > 1 && std::strcmp(argv[1], "--show-window") == 0) {
        QApplication app(argc, argv);
        return benchShowWindow(argc, argv);
    }

    // No names: all of them.
    QByteArrayList asked;
    for (int i = 1; i < argc; ++i)
        asked.append(argv[i]);
    const auto wanted = [&](const char *name) { return asked.isEmpty() || asked.contains(name); };

    // Window figures come from a real X server of the bench's own; offscreen only when there is none.
    VirtualDisplay display;
    QByteArray displayNote;
    if (wanted("window") || wanted("start") || wanted("flood")) {
        if (display.start()) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            qputenv("DISPLAY", display.name());
            g_platformText = "xcb on Xvfb " + display.name() + " (" + VirtualDisplay::Screen + ")";
        } else {
            displayNote = "no Xvfb (" + display.errorString() + "): window figures offscreen, flood and start skipped";
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // the other parts show no window
    }
    // Qt wants a private runtime folder; one of the bench's own keeps its warning out of the figures.
    QByteArray runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeDir = "/tmp/tavarine-bench-XXXXXX";
        if (::mkdtemp(runtimeDir.data()))
            qputenv("XDG_RUNTIME_DIR", runtimeDir);
        else
            runtimeDir.clear();
    }
    const auto removeRuntimeDir = qScopeGuard([&] {
        if (!runtimeDir.isEmpty())
            QDir(QString::fromLocal8Bit(runtimeDir)).removeRecursively();
    });
    QApplication app(argc, argv);
    std::printf("Tavarine lobby benchmarks\n");
    if (!displayNote.isEmpty())
        std::printf("%s\n", displayNote.constData());
    std::fflush(stdout);
    if (wanted("inbound"))
        benchInboundPath();
    if (wanted("names"))
        benchHostileNames();
    if (wanted("window"))
        benchLobbyWindow();
    if (wanted("start"))
        benchStart();
    if (wanted("flood"))
        benchFlood();
    if (wanted("scale"))
        benchScale();
    if (wanted("burst"))
        benchSendBurst();
    if (wanted("peer"))
        benchPeer();
    return 0;
}
