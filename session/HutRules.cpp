// The hut's lines and clicks: taking, leaving and refreshing places, the lines members
// broadcast, and the answers to newcomers. What a line does to the places is the table's
// (HutModel.cpp); this file sends, shows and tells.
#include "session/HutModel.h"

#include "launch/HostAddress.h"
#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

void HutModel::showPlaces()
{
    LobbyView &view = m_out.view();
    for (int slot = 1; slot <= Places; ++slot) {
        LobbyView::Place place;
        for (const QByteArray &name : claimants(slot))
            place.holders.append(WireText::decode(name));
        if (slot == m_mine && !m_holders[slot - 1].isEmpty())
            place = {LobbyView::Place::Mine, {}};
        else if (place.holders.size() > 1)
            place.kind = LobbyView::Place::Contested;
        else if (place.holders.size() == 1)
            place.kind = LobbyView::Place::Held;
        view.showPlace(slot - 1, place);
    }
    view.setHostControlsVisible(isHost());
}

void HutModel::apply(const Change &change)
{
    LobbyView &view = m_out.view();
    if (change.left) {
        sendHutExit(change.left);
        partHut();
        const QString host = WireText::decode(change.host);
        switch (change.why) {
        case Why::HostLeftLobby:
            view.appendChat(QStringLiteral(" -=%1, the host of your hut, left the lobby: you left the hut=-").arg(host));
            break;
        case Why::HostLeftHut:
            view.appendChat(QStringLiteral(" -=%1, the host of your hut, left it without launching: you left it too=-").arg(host));
            break;
        case Why::HostContested:
            view.appendChat(QStringLiteral(" -=Another player claims place 1 with %1: nobody can tell who hosts the hut, so you left it=-").arg(host));
            break;
        case Why::HostIgnored:
            view.appendChat(QStringLiteral(" -=You ignore %1, the host of your hut: you left it=-").arg(host));
            break;
        case Why::MadeFirst:
            view.appendChat(QStringLiteral(" -=%1 made the hut first: the server attests them as its host=-").arg(host));
            break;
        case Why::None:
            break;
        }
    }
    if (!change.claimsMine.isEmpty() && !m_toldClaims.contains(change.claimsMine)) {
        m_toldClaims.append(change.claimsMine);  // once a player, so nobody floods the chat box this way
        view.appendChat(QStringLiteral(" -=%1 claims your place %2 in the hut; here it stays yours=-")
                            .arg(WireText::decode(change.claimsMine)).arg(m_mine));
    }
    if (change.joinedMine)
        view.askAttention();
    if (!change.seated.isEmpty())
        invite(change.seated);
    if (change.places)
        showPlaces();
}

// An exit replaces an announcement still waiting; at a launch it goes ahead of everything.
void HutModel::sendHutExit(int slot, bool first)
{
    forgetAnswers();
    m_out.send(LobbyCommands::tavHut1Exit(m_channel, m_self, slot), HutPlaceLine, first);
}

void HutModel::Player_Click(int Index, bool inLobby, qint64 nowMs)
{
    if (Index < 0 || Index >= Places || !inLobby)
        return;  // out of the lobby nobody would know of the place
    if (!m_speakers.maySpeak() && Index + 1 != m_mine) {
        m_out.view().showHutMessage(Moderated + QStringLiteral("nobody would see you take a place."));
        return;
    }
    switch (join(Index + 1, nowMs)) {
    case Join::AlreadyIn:
        m_out.view().showInHutMessage();
        return;
    case Join::Taken:
        return;
    case Join::NoHost:
        m_out.view().showHutMessage(QStringLiteral("The hut has no host yet. Take place 1 to host a game, or wait until a host takes it."));
        return;
    case Join::HostContested: {
        const QString witness = m_attestedHost.isEmpty()
            ? QStringLiteral("the server attests none of them as its host")
            : QStringLiteral("the server attests %1 as its host").arg(WireText::decode(m_attestedHost));
        m_out.view().showHutMessage(QStringLiteral("Place 1 is claimed by %1 at once, and %2, so nobody can tell who hosts "
                                                   "this hut. Wait until one of them leaves it.")
                                        .arg(WireText::decode(claimants(1).join(" and ")), witness));
        return;
    }
    case Join::Joined:
        break;
    }
    showPlaces();
    if (m_mine == 1 && !m_inHutChannel)  // whoever the server lets in first hosts
        m_out.send(RegistrationLines::join(m_hutChannel));
    m_out.send(LobbyCommands::tavHut1(m_channel, m_self, m_mine), HutPlaceLine);
    m_claimedAt = nowMs;
}

