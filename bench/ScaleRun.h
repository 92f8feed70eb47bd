#pragma once

// Up to 1,000 players in one lobby on two linked real servers (bench_scale.cpp): the run
// (ScaleRun.cpp), what each player reads and when a newcomer's list is complete
// (ScalePlayers.cpp), the hut and when a newcomer knows it (ScaleHut.cpp), the figures and their
// summary (ScaleReport.cpp).
#include "SessionProbe.h"
#include "ClassicPeer.h"
#include "LinkedServer.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace scale {
inline const QByteArray Channel = "#TavarineNET_3";

constexpr int Sampled = 8;        // players whose lists are sampled; they never quit
constexpr int HolderCount = 3;    // sampled players who hold places 1 to 3 through the churn
constexpr int RampStepMs = 50;    // 20 joins a second
constexpr int ChurnStepMs = 250;  // a join, a quit, a join, a quit: 2 + 2 a second
constexpr int TickMs = 100;
constexpr int SampleTicks = 5;    // lists sampled every half second
constexpr qint64 BackLimitMs = 180000;

inline const char *kindName(RealIrcServer::Kind kind)
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
    qint64 hutNs = -1;  // a newcomer's table shows every held place and its holder
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
    bool complete = false;  // everybody joined, and the restarted half came back
    double rampS = 0, drainS = -1;
    int arrivals = 0, departures = 0, bystanders = 0;
    std::vector<qint64> listNs, classicListNs, answeredNs;  // per newcomer; -1: not by the restart
    std::vector<qint64> butCutNs;                           // complete but for the names the server cut
    std::vector<qint64> hutNs;                              // per session newcomer: knows the hut; -1: not by the restart
    bool hutFormed = false;
    qint64 hutFormMs = -1, hutBrokeNs = -1;  // the holders no longer agreed, into the churn
    const char *hutBrokeAt = nullptr;
    QByteArray hutTruth;  // its holders, places 1 to 3
    int hutLeft = 0;      // newcomers who quit before they knew it
    bool hutLearned() const { return hutFormed && std::any_of(hutNs.begin(), hutNs.end(), [](qint64 t) { return t >= 0; }); }
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
    void formHut(qint64 limitMs);
    bool knowsHut(const Player &p) const;
    void watchHut();
    void tick();
    qint64 serverCpuMs() const;
    void summarise();
    void growConnectionTables();

    Figures m_fig;
    LinkedServer m_server[2];
    std::vector<std::unique_ptr<Player>> m_players;  // after the servers: gone before them
    std::vector<Player *> m_newcomers;
    std::array<QByteArray, HutModel::Places> m_hut;  // the truth: who holds each place
    std::array<Player *, HolderCount> m_holders{};
    QElapsedTimer m_clock;
    QRandomGenerator m_random{22};
    bool m_churning = false, m_tracking = false, m_restarted = false;
    qint64 m_churn0 = 0;
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

// ScaleReport.cpp
qint64 medianOf(const std::vector<qint64> &v);
QByteArray timeText(qint64 ns);
QByteArray timesText(const std::vector<qint64> &v);
QStringList closeReasons(const QString &serverOutput);  // the reasons the servers gave for closing client links, each once
void printSummary(const std::vector<Figures> &all);
void judgeScale(const std::vector<Figures> &all);
}  // namespace scale
