// Prints figures; never asserts. Run: build/bench/tavarine-bench [inbound|window|scale|burst|peer]...
#include "bench/Benchmarks.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--receive") == 0) {
        QCoreApplication app(argc, argv);
        return benchReceive(argc, argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // No names: all of them.
    const QStringList asked = app.arguments().mid(1);
    const auto wanted = [&](const char *name) { return asked.isEmpty() || asked.contains(QLatin1String(name)); };
    std::printf("Tavarine lobby benchmarks\n");
    if (wanted("inbound"))
        benchInboundPath();
    if (wanted("window"))
        benchLobbyWindow();
    if (wanted("scale"))
        benchScale();
    if (wanted("burst"))
        benchSendBurst();
    if (wanted("peer"))
        benchPeer();
    return 0;
}
