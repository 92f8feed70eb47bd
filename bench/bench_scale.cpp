// Many sessions in one lobby on real servers: how long until every list is full
// and a launch reaches the whole hut, whom the servers drop, and the memory it takes.
// Also: how 50 chat lines typed at once reach the channel under default flood handling.
#include "bench/Benchmarks.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "StandInLauncher.h"
#include "session/LobbySession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

bool runUntil(const std::function<bool()> &done, qint64 timeoutMs, int pollMs)
{
    if (done())
        return true;
    if (timeoutMs <= 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    bool ok = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            ok = true;
            loop.quit();
        } else if (deadline.hasExpired()) {
            loop.quit();
        }
    });
    poll.start(pollMs);
    loop.exec();
    return ok;
}

namespace {
QByteArray procFile(qint64 pid, const char *name)
{
    const QString path = pid ? QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name))
                             : QStringLiteral("/proc/self/") + QLatin1String(name);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/PID/stat after the command name: [0] is field 3 (state).
QByteArrayList statFields(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 ? QByteArrayList() : stat.mid(close + 2).split(' ');
}

qint64 statusKb(qint64 pid, const QByteArray &key)
{
    for (const QByteArray &line : procFile(pid, "status").split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Resets VmHWM to the resident size now, which the run's peak is then measured against;
// freed heap goes back first so earlier benches weigh less.
qint64 resetPeakMemory()
{
    ::malloc_trim(0);
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
    return statusKb(0, "VmRSS:");
}
}  // namespace

qint64 peakMemoryKb(qint64 pid)
{
    return statusKb(pid, "VmHWM:");
}

qint64 residentKb(qint64 pid)
{
    return statusKb(pid, "VmRSS:");
}

qint64 cpuMs(qint64 pid)
{
    const QByteArrayList f = statFields(procFile(pid, "stat"));
    if (f.size() < 13)
        return -1;
    return (f[11].toLongLong() + f[12].toLongLong()) * 1000 / ::sysconf(_SC_CLK_TCK);  // utime + stime
}

QList<qint64> childPids(const QByteArray &command)
{
    QList<qint64> out;
    const qint64 self = ::getpid();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QByteArray stat = procFile(pid, "stat");
        const qsizetype open = stat.indexOf('(');
        const qsizetype close = stat.lastIndexOf(')');
        if (open < 0 || close < open || stat.mid(open + 1, close - open - 1) != command)
            continue;
        const QByteArrayList f = statFields(stat);
        if (f.size() > 1 && f[1].toLongLong() == self)
            out.append(pid);
    }
    return out;
}

