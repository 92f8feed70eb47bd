// How 50 chat lines typed at once reach the channel under default flood handling.
#include "SessionProbe.h"
#include "bench/Benchmarks.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
const QByteArray Channel = "#TavarineNET_3";

bool dropped(LobbySession &s)
{
    return SessionProbe{s}.socket().state() == LobbySocket::Closing || SessionProbe{s}.socket().state() == LobbySocket::Error;
}

QByteArray msText(qint64 ns)
{
    return ns < 0 ? QByteArray("timeout") : QByteArray::number(ns / 1e6, 'f', 0);
}

// The client-side queue length, where the socket has one.
template <class Socket>
qsizetype waitingLines(const Socket &socket)
{
    if constexpr (requires { socket.waitingLines(); })
        return socket.waitingLines();
    else
        return -1;
}

bool burstRun(RealIrcServer::Kind kind)
{
    const char *name = kind == RealIrcServer::Kind::NgIrcd ? "ngircd" : "InspIRCd";
    RealIrcServer server;
    RealIrcServer::Options options;
    options.kind = kind;
    options.defaultFlood = true;
    if (!server.start(options)) {
        std::printf("  %-8s server did not start: %s\n", name, qPrintable(server.errorString().section(u'\n', 0, 0)));
        return false;
    }
    PlainIrcClient watcher;
    if (!watcher.enter(server.port(), "watcher", Channel)) {
        std::printf("  %-8s the watching client could not join\n", name);
        return false;
    }
    RecordingView view;
    LobbySession session("p0", Channel);
    session.setView(&view);
    session.Form_Load(server.address());
    if (!runUntil([&] { return watcher.received.contains("...TAVLIST|||p0|||"); }, 30000)) {
        std::printf("  %-8s the session's arrival never reached the channel\n", name);
        return false;
    }
    // Idle long enough for a bucket of a few lines to fill again.
    runUntil([] { return false; }, sized(6000, 1000), 50);

    const int Count = sized(50, 5);
    const QByteArray key = "...TAVCHAT p0> burst line ";
    qsizetype scanned = watcher.received.size();
    std::vector<qint64> arrivals;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= Count; ++i)
        session.Send_Click(QStringLiteral("burst line %1").arg(i));
    const qint64 loopUs = t.nsecsElapsed() / 1000;
    const qsizetype queued = waitingLines(SessionProbe{session}.socket());
    qsizetype maxQueued = queued;
    runUntil([&] {
        const QByteArray got = watcher.received;
        for (qsizetype pos; (pos = got.indexOf(key, scanned)) >= 0;) {
            arrivals.push_back(t.nsecsElapsed());
            scanned = pos + key.size();
        }
        maxQueued = std::max(maxQueued, waitingLines(SessionProbe{session}.socket()));
        return int(arrivals.size()) >= Count || dropped(session);
    }, 120000, 10);

    const auto at = [&](int k) { return int(arrivals.size()) >= k ? msText(arrivals[k - 1]) : QByteArray("-"); };
    std::printf("  %-8s %d of %d arrived, last after %s ms (1st %s, 5th %s, 6th %s, 10th %s, 25th %s); ", name,
                int(arrivals.size()), Count, int(arrivals.size()) >= Count ? at(Count).constData() : "timeout",
                at(1).constData(), at(5).constData(), at(6).constData(), at(10).constData(), at(25).constData());
    std::printf("session %s\n", dropped(session) ? "DISCONNECTED by the server" : "still connected");
    std::printf("           the Send loop took %lld us", static_cast<long long>(loopUs));
    if (queued >= 0)
        std::printf("; client queue after it: %lld lines", static_cast<long long>(queued));
    if (int(arrivals.size()) > 10) {
        const double gapMs = (arrivals.back() - arrivals[5]) / 1e6 / double(arrivals.size() - 6);
        std::printf("; mean gap from the 6th line on: %.0f ms", gapMs);
    }
    std::printf("\n");
    std::fflush(stdout);
    return int(arrivals.size()) >= Count;
}
}  // namespace


bool benchSendBurst()
{
    std::printf("send burst: one session types 50 chat lines at once; a plain client in the channel counts them\n"
                "  (servers with their default flood handling)\n");
    bool ran = true;
    for (RealIrcServer::Kind kind : {RealIrcServer::Kind::NgIrcd, RealIrcServer::Kind::InspIRCd}) {
        if (!RealIrcServer::available(kind)) {
            std::printf("  skipped: server not installed\n");
            continue;
        }
        ran = burstRun(kind) && ran;
    }
    return ran;
}
