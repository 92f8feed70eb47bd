#pragma once

// The flood part (bench_flood.cpp): the program's window set in a child process on Xvfb
// (FloodChild.cpp), driven and read by the parent (FloodDriver.cpp), under a chat flood.
#include "bench/Benchmarks.h"
#include "bench/ChatFlood.h"

#include <QByteArrayList>
#include <QList>

struct PlainIrcClient;
class RealIrcServer;

namespace flood {
const QByteArray Channel = "#TavarineNET_3";
inline int floodLines()  // one measured stretch of the flood; more than the transcript keeps
{
    return sized(100000, 11000);
}
inline QList<int> memoryMarks()  // readings in the child
{
    return {floodLines(), 2 * floodLines()};
}
inline ChatFlood::Pace floodPace()  // a tiny run only shows that the part works, so it need not take its time
{
    return sized(ChatFlood::Pace{4000, 10, 2000}, ChatFlood::Pace{16000, 10, 2000});
}
constexpr int PollMs = 100;    // the child reads the transcript's last line this often
constexpr int ProbeMs = 5;     // the child's event-loop probe
constexpr qint64 StretchLimitMs = 120000;
inline int cpuRunCount()  // of the program and of HexChat, taking turns
{
    return sized(3, 1);
}

// What the child says at a mark.
struct Reading {
    qint64 cpuMs = -1;
    qint64 rssKb = -1;
    double stallMs = -1;
    qint64 inboundLogBytes = -1;  // the session's InboundLog, as the program keeps it
};

struct WindowedRun {
    Reading ready;
    double idleCpuMs = -1;    // over one idle second after the join
    double probedCpuMs = -1;  // over the next, with the probe running
    QList<Reading> marks;
    QList<qint64> stretchWallMs;
    QByteArrayList notes;
    QByteArray transcript;
    QByteArray failure;
};

// One child; with the probe unless asked, since its wake-ups cost CPU of their own. overTls: it
// dials ircs://localhost on the server's TLS port, trusting the server's CA.
WindowedRun runWindowed(const RealIrcServer &server, PlainIrcClient &sender, const QList<int> &marks, bool withLog,
                        bool withProbe = true, bool overTls = false);
}  // namespace flood
