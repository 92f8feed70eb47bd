#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <functional>

// Under --tiny every part runs at a token size (a few players, lines and seconds), which shows
// that it still runs to the end; its figures then mean nothing.
bool tiny();
template <class T>
T sized(T full, T small)
{
    return tiny() ? small : full;
}

// Each prints its own figures; false when it could not run to the end.
bool benchInboundPath();
bool benchHostileNames();  // 10,000 long names from strangers, and the cost of a line after them
bool benchLobbyWindow();
bool benchScale();      // many sessions on real servers
bool benchSendBurst();  // 50 chat lines at once, against servers' default flood handling
bool benchPeer();       // CPU per received line, ours against another IRC client
bool benchFlood();      // the windowed program under a chat flood: memory, CPU, responsiveness, transcript
bool benchStart();      // exec to the nickname window on screen, against a bare window
// Child sides, each run by the bench as a process of its own:
// tavarine-bench --receive HOST PORT LINES (a session without windows)
int benchReceive(int argc, char *argv[]);
// tavarine-bench --windowed-receive ADDRESS MARK[,MARK...] [--log] [--no-probe] [--ca FILE] (the program's
// window set; ADDRESS as the player writes it, e.g. ircs://localhost:6697; FILE: a CA it trusts too)
int benchWindowedReceive(int argc, char *argv[]);
// tavarine-bench --show-window program|bare START_NS
int benchShowWindow(int argc, char *argv[]);

// Where the window figures are drawn, for the headers: "xcb on Xvfb :N ..." or the offscreen fallback.
QByteArray windowPlatformText();
// Keeps a goal's figure for the summary at the end of the run; returns "met" or "missed".
const char *judge(const char *part, const QByteArray &what, const QByteArray &figure, const QByteArray &goal, bool met);
// The resident size (kB) of a bare Qt window with the nickname window's title, flags and size,
// two seconds after it is shown (bench_start.cpp); -1 when it never showed.
qint64 bareWindowResidentKb();

// For the benches on real servers (bench_scale.cpp).
// Runs the event loop until done() holds or timeoutMs passes; false on timeout.
bool runUntil(const std::function<bool()> &done, qint64 timeoutMs, int pollMs = 10);
// From /proc; -1 when unreadable. pid 0 is this process.
qint64 peakMemoryKb(qint64 pid = 0);
qint64 residentKb(qint64 pid = 0);  // VmRSS
qint64 cpuMs(qint64 pid);
// Processes this one started whose command name is `command`.
QList<qint64> childPids(const QByteArray &command);

// Best of a few runs, in nanoseconds.
template <class F>
qint64 bestOf(int runs, F &&f)
{
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        const qint64 ns = t.nsecsElapsed();
        if (best < 0 || ns < best)
            best = ns;
    }
    return best;
}
