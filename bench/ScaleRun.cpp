// A scale run's phases: the ramp, the churn, the restart of the second server.
#include "SessionProbe.h"
#include "ScaleRun.h"
#include "bench/Benchmarks.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <list>

namespace scale {
qint64 LobbyRun::serverCpuMs() const
{
    return cpuMs(m_server[0].processId()) + cpuMs(m_server[1].processId()) + m_oldServerCpuMs;
}

// ngircd 26.1 breaks a compressed server link ("Compression error: code -2") whenever its table
// of connections grows past the size it had (100 at the start), the link's zlib state moving with
// it. Each server's table is grown beyond what the run needs before the players come; the link is
// made again meanwhile. Registered clients prove they were taken; at most 10 wait at a time, what
// the server's listen queue holds. The table is indexed by descriptor: a small lobby stays inside it.
void LobbyRun::growConnectionTables()
{
    const int target = m_fig.n / 2 + 100;
    if (m_fig.n / 2 + 40 <= 100)
        return;
    std::list<QTcpSocket> warm;
    int welcomed = 0;
    std::function<void(int)> open = [&](int k) {
        int opened = 0, done = 0;
        for (QTcpSocket &s : warm)
            if (s.property("server").toInt() == k)
                ++opened, done += s.property("in").toBool();
        for (; opened < target && opened - done < 10; ++opened) {
            QTcpSocket &s = warm.emplace_back();
            s.setProperty("server", k);
            const QByteArray nick = "warm" + QByteArray::number(qsizetype(warm.size()));
            QObject::connect(&s, &QTcpSocket::connected, [&s, nick] { s.write("NICK " + nick + "\r\nUSER w 0 * :w\r\n"); });
            QObject::connect(&s, &QTcpSocket::readyRead, [&, k] {
                if (!s.property("in").toBool() && s.readAll().contains(" 001 ")) {
                    s.setProperty("in", true);
                    ++welcomed;
                    open(k);
                }
            });
            s.connectToHost(QHostAddress::LocalHost, m_server[k].port());
        }
    };
    open(0), open(1);
    runUntil([&] { return welcomed == 2 * target; }, 60000, 50);
    warm.clear();
    if (!m_server[0].waitLinked() || !m_server[1].waitLinked())
        std::printf("    the servers did not link again after their tables grew\n");
}

Figures LobbyRun::run()
{
    const int n = m_fig.n;
    std::printf("  %s x2, %d players%s:\n", kindName(m_fig.kind), n, m_fig.classics ? ", 5 % classic peers" : "");
    std::fflush(stdout);
    RealIrcServer::Options options;
    options.kind = m_fig.kind;
    if (!LinkedServer::startPair(m_server[0], m_server[1], options, 2 * n + 100)) {
        std::printf("    servers did not start: %s\n", qPrintable((m_server[0].errorString() + m_server[1].errorString()).section(u'\n', 0, 0)));
        return m_fig;
    }
    m_fig.ran = true;
    if (m_fig.kind == RealIrcServer::NgIrcd)
        growConnectionTables();
    m_linkBreaks[0] = linkBreaks();
    m_clock.start();
    const qint64 cpu0 = cpuMs(0), serverCpu0 = serverCpuMs();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
    ticker.start(TickMs);

    // Players join gradually.
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (int(m_players.size()) < n)
            add(false);
    });
    step.start(RampStepMs);
    const bool allIn = runUntil([&] {
        return int(m_players.size()) == n && std::all_of(m_players.begin(), m_players.end(), [](auto &p) { return p->entered; });
    }, n * RampStepMs + 60000, 20);
    step.stop();
    m_fig.rampS = m_clock.nsecsElapsed() / 1e9;
    if (!allIn) {
        const auto in = std::count_if(m_players.begin(), m_players.end(), [](auto &p) { return p->entered; });
        std::printf("    only %lld of %d players got into the lobby in %.0f s\n", static_cast<long long>(in), n, m_fig.rampS);
    }
    // The hut forms while the ramp's last lists settle (at least 2 s).
    QElapsedTimer settle;
    settle.start();
    formHut(60000);
    runUntil([] { return false; }, std::max<qint64>(0, 2000 - settle.elapsed()), 50);
    if (m_fig.kind == RealIrcServer::InspIRCd) {
        // The answers to the ramp's newcomers go out first, ten nicknames a line, so that the churn
        // pays for its own. On ngircd, a nickname a line at a line a second, they never catch up.
        QElapsedTimer drain;
        drain.start();
        qint64 last = -1;
        runUntil([&] {
            qint64 written = 0;
            for (const auto &p : m_players)
                written += p->session ? SessionProbe{*p->session}.socket().traffic().linesWritten : 0;
            return std::exchange(last, written) >= 0 && written - last < std::max(1, n / 50);
        }, 120000, 1000);
        m_fig.drainS = drain.elapsed() / 1e3;
    }

    // A minute of comings and goings.
    m_phase = "churn";
    for (const auto &p : m_players)
        if ((p->bystander = p->session && present(*p)))
            p->before = SessionProbe{*p->session}.socket().traffic();
    const qint64 churnCpu0 = cpuMs(0), churnServerCpu0 = serverCpuMs(), churn0 = m_churn0 = m_clock.nsecsElapsed();
    m_linkBreaks[1] = linkBreaks();
    m_churning = m_tracking = true;
    int steps = 0;
    QObject::disconnect(&step, nullptr, nullptr, nullptr);
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (steps++ % 2 == 0) {
            add(true);
            ++m_fig.arrivals;
        } else {
            quitOne();
        }
    });
    step.start(ChurnStepMs);
    runUntil([] { return false; }, m_fig.churnS * 1000, 50);
    step.stop();
    m_churning = false;
    const double churnWallMs = (m_clock.nsecsElapsed() - churn0) / 1e6;
    m_fig.benchChurnShare = (cpuMs(0) - churnCpu0) / churnWallMs;
    m_fig.serverChurnShare = (serverCpuMs() - churnServerCpu0) / churnWallMs;
    m_fig.benchMb = residentKb() / 1024.0;
    for (const auto &p : m_players)
        if (p->bystander && (p->bystander = present(*p)))
            p->after = SessionProbe{*p->session}.socket().traffic();
    runUntil([] { return false; }, 3000, 50);  // the last newcomers get their lists

    // One server restarts; its players come back by themselves.
    m_phase = "restart";
    m_tracking = false;
    std::vector<Player *> watched;
    for (const auto &p : m_players)
        if (p->session && p->server == 1 && present(*p))
            watched.push_back(p.get());
    m_fig.backOf = int(watched.size());
    m_restarted = true;
    m_linkBreaks[2] = linkBreaks();
    const qint64 restart0 = m_clock.nsecsElapsed();
    m_oldServerCpuMs = cpuMs(m_server[1].processId());
    if (!m_server[1].restart())
        std::printf("    the second server did not come back: %s\n", qPrintable(m_server[1].errorString().section(u'\n', 0, 0)));
    const LobbyMembers &otherSide = SessionProbe{*m_players[0]->session}.members();
    std::vector<qint64> backNs(watched.size(), -1), inNs(watched.size(), -1);
    runUntil([&] {
        bool all = true;
        for (size_t k = 0; k < watched.size(); ++k) {
            // Back: joined again since the restart, and in the lobby still.
            const bool in = watched[k]->rejoinNs >= 0 && SessionProbe{*watched[k]->session}.life().inLobby();
            if (inNs[k] < 0 && in)
                inNs[k] = watched[k]->rejoinNs - restart0;
            if (backNs[k] < 0 && in && otherSide.isListed(watched[k]->name))
                backNs[k] = m_clock.nsecsElapsed() - restart0;
            all = all && backNs[k] >= 0;
        }
        return all;
    }, BackLimitMs, 100);
    m_fig.inLobbyNs = std::count(inNs.begin(), inNs.end(), -1) ? -1 : *std::max_element(inNs.begin(), inNs.end());
    m_fig.back = int(std::count_if(backNs.begin(), backNs.end(), [](qint64 t) { return t >= 0; }));
    m_fig.backNs = m_fig.back == m_fig.backOf ? *std::max_element(backNs.begin(), backNs.end()) : -1;
    m_fig.backMedianNs = medianOf(backNs);
    m_fig.complete = allIn && m_fig.back == m_fig.backOf;
    m_phase = "after the restart";
    runUntil([] { return false; }, tiny() ? 1000 : 3000, 50);
    m_linkBreaks[3] = linkBreaks();
    m_fig.benchCpuS = (cpuMs(0) - cpu0) / 1e3;
    m_fig.serverCpuS = (serverCpuMs() - serverCpu0) / 1e3;
    ticker.stop();
    summarise();
    m_players.clear();
    return m_fig;
}
}  // namespace scale