bool HutModel::RefusedClaimRule(const InboundLine &line, qint64 nowMs)
{
    if (!line.irc.isCommand("404") || !is(line.irc.param(1), m_channel) || m_mine == 0 || m_claimedAt < 0
        || nowMs - m_claimedAt > AnswerWindowMs)
        return true;
    const int slot = leave();  // no exit: nobody heard the claim, and the channel would refuse it too
    showPlaces();
    m_out.view().appendChat(QStringLiteral(" -=The channel did not hear you take place %1 (%2): you have no place in the hut=-")
                                .arg(slot)
                                .arg(WireText::shownChat(WireText::decode(line.irc.params().last()))));
    return true;
}

void HutModel::QuitButton_Click()
{
    const int left = leave();
    if (left == 0)
        return;
    showPlaces();
    sendHutExit(left);  // still carries the old slot
    partHut();
}

void HutModel::Refresh_Click(qint64 nowMs)
{
    refresh(nowMs);
    showPlaces();
    if (!m_out.connected())
        return;
    m_out.send(LobbyCommands::getHutList(m_channel), HutQuery);
    askWitness();
    m_out.view().appendChat(QStringLiteral(" -=Refreshing Hut #1=-"));
}

void HutModel::askWitness()
{
    if (m_out.connected())
        m_out.send("NAMES " + m_hutChannel + "\r\n", WitnessQuery);
}

void HutModel::partHut()
{
    if (m_inHutChannel && m_out.connected())
        m_out.send("PART " + m_hutChannel + "\r\n");
    m_inHutChannel = m_hutOperator = false;
}

// Only a seated member gets into the closed hut channel, and only from its operator.
void HutModel::invite(QByteArrayView name)
{
    if (isHost() && m_hutOperator && m_out.connected())
        m_out.send("INVITE " + RegistrationLines::ircNickname(name.toByteArray()) + " " + m_hutChannel + "\r\n");
}

void HutModel::ignored(QByteArrayView name)
{
    apply(gone(name, Why::HostIgnored));
}

void HutModel::owe(QByteArrayView ircNickname, bool inLobby)
{
    if (!m_out.connected() || !inLobby || m_mine < 1 || ircNickname.isEmpty() || m_speakers.isMe(ircNickname))
        return;
    m_owed.add(ircNickname);
    m_newcomers.add(ircNickname);
    m_out.answersOwed();
}

void HutModel::forget(QByteArrayView ircNickname)
{
    m_owed.remove(ircNickname);
    m_newcomers.remove(ircNickname);
}

QByteArray HutModel::nextAnswer(int maxTargets)
{
    if (m_mine < 1)
        return {};
    // More newcomers than one line reaches (ngircd: one a line, and a line a second) would wait
    // in a queue that grows while they keep coming: one line to the channel answers them all.
    // Classic clients owed a re-announcement are no reason: they are answered privately.
    if (m_newcomers.size() > maxTargets) {
        forgetAnswers();
        return LobbyCommands::tavHut1(m_channel, m_self, m_mine);
    }
    const QByteArray targets = m_owed.take(maxTargets, [&](const QByteArray &to) { return m_members.owesAnswer(to); });
    for (const QByteArray &to : targets.split(','))
        m_newcomers.remove(to);
    return targets.isEmpty() ? QByteArray() : LobbyCommands::tavHut1(targets, m_self, m_mine);
}

// Owed, like the answers to newcomers, to the classic clients the members re-announce to; the
// members then have the answers sent, all targets known.
void HutModel::reannounceForClassics()
{
    if (m_mine < 1)
        return;
    for (const QByteArray &to : m_members.reannouncedTo())
        m_owed.add(to);
}

// The server's reports: this client's own JOIN opens the race of answers; a player who
// leaves the channel or takes another nickname holds no place.
bool HutModel::PresenceRule(const InboundLine &line, qint64 nowMs)
{
    const IrcLine &msg = line.irc;
    if (msg.command.size() != 4)
        return true;
    QByteArrayView gone;
    if (msg.isCommand("JOIN") && is(msg.param(0), m_channel) && m_speakers.isMe(msg.senderNick())) {
        openAnswers(nowMs);  // everybody answers this JOIN, in whatever order their lines arrive
        if (m_ownHost.isEmpty())  // told once a session: only a forwarded port lets others in
            if (const auto notice = HostAddress::hostNotice(QString::fromLatin1(m_out.localIP()), msg.senderHost()))
                m_out.view().appendChat(QStringLiteral(" -=%1=-").arg(*notice));
        m_ownHost = msg.senderHost().toByteArray();
        askWitness();  // goes before the announcement: the witness is asked as early as the answers
    } else if ((msg.isCommand("PART") && is(msg.param(0), m_channel)) || msg.isCommand("QUIT") || msg.isCommand("NICK")) {
        gone = msg.senderNick();
    } else if (msg.isCommand("KICK") && is(msg.param(0), m_channel)) {
        gone = msg.param(1);
    }
    if (gone.isEmpty())
        return true;
    forget(gone);
    if (const auto name = m_speakers.lobbyName(gone))
        apply(this->gone(*name));
    return true;
}

