// Prints figures; never asserts. Run: build/bench/tavarine-bench
#include "bench/Benchmarks.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Tavarine lobby benchmarks\n");
    benchInboundPath();
    return 0;
}