namespace {
const QByteArray Channel = "#TavarineNET_3";
constexpr qint64 PhaseLimitMs = 120000;
constexpr qint64 ScaleBudgetMs = 285000;

qint64 phaseMs(const QDeadlineTimer &budget)
{
    return std::min(PhaseLimitMs, budget.remainingTime());
}

bool holdsOthers(const LobbySession &s, const QByteArrayList &names)
{
    return std::all_of(names.begin(), names.end(), [&](const QByteArray &n) {
        return n == s.state().Nickname || s.state().UserListText.isListed(n);
    });
}

bool dropped(LobbySession &s)
{
    return s.socket().state() == LobbySocket::Closing || s.socket().state() == LobbySocket::Error;
}

QByteArray msText(qint64 ns)
{
    return ns < 0 ? QByteArray("timeout") : QByteArray::number(ns / 1e6, 'f', 0);
}

QByteArray mbText(qint64 kb)
{
    return kb < 0 ? QByteArray("-") : QByteArray::number(kb / 1024.0, 'f', 1);
}

// The reasons the servers gave for closing client links, each once.
QStringList closeReasons(const QString &serverOutput)
{
    static const QRegularExpression closing(QStringLiteral("(?i)(flood|sendq|exhausted|excess|timeout)[^\\n]*"));
    QStringList out;
    for (auto it = closing.globalMatch(serverOutput); it.hasNext();) {
        QString reason = it.next().captured(0).trimmed();
        reason.replace(QRegularExpression(QStringLiteral("\\d+")), QStringLiteral("#"));
        if (!out.contains(reason))
            out.append(reason);
    }
    return out;
}

void printHeader()
{
    std::printf("  %-8s %-7s %4s %7s %8s %7s %7s %8s %14s %10s\n", "servers", "flood", "N", "join s", "lists ms",
                "hut ms", "launch", "dropped", "bench MB", "server MB");
}

void scaleRun(int n, bool defaultFlood, bool linked, const QDeadlineTimer &budget)
{
    const char *servers = linked ? "2 linked" : "1";
    const char *flood = defaultFlood ? "default" : "lifted";
    if (budget.remainingTime() < 20000) {
        std::printf("  %-8s %-7s %4d skipped: time budget spent\n", servers, flood, n);
        return;
    }
    const qint64 baseKb = resetPeakMemory();
    RealIrcServer a;
    RealIrcServer b;
    RealIrcServer::Options options;
    options.defaultFlood = defaultFlood;
    if (!(linked ? RealIrcServer::startLinked(a, b, options) : a.start(options))) {
        std::printf("  %-8s %-7s %4d server did not start: %s\n", servers, flood, n,
                    qPrintable((a.errorString() + b.errorString()).section(u'\n', 0, 0)));
        return;
    }
    const QList<qint64> serverPids = childPids("ngircd");
    StandInLauncher launcher;

    QElapsedTimer clock;
    clock.start();
    const char *phase = "joining";
    const char *firstDropPhase = nullptr;
    std::vector<char> joined(n, 0);
    qint64 lastJoinNs = -1;
    QByteArrayList names;
    std::vector<std::unique_ptr<RecordingView>> views;  // outlive the sessions
    std::vector<std::unique_ptr<LobbySession>> sessions;
    for (int i = 0; i < n; ++i) {
        names.append("p" + QByteArray::number(i));
        views.push_back(std::make_unique<RecordingView>());
        sessions.push_back(std::make_unique<LobbySession>(names.back(), Channel));
        LobbySession *s = sessions.back().get();
        s->setView(views.back().get());
        QObject::connect(s, &LobbySession::joined, s, [&, i] {
            joined[i] = 1;
            lastJoinNs = clock.nsecsElapsed();
        });
        QObject::connect(&s->socket(), &LobbySocket::stateChanged, s, [&](int state) {
            if ((state == LobbySocket::Closing || state == LobbySocket::Error) && !firstDropPhase)
                firstDropPhase = phase;
        });
        const RealIrcServer &server = linked && i % 2 ? b : a;
        s->Form_Load({server.host(), server.port()});
    }

    const auto joinedCount = [&] { return int(std::count(joined.begin(), joined.end(), 1)); };
    const bool allJoined = runUntil([&] { return joinedCount() == n; }, phaseMs(budget));

    // Only sessions not yet complete are looked at; once all are, all are checked again.
    std::vector<char> complete(n, 0);
    const auto listsComplete = [&] {
        bool all = true;
        for (int i = 0; i < n; ++i) {
            if (!complete[i])
                complete[i] = holdsOthers(*sessions[i], names);
            all = all && complete[i];
        }
        if (!all)
            return false;
        for (int i = 0; i < n; ++i) {
            if (!holdsOthers(*sessions[i], names)) {
                complete[i] = 0;
                all = false;
            }
        }
        return all;
    };
    phase = "lists";
    qint64 listsNs = -1;
    if (allJoined && runUntil(listsComplete, phaseMs(budget), 20))
        listsNs = clock.nsecsElapsed() - lastJoinNs;
    const int listsDone = int(std::count(complete.begin(), complete.end(), 1));

    // p0 hosts in place 1, p1..p3 take places 2..4; ready when each member sees the host.
    phase = "hut";
    qint64 hutNs = -1;
    qint64 launchNs = -1;
    const bool hutJoined = std::all_of(joined.begin(), joined.begin() + 4, [](char j) { return j; });
    if (hutJoined) {
        QElapsedTimer t;
        t.start();
        sessions[0]->Player_Click(0);
        // A member takes a place only under a host it sees.
        if (runUntil([&] {
                for (int k = 1; k < 4; ++k)
                    if (sessions[k]->state().Hut.HutSlots()[0] != "p0")
                        return false;
                return true;
            }, phaseMs(budget)))
            hutNs = t.nsecsElapsed();
        for (int k = 1; k < 4; ++k)
            sessions[k]->Player_Click(k);

        phase = "launch";
        t.restart();
        sessions[0]->LaunchButton_Click();
        if (runUntil([&] { return launcher.starts().size() >= 4; }, phaseMs(budget), 20))
            launchNs = t.nsecsElapsed();
    }
    phase = "after launch";
    runUntil([] { return false; }, std::min<qint64>(2000, budget.remainingTime()), 50);  // late drops show up

    const int droppedCount = int(std::count_if(sessions.begin(), sessions.end(), [](auto &s) { return dropped(*s); }));
    QByteArray serverMb;
    for (qint64 pid : serverPids)
        serverMb += (serverMb.isEmpty() ? "" : "+") + mbText(peakMemoryKb(pid));
    const qint64 joinMs = lastJoinNs < 0 ? -1 : lastJoinNs;
    const qint64 peakKb = peakMemoryKb();
    const QByteArray benchMb = mbText(peakKb) + " (+" + mbText(baseKb < 0 || peakKb < 0 ? -1 : peakKb - baseKb) + ")";
    std::printf("  %-8s %-7s %4d %7s %8s %7s %7s %5d/%-3d %14s %10s\n", servers, flood, n,
                allJoined ? QByteArray::number(joinMs / 1e9, 'f', 2).constData() : "timeout",
                msText(listsNs).constData(), hutJoined ? msText(hutNs).constData() : "n/a",
                hutJoined ? msText(launchNs).constData() : "n/a", droppedCount, n,
                benchMb.constData(), serverMb.isEmpty() ? "-" : serverMb.constData());

    if (!allJoined)
        std::printf("    note: %d of %d sessions joined\n", joinedCount(), n);
    if (allJoined && listsNs < 0) {
        for (int i = 0; i < n; ++i) {
            if (complete[i])
                continue;
            QByteArrayList missing;
            for (const QByteArray &name : names)
                if (name != names[i] && !sessions[i]->state().UserListText.isListed(name))
                    missing.append(name);
            std::printf("    note: lists complete in %d of %d; e.g. %s misses %lld: %s%s\n", listsDone, n,
                        names[i].constData(), static_cast<long long>(missing.size()),
                        missing.mid(0, 8).join(' ').constData(), missing.size() > 8 ? " ..." : "");
            break;
        }
    }
    if (hutJoined && launchNs < 0)
        std::printf("    note: the launcher recorded %lld of 4 starts\n", static_cast<long long>(launcher.starts().size()));
    if (droppedCount > 0) {
        std::printf("    note: first drop while %s\n", firstDropPhase ? firstDropPhase : "?");
        for (const QString &reason : closeReasons(a.output() + b.output()).mid(0, 4))
            std::printf("    server: %s\n", qPrintable(reason.left(140)));
    }
    std::fflush(stdout);
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

void burstRun(RealIrcServer::Kind kind)
{
    const char *name = kind == RealIrcServer::Kind::NgIrcd ? "ngircd" : "InspIRCd";
    RealIrcServer server;
    RealIrcServer::Options options;
    options.kind = kind;
    options.defaultFlood = true;
    if (!server.start(options)) {
        std::printf("  %-8s server did not start: %s\n", name, qPrintable(server.errorString().section(u'\n', 0, 0)));
        return;
    }
    PlainIrcClient watcher;
    if (!watcher.enter(server.port(), "watcher", Channel)) {
        std::printf("  %-8s the watching client could not join\n", name);
        return;
    }
    RecordingView view;
    LobbySession session("p0", Channel);
    session.setView(&view);
    session.Form_Load({server.host(), server.port()});
    if (!runUntil([&] { return watcher.received.contains("...TAVLIST|||p0|||"); }, 30000)) {
        std::printf("  %-8s the session's arrival never reached the channel\n", name);
        return;
    }
    // Idle long enough for a bucket of a few lines to fill again.
    runUntil([] { return false; }, 6000, 50);

    constexpr int Count = 50;
    const QByteArray key = "...TAVCHAT p0> burst line ";
    qsizetype scanned = watcher.received.size();
    std::vector<qint64> arrivals;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= Count; ++i)
        session.Send_Click(QStringLiteral("burst line %1").arg(i));
    const qint64 loopUs = t.nsecsElapsed() / 1000;
    const qsizetype queued = waitingLines(session.socket());
    qsizetype maxQueued = queued;
    runUntil([&] {
        const QByteArray got = watcher.received;
        for (qsizetype pos; (pos = got.indexOf(key, scanned)) >= 0;) {
            arrivals.push_back(t.nsecsElapsed());
            scanned = pos + key.size();
        }
        maxQueued = std::max(maxQueued, waitingLines(session.socket()));
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
}
}  // namespace

void benchScale()
{
    std::printf("scale: N sessions (p0..pN-1) in lobby 3; lists = ms from the last join until every list\n"
                "  holds all others; hut = ms until p1..p3 see host p0; launch = ms from the host's launch\n"
                "  until the stand-in launcher has 4 starts; dropped = sockets closed by the server;\n"
                "  bench MB = peak resident size of this process in the run (+ growth over its start)\n");
    if (!RealIrcServer::available(RealIrcServer::Kind::NgIrcd)) {
        std::printf("  skipped: ngircd not installed\n");
        return;
    }
    const QDeadlineTimer budget(ScaleBudgetMs);
    printHeader();
    for (bool linked : {false, true})
        for (int n : {10, 50, 100})
            for (bool defaultFlood : {false, true})
                scaleRun(n, defaultFlood, linked, budget);
}

void benchSendBurst()
{
    std::printf("send burst: one session types 50 chat lines at once; a plain client in the channel counts them\n"
                "  (servers with their default flood handling)\n");
    for (RealIrcServer::Kind kind : {RealIrcServer::Kind::NgIrcd, RealIrcServer::Kind::InspIRCd}) {
        if (!RealIrcServer::available(kind)) {
            std::printf("  skipped: server not installed\n");
            continue;
        }
        burstRun(kind);
    }
}
