// Who is present: the server's reports, the presence lines, the refresh, the redraw, and the
// answers to those who come or ask. A newcomer learns everybody from answers sent to it
// alone, so the others' comings and goings cost the bystanders nothing. A client of the
// classic rules empties its list at every quit and announces itself in the channel; only
// those that just did so hear this one again, privately, one line for the quits of a
// couple of seconds.
#include "session/LobbyMembers.h"

#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <algorithm>
#include <string_view>
#include <utility>

LobbyMembers::LobbyMembers(const ServerInfo &server, Outbox &out, QByteArray nickname, QByteArray channel)
    : m_server(server), m_out(out), m_nickname(std::move(nickname)), m_channel(std::move(channel)),
      m_ircNickname(RegistrationLines::ircNickname(m_nickname)), m_index(0, {&server}, {&server}), m_owed(server)
{
}

bool LobbyMembers::arrived(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > MaxNameBytes || contains(name))
        return false;
    const auto member = m_order.insert(m_order.end(), Member{name.toByteArray()});
    m_index.emplace(std::string(name.data(), size_t(name.size())), member);
    ++m_listed;
    ++m_changes;
    return true;
}

bool LobbyMembers::left(QByteArrayView name)
{
    const auto found = find(name);
    if (found == m_index.end())
        return false;
    const Order::iterator member = found->second;
    m_listed -= member->listed;
    m_classics -= member->classic;
    m_changes += member->listed;
    m_index.erase(found);
    m_order.erase(member);
    return true;
}

void LobbyMembers::clear()
{
    m_order.clear();
    m_index.clear();
    m_listed = m_classics = 0;
    ++m_changes;
    m_quitInBatch = m_owedInBatch = m_quitOpen = false;
    m_firstUnserved = m_lastReannounce = m_reannounceDue = m_checkDue = -1;
}

void LobbyMembers::reset()
{
    clear();
    m_owed.clear();
    m_shown = m_changes;
    m_redrawDue = -1;
    m_out.view().setUserListRows({});
}

void LobbyMembers::refold()
{
    FoldedName::refold(m_index, m_server);
}

void LobbyMembers::setListed(Member &m, bool listed)
{
    if (m.listed == listed)
        return;
    m.listed = listed;
    m_listed += listed ? 1 : -1;
    ++m_changes;
}

void LobbyMembers::announced(QByteArrayView name, bool inChannel)
{
    const auto found = find(name);
    if (found == m_index.end())
        return;
    Member &m = *found->second;
    setListed(m, true);
    if (!inChannel)
        return;
    if (m.awaitingArrival) {  // every newcomer announces its own arrival in the channel
        m.awaitingArrival = false;
        return;
    }
    if (!m_quitOpen)
        return;  // no quit to answer: a pose costs nothing
    if (!m.classic) {
        m.classic = true;
        ++m_classics;
    }
    m.quitUnanswered = -1;
    m.owed = m_owedInBatch = true;
}

bool LobbyMembers::isClassic(QByteArrayView name) const
{
    const auto found = find(name);
    return found != m_index.end() && found->second->classic;
}

void LobbyMembers::relist(QByteArrayView name)
{
    const auto found = find(name);
    if (found != m_index.end())
        setListed(*found->second, true);
}

void LobbyMembers::unlist(QByteArrayView name)
{
    const auto found = find(name);
    if (found != m_index.end())
        setListed(*found->second, false);
}

bool LobbyMembers::isListed(QByteArrayView name) const
{
    const auto found = find(name);
    return found != m_index.end() && found->second->listed;
}

QByteArrayList LobbyMembers::rows() const
{
    QByteArrayList rows;
    rows.reserve(m_listed);
    for (const Member &m : m_order)
        if (m.listed)
            rows.append(m.name);
    return rows;
}

QByteArray LobbyMembers::text() const
{
    QByteArray out;
    for (const Member &m : m_order)
        if (m.listed)
            out += m.name + "\r\n";
    return out;
}

void LobbyMembers::redrawNow()
{
    m_redrawDue = -1;
    m_shown = m_changes;
    if (!m_out.viewed())
        return;
    QList<LobbyView::UserRow> rows;
    rows.reserve(m_listed);
    for (const Member &m : m_order) {
        if (!m.listed)
            continue;
        rows.append({m.name, WireText::decode(m.name)});
        m_rowMark(rows.last());
    }
    m_out.view().setUserListRows(rows);
}

