// Prints figures; never asserts. Run: build/bench/tavarine-bench
#include "bench/Benchmarks.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Tavarine lobby benchmarks\n");
    benchInboundPath();
    benchLobbyWindow();
    return 0;
}
