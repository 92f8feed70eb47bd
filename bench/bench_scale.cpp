// Up to 1,000 players in one lobby on two linked real servers, coming and going: how soon a
// newcomer's list is complete, what each arrival and departure costs the others and the servers,
// whom the servers drop, and how the players of a restarted server come back.
// Also: how 50 chat lines typed at once reach the channel under default flood handling.
#include "SessionProbe.h"
#include "bench/Benchmarks.h"

#include "ClassicPeer.h"
#include "LinkedServer.h"
#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <list>
#include <memory>
#include <sys/resource.h>
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

bool dropped(LobbySession &s)
{
    return SessionProbe{s}.socket().state() == LobbySocket::Closing || SessionProbe{s}.socket().state() == LobbySocket::Error;
}

QByteArray msText(qint64 ns)
{
    return ns < 0 ? QByteArray("timeout") : QByteArray::number(ns / 1e6, 'f', 0);
}

// The reasons the servers gave for closing client links, each once.
QStringList closeReasons(const QString &serverOutput)
{
    static const QRegularExpression closing(QStringLiteral("(?i)(flood|sendq|recvq|exhausted|excess|timeout)[^\\n]*"));
    QStringList out;
    for (auto it = closing.globalMatch(serverOutput); it.hasNext();) {
        QString reason = it.next().captured(0).trimmed();
        reason.replace(QRegularExpression(QStringLiteral("\\d+")), QStringLiteral("#"));
        if (!out.contains(reason))
            out.append(reason);
    }
    return out;
}

// ---- One lobby of many players on two linked servers ----

constexpr int Sampled = 8;        // players whose lists are sampled; they never quit
constexpr int RampStepMs = 50;    // 20 joins a second
constexpr int ChurnStepMs = 250;  // a join, a quit, a join, a quit: 2 + 2 a second
constexpr int TickMs = 100;
constexpr int SampleTicks = 5;    // lists sampled every half second
constexpr qint64 BackLimitMs = 180000;

const char *kindName(RealIrcServer::Kind kind)
{
    return kind == RealIrcServer::NgIrcd ? "ngircd" : "InspIRCd";
}

// What a line read during the churn is owed to: an arrival (the server's JOIN and names list,
// the newcomer's own announcement, the answers to it), a departure, or a classic peer, which
// announces itself alike at every JOIN and QUIT: its lines count half to each. Answers that reach
// a player of the ramp during the churn are the ramp's cost, still being paid, not the churn's.
enum Cause { Arrival, Announcement, Answer, RampAnswer, Departure, ClassicSays, PingLine, OtherLine, Causes };

// A classic peer that enters without holding up the bench's event loop, and shows the bench
// each line it reads.
class BenchClassic : public ClassicPeer {
public:
    using ClassicPeer::ClassicPeer;
    std::function<void(const QByteArray &)> onRead;
    void start(quint16 port)
    {
        QObject::connect(this, &QTcpSocket::connected, this, [this] {
            send("NICK " + name + "OnTavNET\r\nUSER " + name + "OnTavNET 0 * :classic peer\r\n");
        });
        connectToHost(QHostAddress::LocalHost, port);
    }

protected:
    void onLine(const QByteArray &line) override
    {
        if (state() != ConnectedState)
            return;  // what was read before the server closed the link
        if (!m_welcomed && IrcLine::parse(line).isCommand("001"))
            m_welcomed = true, send("JOIN " + channel + "\r\n");
        ClassicPeer::onLine(line);
        onRead(line);
    }

private:
    bool m_welcomed = false;
};

struct Player {
    QByteArray name, nick;
    int server = 0;  // 0: the first server, 1: the second, which restarts
    bool classic = false, sampled = false, churnNewcomer = false;
    std::unique_ptr<RecordingView> view;  // sampled players only; outlives the session
    std::unique_ptr<LobbySession> session;
    std::unique_ptr<BenchClassic> peer;
    bool entered = false;  // its own JOIN came back
    bool named = false;    // its names list has ended: what it reads from now on is others' doing
    bool leaving = false, dropped = false, bystander = false;
    qint64 joinNs = -1, listNs = -1, answeredNs = -1, butCutNs = -1, rejoinNs = -1;
    int cut = 0;       // names the server cut off its names list ("...[CUT]")
    int toHear = 0;    // a newcomer's others when it joined
    std::vector<Player *> missingList, missingAnswers;  // a newcomer's: present at its join, not yet listed, not yet heard
    QSet<QByteArray> heard;                            // who told this newcomer of himself (TAVLIST)
    std::array<qint64, Causes> lines{}, bytes{};       // read during the churn
    LobbySocket::Traffic before, after;
};