void LobbyMembers::settle(qint64 nowMs)
{
    if (m_changes != m_shown && m_redrawDue < 0)
        m_redrawDue = nowMs + ListRedrawMs;
    if (std::exchange(m_quitInBatch, false)) {
        m_quitOpenUntil = nowMs + ClassicGraceMs;
        if (m_checkDue < 0)
            m_checkDue = m_quitOpenUntil;
        if (m_firstUnserved < 0 || (m_reannounceDue < 0 && nowMs - m_firstUnserved > ReannounceMs))
            m_firstUnserved = nowMs;
        if (m_classics > 0)
            for (Member &m : m_order)
                if (m.quitUnanswered == Unstamped)
                    m.quitUnanswered = nowMs;
    }
    if (std::exchange(m_owedInBatch, false) && m_reannounceDue < 0) {
        // An announcement late for the last re-announcement waits out its interval, too.
        const qint64 from = m_firstUnserved >= 0 ? m_firstUnserved : m_lastReannounce;
        m_reannounceDue = from < 0 ? nowMs : std::max(nowMs, from + ReannounceMs);
    }
}

qint64 LobbyMembers::nextDue() const
{
    qint64 next = -1;
    for (qint64 due : {m_redrawDue, m_reannounceDue, m_checkDue})
        if (due >= 0 && (next < 0 || due < next))
            next = due;
    return next;
}

// A classic client silent since a quit, for the whole grace, follows the rules no more.
void LobbyMembers::checkClassics(qint64 nowMs)
{
    m_quitOpen = nowMs < m_quitOpenUntil;
    m_checkDue = m_quitOpen ? m_quitOpenUntil : -1;
    for (Member &m : m_order) {
        if (m.quitUnanswered < 0)
            continue;
        const qint64 end = m.quitUnanswered + ClassicGraceMs;
        if (end <= nowMs) {
            m.classic = false;
            m.quitUnanswered = -1;
            --m_classics;
        } else if (m_checkDue < 0 || end < m_checkDue) {
            m_checkDue = end;
        }
    }
}

void LobbyMembers::due(qint64 nowMs)
{
    if (m_reannounceDue >= 0 && nowMs >= m_reannounceDue) {
        m_reannounceDue = m_firstUnserved = -1;
        m_lastReannounce = nowMs;
        reannounceForClassics();
    }
    if (m_checkDue >= 0 && nowMs >= m_checkDue)
        checkClassics(nowMs);
    if (m_redrawDue < 0 || nowMs < m_redrawDue)
        return;
    m_redrawDue = -1;
    if (m_changes != m_shown)  // else the box already shows this list
        redrawNow();
}

void LobbyMembers::owe(QByteArrayView ircNickname)
{
    m_owed.add(ircNickname);
}

QByteArray LobbyMembers::nextAnswer(int maxTargets)
{
    const QByteArray targets = m_owed.take(maxTargets);
    return targets.isEmpty() ? QByteArray() : LobbyCommands::tavList(targets, m_nickname);
}

bool LobbyMembers::said(const InboundLine &line, QByteArrayView name, bool privateToo) const
{
    return line.sender && (line.toChannel || privateToo) && m_server.sameName(*line.sender, name) && contains(name);
}

void LobbyMembers::playerArrived(QByteArrayView ircNickname)
{
    const auto name = RegistrationLines::lobbyName(ircNickname, m_server);
    if (name && !isMe(ircNickname))
        arrived(*name);
}

void LobbyMembers::playerLeft(QByteArrayView ircNickname)
{
    // Nobody to tell any more.
    m_owed.remove(ircNickname);
    if (const auto name = RegistrationLines::lobbyName(ircNickname, m_server))
        left(*name);
}

