// Prints figures; never judges them. Run: build/bench/tavarine-bench [inbound|names|window|start|flood|scale|burst|peer|goals]...
// [--tiny]. Exits 1 when a part could not run to the end.
#include "bench/Benchmarks.h"

#include "VirtualDisplay.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QDir>
#include <QScopeGuard>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
QByteArray g_platformText = "the offscreen platform, no Xvfb";
bool g_tiny = false;

struct Judged {
    const char *part;
    QByteArray what, figure, goal;
    bool met;
};
QList<Judged> g_goals;
}  // namespace

bool tiny()
{
    return g_tiny;
}

QByteArray windowPlatformText()
{
    return g_platformText;
}

const char *judge(const char *part, const QByteArray &what, const QByteArray &figure, const QByteArray &goal, bool met)
{
    g_goals.append({part, what, figure, goal, met});
    return met ? "met" : "missed";
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
        if (std::strcmp(argv[i], "--tiny") == 0)
            g_tiny = true;
        else
            asked.append(argv[i]);
    // "goals": the parts whose figures the goals are about, and nothing else.
    const auto wanted = [&](const char *name) {
        static const QByteArrayList goalParts{"inbound", "window", "start", "flood"};
        return asked.isEmpty() || asked.contains(name) || (asked.contains("goals") && goalParts.contains(name));
    };

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
    // Every player the bench starts is a new one: no settings of the machine's user are read or written.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto removeRuntimeDir = qScopeGuard([&] {
        if (!runtimeDir.isEmpty())
            QDir(QString::fromLocal8Bit(runtimeDir)).removeRecursively();
    });
    QApplication app(argc, argv);
    std::printf("Tavarine lobby benchmarks%s\n", g_tiny ? ", tiny: every part at a token size; the figures mean nothing" : "");
    if (!displayNote.isEmpty())
        std::printf("%s\n", displayNote.constData());
    std::fflush(stdout);
    const std::pair<const char *, bool (*)()> parts[] = {
        {"inbound", benchInboundPath}, {"names", benchHostileNames}, {"window", benchLobbyWindow}, {"start", benchStart},
        {"flood", benchFlood},         {"scale", benchScale},        {"burst", benchSendBurst},    {"peer", benchPeer},
    };
    QByteArrayList unfinished;
    for (const auto &[name, part] : parts)
        if (wanted(name) && !part())
            unfinished.append(name);
    if (!g_goals.isEmpty() && !g_tiny) {
        std::printf("goals in this run:\n");
        for (const Judged &g : std::as_const(g_goals))
            std::printf("  %-8s %-58s %14s  goal %-9s %s\n", g.part, g.what.constData(), g.figure.constData(),
                        g.goal.constData(), g.met ? "met" : "MISSED");
    }
    if (!unfinished.isEmpty())
        std::printf("did not run to the end: %s\n", unfinished.join(' ').constData());
    return unfinished.isEmpty() ? 0 : 1;
}