struct Figures {
    RealIrcServer::Kind kind = RealIrcServer::NgIrcd;
    int n = 0, churnS = 0;
    bool classics = false, ran = false;
    double rampS = 0, drainS = -1;
    int arrivals = 0, departures = 0, bystanders = 0;
    std::vector<qint64> listNs, classicListNs, answeredNs;  // per newcomer; -1: not by the restart
    std::vector<qint64> butCutNs;                           // complete but for the names the server cut
    int cut = 0;
    double heardShare = 0;  // of the others, what a newcomer had heard from by the restart: the median
    int leftIncomplete = 0;
    double readsPerArrival = 0, sendsPerArrival = 0, readsPerDeparture = 0, sendsPerDeparture = 0;
    double trafficReadPerEvent = 0, trafficWrittenPerEvent = 0;
    double bytesPerArrival = 0, bytesPerDeparture = 0, otherBytesPerEvent = 0;
    double joinBytes = 0, announceBytes = 0, answerBytes = 0, rampAnswerBytes = 0;  // per arrival: JOIN and names, own TAVLIST, answers
    int dropped = 0, classicDropped = 0;
    const char *firstDrop = nullptr;
    QByteArray serverSaid;
    int backOf = 0, back = 0;
    qint64 backNs = -1, backMedianNs = -1, inLobbyNs = -1;  // listed on the other server; in the lobby on its own
    int emptySamples = 0, samples = 0;
    double benchCpuS = 0, benchChurnShare = 0, serverCpuS = 0, serverChurnShare = 0, benchMb = 0;
};

// Sorted, with "never" (-1) last.
std::vector<qint64> sortedTimes(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end(), [](qint64 a, qint64 b) { return (a < 0 ? INT64_MAX : a) < (b < 0 ? INT64_MAX : b); });
    return v;
}

QByteArray timeText(qint64 ns)
{
    if (ns < 0)
        return "never";
    return ns < 10'000'000'000 ? QByteArray::number(ns / 1e6, 'f', 0) + " ms" : QByteArray::number(ns / 1e9, 'f', 1) + " s";
}

qint64 medianOf(const std::vector<qint64> &v)
{
    return v.empty() ? -1 : sortedTimes(v)[v.size() / 2];
}

QByteArray timesText(const std::vector<qint64> &v)
{
    if (v.empty())
        return "none";
    const std::vector<qint64> s = sortedTimes(v);
    const auto done = std::count_if(s.begin(), s.end(), [](qint64 t) { return t >= 0; });
    return "median " + timeText(s[s.size() / 2]) + ", worst " + timeText(s.back()) + " (" + QByteArray::number(done) + " of "
        + QByteArray::number(qsizetype(s.size())) + ")";
}

class LobbyRun {
public:
    LobbyRun(RealIrcServer::Kind kind, int size, bool classics, int churnS)
    {
        m_fig.kind = kind, m_fig.n = size, m_fig.classics = classics, m_fig.churnS = churnS;
    }
    Figures run();

private:
    Player &add(bool churn);
    void quitOne();
    bool present(const Player &p) const
    {
        if (p.leaving || !p.entered)
            return false;
        return p.session ? SessionProbe{*p.session}.life().inLobby() : p.peer && p.peer->state() == QAbstractSocket::ConnectedState;
    }
    void entered(Player &p);
    void read(Player &p, QByteArrayView line);
    void lost(Player &p);
    void checkNewcomer(Player &p);
    void tick();
    qint64 serverCpuMs() const;
    void summarise();
    void growConnectionTables();