// Keeps who is in the channel from the server's own reports: the names list on joining, then
// every join, part, kick, quit and change of nickname.
bool LobbyMembers::PresenceRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.command.size() != 3 && msg.command.size() != 4)
        return true;  // numerics other than 353, and longer commands
    if (msg.isCommand("353")) {  // me = #channel :names, or me #channel :names
        const IrcLine::Params &p = msg.params();
        if (p.size() < 3 || !m_server.sameName(p[p.size() - 2], m_channel))
            return true;
        IrcLine::forEachName(p.last(), [&](QByteArrayView entry) { return playerArrived(m_server.stripStatus(entry)), true; });
    } else if (msg.isCommand("JOIN") && m_server.sameName(msg.param(0), m_channel)) {
        if (isMe(msg.senderNick()))
            clear();  // the names list follows
        else
            playerArrived(msg.senderNick());
    } else if (msg.isCommand("PART") && m_server.sameName(msg.param(0), m_channel)) {
        playerLeft(msg.senderNick());
    } else if (msg.isCommand("KICK") && m_server.sameName(msg.param(0), m_channel)) {
        playerLeft(msg.param(1));
    } else if (msg.isCommand("QUIT")) {
        playerLeft(msg.senderNick());
    } else if (msg.isCommand("NICK")) {
        playerLeft(msg.senderNick());  // under another name, nothing said before is theirs
        playerArrived(msg.param(0));
    }
    return true;
}

void LobbyMembers::Command2_Click(bool inLobby)
{
    if (!m_out.connected() || !inLobby)
        return;
    // Asks again and adds whoever answers; nobody here is taken off the list for it.
    m_out.send(LobbyCommands::getTavList(m_channel), UserListQuery);
    m_out.view().appendChat(QStringLiteral(" -=Refreshing User List=-"));
}

void LobbyMembers::answer(QByteArrayView ircNickname, bool inLobby)
{
    if (!m_out.connected() || !inLobby || ircNickname.isEmpty() || isMe(ircNickname))
        return;
    owe(ircNickname);
    m_out.answersOwed();
}

bool LobbyMembers::GetTavListRule(const InboundLine &line, bool inLobby)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetTavList))
        answer(line.irc.senderNick(), inLobby);
    return true;
}

bool LobbyMembers::TavListRule(const InboundLine &line, bool inLobby)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavList))
        return true;
    const LobbyCommands::Field field = LobbyCommands::listField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavList));
    if (field.status == LobbyCommands::Field::Absent)
        return true;
    // Said by the player it names, to the channel or to this player alone.
    if (field.status == LobbyCommands::Field::Failed || !said(line, field.value, true))
        return false;
    announced(field.value, line.toChannel && inLobby);
    return true;
}

// Somebody quit the server (the presence rule has taken him off the list). Classic clients
// empty their lists on any quit and announce themselves in the channel; each that does not
// within the grace follows the rules no more.
bool LobbyMembers::DepartureRule(const InboundLine &line, bool inLobby)
{
    if (!line.irc.isCommand("QUIT") || !m_out.connected() || !inLobby)
        return true;
    m_quitInBatch = m_quitOpen = true;
    if (m_classics > 0)
        for (Member &m : m_order)
            if (m.classic && m.quitUnanswered == -1)
                m.quitUnanswered = Unstamped;
    return true;
}

// To the classic clients that just announced themselves, privately, as answers owed: they take
// lobby lines from any line, and the player's own lines go first.
void LobbyMembers::reannounceForClassics()
{
    m_reannouncedTo.clear();
    for (Member &m : m_order)
        if (std::exchange(m.owed, false) && m.classic)
            m_reannouncedTo.append(RegistrationLines::ircNickname(m.name));
    if (m_reannouncedTo.isEmpty() || !m_out.connected())
        return;
    for (const QByteArray &to : m_reannouncedTo)
        owe(to);
    m_onReannounce();
    m_out.answersOwed();
}

// Somebody joined the channel. This player's own join is announced to the channel; another
// player's is answered to him alone.
bool LobbyMembers::ArrivalRule(const InboundLine &line, bool inLobby)
{
    if (!line.irc.isCommand("JOIN") || !m_server.sameName(line.irc.param(0), m_channel))
        return true;
    const QByteArrayView who = line.irc.senderNick();
    if (isMe(who)) {
        if (m_out.connected())
            m_out.send(LobbyCommands::tavList(m_channel, m_nickname), PresenceLine);
    } else if (RegistrationLines::lobbyName(who, m_server)) {
        answer(who, inLobby);
    }
    return true;
}

// A player who speaks is listed again.
bool LobbyMembers::RelistRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::TavChat) && line.sender && line.toChannel)
        relist(*line.sender);
    return true;
}

bool LobbyMembers::TavQuitRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavQuit))
        return true;
    const LobbyCommands::Field field = LobbyCommands::quitField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavQuit));
    if (field.status == LobbyCommands::Field::Absent)
        return true;
    if (field.status == LobbyCommands::Field::Failed || !said(line, field.value, false))
        return false;
    unlist(field.value);
    return true;
}
