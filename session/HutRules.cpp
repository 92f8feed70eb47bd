// The hut: taking, leaving and refreshing places, and the lines members broadcast. What
// each line does to the places is HutModel's; this file sends, shows and tells.
#include "session/LobbySession.h"

#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

void LobbySession::showPlaces()
{
    const HutModel &hut = m_state.Hut;
    for (int slot = 1; slot <= HutModel::Places; ++slot) {
        LobbyView::Place place;
        for (const QByteArray &name : hut.claimants(slot))
            place.holders.append(WireText::decode(name));
        if (slot == hut.MyHutSlot() && !hut.HutSlots()[slot - 1].isEmpty())
            place = {LobbyView::Place::Mine, {}};
        else if (place.holders.size() > 1)
            place.kind = LobbyView::Place::Contested;
        else if (place.holders.size() == 1)
            place.kind = LobbyView::Place::Held;
        m_view->showPlace(slot - 1, place);
    }
}

// Sends what a change of the hut asks for and tells the player what happened to them.
void LobbySession::hutChanged(const HutModel::Change &change)
{
    if (change.left) {
        sendHutExit(change.left);
        m_toldClaims.clear();
        const QString host = WireText::decode(change.host);
        switch (change.why) {
        case HutModel::Why::HostLeftLobby:
            m_view->appendChat(QStringLiteral(" -=%1, the host of your hut, left the lobby: you left the hut=-").arg(host));
            break;
        case HutModel::Why::HostLeftHut:
            m_view->appendChat(QStringLiteral(" -=%1, the host of your hut, left it without launching: you left it too=-").arg(host));
            break;
        case HutModel::Why::HostContested:
            m_view->appendChat(QStringLiteral(" -=Another player claims place 1 with %1: nobody can tell who hosts the hut, so you left it=-").arg(host));
            break;
        case HutModel::Why::HostIgnored:
            m_view->appendChat(QStringLiteral(" -=You ignore %1, the host of your hut: you left it=-").arg(host));
            break;
        case HutModel::Why::None:
            break;
        }
    }
    if (change.hostExited)
        HostExitGrace.start();
    if (!change.claimsMine.isEmpty() && !m_toldClaims.contains(change.claimsMine)) {
        m_toldClaims.append(change.claimsMine);  // once a player, so nobody floods the chat box this way
        m_view->appendChat(QStringLiteral(" -=%1 claims your place %2 in the hut; here it stays yours=-")
                               .arg(WireText::decode(change.claimsMine)).arg(m_state.Hut.MyHutSlot()));
    }
    if (change.places)
        showPlaces();
}

void LobbySession::announceHutPlace()
{
    sendLobbyCommand(LobbyCommands::tavHut1(m_state.ChannelName, m_state.Nickname, m_state.Hut.MyHutSlot()), HutPlaceLine);
}

// An exit replaces an announcement still waiting; at a launch it goes ahead of everything.
void LobbySession::sendHutExit(int slot, bool first)
{
    m_socket.drop(ClassicHut);  // the place it would tell of is no longer this player's
    m_state.UserListText.dropAnswers(LobbyMembers::HutPlace);
    const QByteArray exit = LobbyCommands::tavHut1Exit(m_state.ChannelName, m_state.Nickname, slot);
    first ? m_socket.sendFirst(exit, HutPlaceLine) : m_socket.send(exit, HutPlaceLine);
}

void LobbySession::Player_Click(int Index)
{
    if (Index < 0 || Index >= HutModel::Places || !m_life.inLobby())
        return;  // out of the lobby nobody would know of the place
    const HutModel &hut = m_state.Hut;
    switch (m_state.Hut.join(Index + 1)) {
    case HutModel::Join::AlreadyIn:
        m_view->showInHutMessage();
        return;
    case HutModel::Join::Taken:
        return;
    case HutModel::Join::NoHost:
        m_view->showHutMessage(QStringLiteral("The hut has no host yet. Take place 1 to host a game, or wait until a host takes it."));
        return;
    case HutModel::Join::HostContested:
        m_view->showHutMessage(QStringLiteral("Place 1 is claimed by %1 at once, so nobody can tell who hosts this hut. "
                                              "Wait until one of them leaves it.")
                                   .arg(WireText::decode(hut.claimants(1).join(" and "))));
        return;
    case HutModel::Join::Joined:
        break;
    }
    showPlaces();
    announceHutPlace();
}

void LobbySession::QuitButton_Click()
{
    const int left = m_state.Hut.leave();
    if (left == 0)
        return;
    m_toldClaims.clear();
    showPlaces();
    sendHutExit(left);  // still carries the old slot
}

void LobbySession::Refresh_Click()
{
    m_state.Hut.refresh();
    AnswerWindow.start();
    showPlaces();
    if (!m_socket.isConnected())
        return;
    sendLobbyCommand(LobbyCommands::getHutList(m_state.ChannelName), HutQuery);
    m_view->appendChat(QStringLiteral(" -=Refreshing Hut #1=-"));
}

// Every two seconds the own place comes back, after a refresh cleared the picture.
void LobbySession::Timer5_Timer()
{
    if (m_socket.isConnected() && m_state.Hut.restoreOwn())
        showPlaces();
}

void LobbySession::HostExitGrace_Timer()
{
    hutChanged(m_state.Hut.hostExitGraceOver());
}

void LobbySession::AnswerWindow_Timer()
{
    m_state.Hut.closeAnswers();
}

bool LobbySession::HutExitOrAnnouncementRule(const InboundLine &line)
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
    if (!slot || *slot < 1 || *slot > HutModel::TableSize)
        return false;
    // Nobody speaks for another player; a claim may come as an answer to this player alone.
    const auto route = exit ? Speakers::Route::Channel : Speakers::Route::ChannelOrPrivate;
    if (!m_speakers.said(line.irc, parts->name, route) || !isPresent(parts->name))
        return false;
    hutChanged(exit ? m_state.Hut.exit(parts->name, *slot) : m_state.Hut.claim(parts->name, *slot));
    return *slot <= HutModel::Places;  // beyond the four places only the table changes
}

bool LobbySession::HutQueryRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetHutList))
        answerPrivately(line.irc.senderNick(), false, true);  // to the one who asked
    return true;
}