    Figures m_fig;
    LinkedServer m_server[2];
    std::vector<std::unique_ptr<Player>> m_players;  // after the servers: gone before them
    std::vector<Player *> m_newcomers;
    QElapsedTimer m_clock;
    QRandomGenerator m_random{22};
    bool m_churning = false, m_tracking = false, m_restarted = false;
    const char *m_phase = "joining";
    int m_ticks = 0, m_unloads = 0;
    QHash<QByteArray, int> m_notices[2];  // channel notices by sender, as players 0 and 1 read them
    qint64 m_oldServerCpuMs = 0;          // the restarted server's before its restart
    int m_linkBreaks[4] = {};             // by the start of the ramp, of the churn, of the restart, the end
    // Times the first server saw the second go (ngircd's log; the restart is one of them).
    int linkBreaks() const
    {
        return int(m_server[0].output().count(QStringLiteral("Server \"irc2.tavarine.local\" unregistered")));
    }
};

Player &LobbyRun::add(bool churn)
{
    const int i = int(m_players.size());
    Player &p = *m_players.emplace_back(std::make_unique<Player>());
    p.server = i % 2;
    p.classic = m_fig.classics && (i / 2) % 20 == 9;  // 5 %, as many on either server
    p.name = (p.classic ? "c" : "p") + QByteArray::number(i);
    p.nick = p.name + "OnTavNET";
    p.sampled = i < Sampled;
    p.churnNewcomer = churn;
    const quint16 port = m_server[p.server].port();
    if (p.classic) {
        p.peer = std::make_unique<BenchClassic>(p.name, Channel);
        BenchClassic *c = p.peer.get();
        const QByteArray echo = ':' + p.nick + '!';
        c->onRead = [this, &p, echo](const QByteArray &line) {
            read(p, line);
            if (!p.entered && line.startsWith(echo) && IrcLine::parse(line).isCommand("JOIN"))
                entered(p);
        };
        QObject::connect(c, &QAbstractSocket::disconnected, c, [this, &p] { lost(p); });
        c->start(port);
        return p;
    }
    p.session = std::make_unique<LobbySession>(p.name, Channel);
    LobbySession *s = p.session.get();
    if (p.sampled) {
        p.view = std::make_unique<RecordingView>();
        s->setView(p.view.get());
    }
    QObject::connect(s, &LobbySession::joined, s, [this, &p] { entered(p); });
    // Connected after the session's own handler: the lines have been handled when this runs.
    QObject::connect(&SessionProbe{*s}.socket(), &LobbySocket::dataArrival, s, [this, &p](const QByteArray &, const QList<QByteArrayView> &lines) {
        for (QByteArrayView line : lines)
            read(p, line.chopped(2));  // without its CR LF, as a classic peer's lines come
        if (p.churnNewcomer && m_tracking)
            checkNewcomer(p);
    });
    QObject::connect(&SessionProbe{*s}.socket(), &LobbySocket::stateChanged, s, [this, &p](int state) {
        if (state == LobbySocket::Closing || state == LobbySocket::Error)
            lost(p);
    });
    s->Form_Load(m_server[p.server].address());
    return p;
}

// Half the quits close the lobby as its window does, half delete the session outright.
void LobbyRun::quitOne()
{
    std::vector<Player *> candidates;
    for (const auto &p : m_players)
        if (!p->sampled && present(*p))
            candidates.push_back(p.get());
    if (candidates.empty())
        return;
    Player &p = *candidates[m_random.bounded(qsizetype(candidates.size()))];
    p.leaving = true;
    ++m_fig.departures;
    if (p.peer) {
        p.peer->disconnect();
        p.peer.reset();
    } else if (m_unloads++ % 2 == 0) {
        LobbySession *s = p.session.get();
        QObject::connect(s, &LobbySession::finished, s, [&p] { p.session.release()->deleteLater(); });
        s->closeLobby();
    } else {
        p.session.reset();
    }
}

void LobbyRun::entered(Player &p)
{
    if (p.entered) {  // back after a lost link
        if (m_restarted && p.rejoinNs < 0)
            p.rejoinNs = m_clock.nsecsElapsed();
        return;
    }
    p.entered = true;
    p.joinNs = m_clock.nsecsElapsed();
    if (!p.churnNewcomer || !m_tracking)
        return;
    for (const auto &q : m_players) {
        if (q.get() == &p || !present(*q))
            continue;
        p.missingList.push_back(q.get());
        if (!p.classic)
            p.missingAnswers.push_back(q.get());
    }
    p.toHear = int(p.missingAnswers.size());
    m_newcomers.push_back(&p);
    checkNewcomer(p);
}

