// The players of a scale run: joining, quitting, what each reads, and when a newcomer knows
// everybody.
#include "SessionProbe.h"
#include "ScaleRun.h"

#include <algorithm>

namespace scale {
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
    QObject::connect(&SessionProbe{*s}.socket(), &LobbySocket::dataArrival, s, [this, &p](const QByteArray &, const std::vector<QByteArrayView> &lines) {
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
    if (p.hutNs < 0 && m_fig.hutFormed && knowsHut(p))
        p.hutNs = now - p.joinNs;
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
    watchHut();
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
}  // namespace scale