bool HutModel::ArrivalRule(const InboundLine &line, bool inLobby)
{
    if (line.irc.isCommand("JOIN") && is(line.irc.param(0), m_channel) && m_speakers.lobbyName(line.irc.senderNick()))
        owe(line.irc.senderNick(), inLobby);
    return true;
}

bool HutModel::HutExitOrAnnouncementRule(const InboundLine &line, qint64 nowMs)
{
    using LobbyCommands::KeyPlaces;
    const bool exit = line.keys.has(KeyPlaces::TavHut1Exit);
    if (!exit && !line.keys.has(KeyPlaces::TavHut1))
        return true;
    const LobbyCommands::Field field = exit
        ? line.payload(LobbyCommands::TavHut1ExitKey, KeyPlaces::TavHut1Exit)
        : line.payload(LobbyCommands::TavHut1Key, KeyPlaces::TavHut1);
    if (field.status != LobbyCommands::Field::Found)
        return false;
    const auto parts = LobbyCommands::splitNameAndValue(field.value);
    const std::optional<int> slot = parts ? HutSlot::readNumber(parts->value) : std::nullopt;
    if (!slot || *slot < 1 || *slot > TableSize)
        return false;
    // Nobody speaks for another player; a claim may come as an answer to this player alone.
    const auto route = exit ? Speakers::Route::Channel : Speakers::Route::ChannelOrPrivate;
    if (!m_speakers.said(line, parts->name, route))
        return false;
    apply(exit ? this->exit(parts->name, *slot, nowMs) : claim(parts->name, *slot, nowMs));
    return *slot <= Places;  // beyond the four places only the table changes
}

// The server's word on the hut channel. The names reply's operator is the witness; this
// player's own names reply after making the channel tells whether it came first.
bool HutModel::WitnessRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.isCommand("353")) {  // me = #hut :@op names
        const IrcLine::Params &p = msg.params();
        if (p.size() < 3 || !is(p[p.size() - 2], m_hutChannel))
            return true;
        IrcLine::forEachName(p.last(), [&](QByteArrayView entry) {
            const QByteArrayView nick = m_server.stripStatus(entry);
            const auto name = m_speakers.lobbyName(nick);
            if (name && entry.first(entry.size() - nick.size()).contains('@'))
                m_reading = name->toByteArray();
            return m_reading.isEmpty();
        });
        return true;
    }
    if (msg.isCommand("366") && is(msg.param(1), m_hutChannel)) {
        const QByteArray made = std::exchange(m_reading, {});
        apply(attest(made));
        if (m_inHutChannel && isHost() && is(made, m_self) && !m_hutOperator) {
            m_hutOperator = true;  // closed to strangers, and its topic is the host's alone
            m_out.send("MODE " + m_hutChannel + " +it\r\n");
            for (int slot = 2; slot <= Places; ++slot)
                for (const QByteArray &member : claimants(slot))
                    invite(member);
        }
    } else if (msg.isCommand("473") && is(msg.param(1), m_hutChannel)) {
        askWitness();  // closed: somebody made it first, and the server says who
    } else if (msg.isCommand("JOIN") && is(msg.param(0), m_hutChannel) && m_speakers.isMe(msg.senderNick())) {
        m_reading.clear();
        m_inHutChannel = true;
        if (m_mine < 1)
            partHut();  // left the hut while the JOIN was on its way
    } else if ((msg.isCommand("PART") && is(msg.param(0), m_hutChannel) && m_speakers.isMe(msg.senderNick()))
               || (msg.isCommand("KICK") && is(msg.param(0), m_hutChannel) && m_speakers.isMe(msg.param(1)))) {
        m_inHutChannel = m_hutOperator = false;
    } else if (msg.isCommand("INVITE") && is(msg.param(1), m_hutChannel) && m_mine > 1 && !m_inHutChannel) {
        const auto from = m_speakers.lobbyName(msg.senderNick());
        if (from && isMyHost(*from))  // only the host this member chose
            m_out.send(RegistrationLines::join(m_hutChannel));
    }
    return true;
}

bool HutModel::HutQueryRule(const InboundLine &line, bool inLobby)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetHutList))
        owe(line.irc.senderNick(), inLobby);  // to the one who asked
    return true;
}