void LobbyRun::read(Player &p, QByteArrayView line)
{
    const IrcLine msg = IrcLine::parse(line);
    const bool privmsg = msg.isCommand("PRIVMSG");
    const bool toChannel = msg.param(0).startsWith('#');
    if (p.churnNewcomer && !p.classic && privmsg && line.contains("TAVLIST|||"))
        if (const auto who = RegistrationLines::lobbyName(msg.senderNick(), ServerInfo()))
            p.heard.insert(who->toByteArray());
    if (msg.isCommand("ERROR") && !p.leaving && !(m_restarted && p.server == 1) && m_fig.serverSaid.isEmpty())
        m_fig.serverSaid = line.toByteArray();  // why the first player dropped was let go
    if (!p.named && msg.isCommand("353") && line.endsWith("[CUT]"))
        ++p.cut;  // ngircd 26.1 makes a names line too long for a long server name and cuts it, a name with it
    if (!m_churning) {
        p.named = p.named || msg.isCommand("366");
        return;
    }
    const bool notice = msg.isCommand("NOTICE") && toChannel;
    if (notice && (&p == m_players[0].get() || &p == m_players[1].get()))
        ++m_notices[p.server][msg.senderNick().toByteArray()];
    Cause cause = OtherLine;
    if (!p.named || msg.isCommand("JOIN") || msg.isCommand("353") || msg.isCommand("366") || msg.isCommand("324")
        || msg.isCommand("329"))
        cause = Arrival;  // all a newcomer reads up to the end of its names list, and who joins
    else if (msg.isCommand("QUIT") || msg.isCommand("PART") || msg.isCommand("KICK") || notice)
        cause = Departure;  // and the announcements for classic clients after a quit
    else if (privmsg)
        cause = !toChannel ? (p.churnNewcomer ? Answer : RampAnswer) : msg.senderNick().startsWith('c') ? ClassicSays : Announcement;
    else if (msg.isCommand("PING"))
        cause = PingLine;
    ++p.lines[cause];
    p.bytes[cause] += line.size() + 2;
    p.named = p.named || msg.isCommand("366");
}

void LobbyRun::lost(Player &p)
{
    if (p.leaving || p.dropped || (m_restarted && p.server == 1))
        return;
    p.dropped = true;
    if (!m_fig.firstDrop)
        m_fig.firstDrop = m_phase;
}

void LobbyRun::checkNewcomer(Player &p)
{
    if (!p.entered || p.leaving)
        return;
    const qint64 now = m_clock.nsecsElapsed();
    if (p.classic) {
        if (p.listNs >= 0 || !p.peer)
            return;
        const QSet<QByteArray> has(p.peer->list.cbegin(), p.peer->list.cend());
        if (std::all_of(p.missingList.begin(), p.missingList.end(), [&](Player *q) { return !present(*q) || has.contains(q->name); }))
            p.listNs = now - p.joinNs;
        return;
    }
    const LobbyMembers &list = SessionProbe{*p.session}.members();
    if (p.listNs < 0) {
        std::erase_if(p.missingList, [&](Player *q) { return !present(*q) || list.isListed(q->name); });
        if (p.missingList.empty())
            p.listNs = now - p.joinNs;
        if (p.butCutNs < 0 && qsizetype(p.missingList.size()) <= p.cut)
            p.butCutNs = now - p.joinNs;
    }
    if (p.answeredNs < 0) {
        std::erase_if(p.missingAnswers, [&](Player *q) { return !present(*q) || p.heard.contains(q->name); });
        if (p.missingAnswers.empty())
            p.answeredNs = now - p.joinNs;
    }
}

void LobbyRun::tick()
{
    if (m_tracking)
        for (Player *p : m_newcomers)
            checkNewcomer(*p);
    if (++m_ticks % SampleTicks)
        return;
    int here = 0;
    for (const auto &p : m_players) {
        here += present(*p);
        if (p->session && p->entered && !SessionProbe{*p->session}.life().inLobby())
            lost(*p);  // out of the lobby without the bench's doing
    }
    if (!m_churning)
        return;
    for (int i = 0; i < Sampled; ++i) {
        const Player &p = *m_players[i];
        if (!present(p))
            continue;
        ++m_fig.samples;
        if (here > 1 && (SessionProbe{*p.session}.members().isEmpty() || p.view->userListRows.isEmpty()))
            ++m_fig.emptySamples;
    }
}

qint64 LobbyRun::serverCpuMs() const
{
    return cpuMs(m_server[0].processId()) + cpuMs(m_server[1].processId()) + m_oldServerCpuMs;
}

// ngircd 26.1 breaks a compressed server link ("Compression error: code -2") whenever its table
// of connections grows past the size it had (100 at the start), the link's zlib state moving with
// it. Each server's table is grown beyond what the run needs before the players come; the link is
// made again meanwhile. Registered clients prove they were taken; at most 10 wait at a time, what
// the server's listen queue holds.
void LobbyRun::growConnectionTables()
{
    const int target = m_fig.n / 2 + 100;
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
    runUntil([] { return false; }, 2000, 50);
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
            return std::exchange(last, written) >= 0 && written - last < n / 50;
        }, 120000, 1000);
        m_fig.drainS = drain.elapsed() / 1e3;
    }

    // A minute of comings and goings.
    m_phase = "churn";
    for (const auto &p : m_players)
        if ((p->bystander = p->session && present(*p)))
            p->before = SessionProbe{*p->session}.socket().traffic();
    const qint64 churnCpu0 = cpuMs(0), churnServerCpu0 = serverCpuMs(), churn0 = m_clock.nsecsElapsed();
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
    m_phase = "after the restart";
    runUntil([] { return false; }, 3000, 50);
    m_linkBreaks[3] = linkBreaks();
    m_fig.benchCpuS = (cpuMs(0) - cpu0) / 1e3;
    m_fig.serverCpuS = (serverCpuMs() - serverCpu0) / 1e3;
    ticker.stop();
    summarise();
    m_players.clear();
    return m_fig;
}

void LobbyRun::summarise()
{
    Figures &f = m_fig;
    std::vector<double> heard;
    for (const Player *p : m_newcomers) {
        if (!p->classic && !p->leaving && p->toHear > 0)
            heard.push_back(1.0 - double(p->missingAnswers.size()) / p->toHear);
        if (p->leaving && p->listNs < 0) {
            ++f.leftIncomplete;
            continue;
        }
        (p->classic ? f.classicListNs : f.listNs).push_back(p->listNs);
        if (!p->classic)
            f.answeredNs.push_back(p->answeredNs), f.butCutNs.push_back(p->butCutNs), f.cut += p->cut;
    }
    std::sort(heard.begin(), heard.end());
    f.heardShare = heard.empty() ? 0 : heard[heard.size() / 2];
    const double arrivals = std::max(1, f.arrivals), departures = std::max(1, f.departures);
    double readsA = 0, readsD = 0, sendsA = 0, sendsD = 0, trafficRead = 0, trafficWritten = 0;
    for (const auto &p : m_players) {
        if (p->bystander) {
            ++f.bystanders;
            readsA += p->lines[Arrival] + p->lines[Announcement] + p->lines[Answer] + p->lines[ClassicSays] / 2.0;
            readsD += p->lines[Departure] + p->lines[ClassicSays] / 2.0;
            // What it wrote: answers, notices after quits (seen by a player of either server) and pongs.
            const qint64 written = p->after.linesWritten - p->before.linesWritten;
            const int notices = m_notices[p.get() == m_players[0].get()].value(p->nick);
            sendsA += written - notices - p->lines[PingLine];
            sendsD += notices;
            trafficRead += p->after.linesRead - p->before.linesRead;
            trafficWritten += written;
        }
        f.bytesPerArrival += p->bytes[Arrival] + p->bytes[Announcement] + p->bytes[Answer] + p->bytes[ClassicSays] / 2.0;
        f.joinBytes += p->bytes[Arrival], f.announceBytes += p->bytes[Announcement], f.answerBytes += p->bytes[Answer];
        f.bytesPerDeparture += p->bytes[Departure] + p->bytes[ClassicSays] / 2.0;
        f.otherBytesPerEvent += p->bytes[PingLine] + p->bytes[OtherLine];
        f.rampAnswerBytes += p->bytes[RampAnswer];
        if (p->dropped)
            ++(p->classic ? f.classicDropped : f.dropped);
    }
    const double b = std::max(1, f.bystanders);
    f.readsPerArrival = readsA / b / arrivals, f.readsPerDeparture = readsD / b / departures;
    f.sendsPerArrival = sendsA / b / arrivals, f.sendsPerDeparture = sendsD / b / departures;
    f.trafficReadPerEvent = trafficRead / b / (arrivals + departures);
    f.trafficWrittenPerEvent = trafficWritten / b / (arrivals + departures);
    f.bytesPerArrival /= arrivals, f.bytesPerDeparture /= departures, f.otherBytesPerEvent /= arrivals + departures;
    f.joinBytes /= arrivals, f.announceBytes /= arrivals, f.answerBytes /= arrivals;

    if (f.drainS >= 0)
        std::printf("    the answers to the ramp's newcomers were out %.0f s after it\n", f.drainS);
    std::printf("    joined in %.1f s; churn %d s: %d arrivals, %d departures, %d bystanders throughout\n", f.rampS, f.churnS,
                f.arrivals, f.departures, f.bystanders);
    std::printf("    newcomer's list complete, from its JOIN: %s", timesText(f.listNs).constData());
    if (f.classics)
        std::printf("; classic peers': %s", timesText(f.classicListNs).constData());
    if (f.cut)
        std::printf("\n      the server cut %d names off newcomers' names lists (\"[CUT]\"); apart from them: %s", f.cut,
                    timesText(f.butCutNs).constData());
    std::printf("\n    newcomer told by every other player (TAVLIST to it or the channel): %s; by the restart a newcomer had"
                " heard from %.0f %% of them (median)\n", timesText(f.answeredNs).constData(), f.heardShare * 100);
    std::printf("    per bystander, lines read / sent: per arrival %.2f / %.2f, per departure %.2f / %.2f"
                " (traffic(): %.2f read, %.2f sent per event)\n", f.readsPerArrival, f.sendsPerArrival, f.readsPerDeparture,
                f.sendsPerDeparture, f.trafficReadPerEvent, f.trafficWrittenPerEvent);
    std::printf("    server bytes out: %.1f kB per arrival = %.0f B x players (JOIN, names: %.0f; the newcomer's TAVLIST: %.0f;"
                " answers: %.0f), %.1f kB per departure = %.0f B x players; other %.1f kB per event\n", f.bytesPerArrival / 1e3,
                f.bytesPerArrival / f.n, f.joinBytes / f.n, f.announceBytes / f.n, f.answerBytes / f.n, f.bytesPerDeparture / 1e3,
                f.bytesPerDeparture / f.n, f.otherBytesPerEvent / 1e3);
    if (f.rampAnswerBytes > 0)
        std::printf("      besides: answers to the ramp's players, still owed, %.1f kB a second of the churn\n",
                    f.rampAnswerBytes / 1e3 / f.churnS);
    std::printf("    dropped: %d sessions%s", f.dropped, f.classics ? QByteArray(", " + QByteArray::number(f.classicDropped) + " classic peers").constData() : "");
    if (f.firstDrop)
        std::printf(" (first during the %s)", f.firstDrop);
    std::printf("; lists sampled during the churn: %d of %d empty\n", f.emptySamples, f.samples);
    if (!f.serverSaid.isEmpty())
        std::printf("      the server to the first: %s\n", f.serverSaid.left(140).constData());
    if (f.dropped + f.classicDropped > 0)
        for (const QString &reason : closeReasons(m_server[0].output() + m_server[1].output()).mid(0, 4))
            std::printf("      server: %s\n", qPrintable(reason.left(140)));
    std::printf("    restart of the second server: %d of %d back in the lobby and listed on the first after %s (median %s);"
                " all in the lobby after %s\n", f.back, f.backOf, f.backNs < 0 ? "timeout" : timeText(f.backNs).constData(),
                timeText(f.backMedianNs).constData(), f.inLobbyNs < 0 ? "timeout" : timeText(f.inLobbyNs).constData());
    if (f.kind == RealIrcServer::NgIrcd)
        std::printf("    server link lost (the first server's log): %d in the ramp, %d in the churn, %d from the restart on\n",
                    m_linkBreaks[1] - m_linkBreaks[0], m_linkBreaks[2] - m_linkBreaks[1], m_linkBreaks[3] - m_linkBreaks[2]);
    std::printf("    CPU: bench %.1f s (%.0f ms a player), servers %.1f s; during the churn bench %.0f %%, servers %.0f %% of a core;"
                " bench resident %.0f MB\n", f.benchCpuS, f.benchCpuS * 1e3 / f.n, f.serverCpuS, f.benchChurnShare * 100,
                f.serverChurnShare * 100, f.benchMb);
    std::fflush(stdout);
}

struct Plan {
    RealIrcServer::Kind kind;
    int n;
    bool classics;
    int churnS;
};

QByteArray runName(const Figures &f)
{
    return QByteArray(kindName(f.kind)) + ' ' + (f.n >= 1000 ? "1,000" : QByteArray::number(f.n)) + (f.classics ? " classic" : "");
}

void printSummary(const std::vector<Figures> &all)
{
    std::printf("scale summary (list ms: newcomer's list complete from its JOIN, median/worst; lines per bystander read/sent;\n"
                "  bytes out per event and per event and player; back: s until the restarted half is back and listed)\n");
    std::printf("  %-18s %6s %13s %14s %11s %11s %8s %8s %6s %6s %7s %6s %9s %9s %5s\n", "run", "churn", "list ms",
                "classic list", "per arrival", "per depart", "kB/arr", "kB/dep", "B/a/N", "B/d/N", "dropped", "back",
                "bench ms", "CPU b/s %", "empty");
    for (const Figures &f : all) {
        if (!f.ran)
            continue;
        const auto ms = [](qint64 ns) { return ns < 0 ? QByteArray("never") : QByteArray::number(ns / 1e6, 'f', 0); };
        const std::vector<qint64> list = sortedTimes(f.listNs), classic = sortedTimes(f.classicListNs);
        const QByteArray listText = list.empty() ? "-" : ms(list[list.size() / 2]) + '/' + ms(list.back());
        const QByteArray classicText = classic.empty() ? "-" : ms(classic[classic.size() / 2]) + '/' + ms(classic.back());
        std::printf("  %-18s %5ds %13s %14s %5.2f/%-5.2f %5.2f/%-5.2f %8.1f %8.1f %6.0f %6.0f %3d/%-3d %6s %9.0f %4.0f/%-4.0f %5d\n",
                    runName(f).constData(), f.churnS, listText.constData(), classicText.constData(), f.readsPerArrival,
                    f.sendsPerArrival, f.readsPerDeparture, f.sendsPerDeparture, f.bytesPerArrival / 1e3, f.bytesPerDeparture / 1e3,
                    f.bytesPerArrival / f.n, f.bytesPerDeparture / f.n, f.dropped, f.classicDropped,
                    f.backNs < 0 ? "t/o" : QByteArray::number(f.backNs / 1e9, 'f', 1).constData(), f.benchCpuS * 1e3 / f.n,
                    f.benchChurnShare * 100, f.serverChurnShare * 100, f.emptySamples);
    }
}

void judgeScale(const std::vector<Figures> &all)
{
    int empty = 0, samples = 0;
    for (const Figures &f : all) {
        if (!f.ran)
            continue;
        empty += f.emptySamples, samples += f.samples;
        if (f.n < 1000)
            continue;
        const QByteArray run = runName(f);
        const qint64 median = medianOf(f.listNs);
        judge("scale", run + ": newcomer's list complete, median", timeText(median), "<= 5 s", median >= 0 && median <= 5'000'000'000);
        judge("scale", run + ": sessions dropped (classic peers)",
              QByteArray::number(f.dropped) + " (" + QByteArray::number(f.classicDropped) + ")", "0", f.dropped == 0);
        judge("scale", run + ": restart, all back and listed", f.backNs < 0 ? "timeout" : timeText(f.backNs), "<= 120 s",
              f.backNs >= 0 && f.backNs <= 120'000'000'000);
    }
    for (RealIrcServer::Kind kind : {RealIrcServer::NgIrcd, RealIrcServer::InspIRCd}) {
        double perArrival = 0, perDeparture = 0;
        const Figures *small = nullptr, *large = nullptr;
        for (const Figures &f : all) {
            if (!f.ran || f.kind != kind || f.classics)
                continue;
            perArrival = std::max(perArrival, f.sendsPerArrival), perDeparture = std::max(perDeparture, f.sendsPerDeparture);
            if (!small || f.n < small->n)
                small = &f;
            if (!large || f.n > large->n)
                large = &f;
        }
        if (!small)
            continue;
        const QByteArray name = kindName(kind);
        judge("scale", name + ": lines a bystander sends per arrival / departure, most", QByteArray::number(perArrival, 'f', 2) + " / "
              + QByteArray::number(perDeparture, 'f', 2), "<= 1 / 0", perArrival <= 1.0 && perDeparture < 0.005);
        if (small == large)
            continue;
        const double arrivals = (large->bytesPerArrival / large->n) / (small->bytesPerArrival / small->n);
        const double departures = (large->bytesPerDeparture / large->n) / (small->bytesPerDeparture / small->n);
        judge("scale", name + ": bytes per arrival / departure per player, " + runName(*large).split(' ')[1] + " against "
              + QByteArray::number(small->n), QByteArray::number(arrivals, 'f', 2) + " / " + QByteArray::number(departures, 'f', 2),
              "<= 1.25", arrivals <= 1.25 && departures <= 1.25);
    }
    judge("scale", "sampled lists empty during the churn, all runs", QByteArray::number(empty) + " of " + QByteArray::number(samples),
          "0", empty == 0);
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
}
}  // namespace

void benchScale()
{
    std::printf("scale: a lobby on two linked servers of one kind (default flood settings, the lobby's channels), half the\n"
                "  players on each: sessions of this program, no window (a RecordingView on the %d sampled), and with\n"
                "  'classic' 5 %% ClassicPeers. They join at 20 a second, then come and go (2 joins, 2 quits a second:\n"
                "  Form_Unload or deletion, a random player), then the second server restarts and its players come back\n"
                "  by themselves. Per bystander (a session there through the churn) and per event; bytes = what every\n"
                "  client of this process read, by what caused the line (a classic peer's announcements half to arrivals,\n"
                "  half to departures). CPU: utime + stime of this process and of the two servers (/proc/PID/stat).\n", Sampled);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;  // the servers started from here inherit it
        ::setrlimit(RLIMIT_NOFILE, &files);
        std::printf("  open files: %llu\n", static_cast<unsigned long long>(files.rlim_cur));
    }
    const std::vector<Plan> plans{
        {RealIrcServer::NgIrcd, 100, false, 60},   {RealIrcServer::NgIrcd, 300, false, 60},
        {RealIrcServer::NgIrcd, 1000, false, 60},  {RealIrcServer::InspIRCd, 100, false, 30},
        {RealIrcServer::InspIRCd, 300, false, 30}, {RealIrcServer::InspIRCd, 1000, false, 30},
        {RealIrcServer::NgIrcd, 100, true, 30},    {RealIrcServer::NgIrcd, 300, true, 30},
        {RealIrcServer::InspIRCd, 100, true, 30},  {RealIrcServer::InspIRCd, 300, true, 30},
    };
    const QByteArray only = qgetenv("TAV_SCALE_ONLY");  // "kind:n:classic:churn" while developing
    std::vector<Figures> all;
    QElapsedTimer whole;
    whole.start();
    for (const Plan &plan : plans) {
        if (!only.isEmpty() && !only.split(',').contains(QByteArray::number(&plan - plans.data())))
            continue;
        if (!RealIrcServer::available(plan.kind)) {
            std::printf("  %s: not installed\n", kindName(plan.kind));
            continue;
        }
        all.push_back(LobbyRun(plan.kind, plan.n, plan.classics, plan.churnS).run());
    }
    std::printf("  the part took %.0f s\n", whole.elapsed() / 1e3);
    printSummary(all);
    judgeScale(all);
    std::fflush(stdout);
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
