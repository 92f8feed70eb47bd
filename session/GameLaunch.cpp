// The host's launch, and every member starting the game when the launch line arrives.
// Whether the game can start here is asked before anybody is told anything.
#include "session/LobbySession.h"

#include "launch/CommandLines.h"
#include "launch/GameLauncher.h"
#include "launch/HostAddress.h"
#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

void LobbySession::LaunchButton_Click()
{
    if (m_state.Hut.MyHutSlot() < 1 || m_state.Nickname != m_state.Hut.HutSlots()[0])
        return;
    const GameLauncher::Plan game = GameLauncher::find();
    if (!game.ready()) {  // nothing sent: the hut, the lobby and the connection stay as they were
        m_view->showLaunchProblem(game.missing);
        return;
    }
    // The exit and the launch go ahead of anything waiting: the close after them
    // writes only what the server takes at once.
    sendHutExit(m_state.Hut.leave(), true);
    showPlaces();
    m_socket.sendFirst(LobbyCommands::tavHut1Launch(m_state.ChannelName, m_state.Nickname, m_socket.localIP()));
    QString error;
    if (!GameLauncher::start(game, CommandLines::host(WireText::decode(m_state.Nickname), QString::fromLatin1(m_socket.localIP())), &error)) {
        // Slot 0 now, and never in place of the real exit still waiting: the user stays outside the hut.
        sendLobbyCommand(LobbyCommands::tavHut1Exit(m_state.ChannelName, m_state.Nickname, 0));
        m_view->showLaunchProblem(QStringLiteral("The members were told to start, but the game could not be started here: ") + error);
        return;
    }
    m_view->showLoginForm();
    closeLobby();
}

// Only the host this member chose, speaking in the channel as himself, sends the hut
// away: while he holds place 1, or right after his own exit.
bool LobbySession::LaunchRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavHut1Launch))
        return true;
    if (m_state.Hut.MyHutSlot() < 1)
        return false;  // not in the hut: the rest of the line is not looked at
    const LobbyCommands::Field field = line.payload(LobbyCommands::TavHut1LaunchKey, LobbyCommands::KeyPlaces::TavHut1Launch);
    const auto parts = field.status == LobbyCommands::Field::Found
        ? LobbyCommands::splitNameAndValue(field.value) : std::nullopt;
    if (!parts || !saidInChannelBy(line, parts->name) || !m_state.Hut.launchCounts(parts->name))
        return false;
    // Even the host's address is only ever used as a plain IPv4 address.
    const QString hostAddress = WireText::decode(parts->value);
    if (!CommandLines::isDottedIPv4(hostAddress))
        return false;
    // The member leaves the hut whatever happens next: it either follows the host or says why not.
    sendHutExit(m_state.Hut.leave(), true);
    showPlaces();
    QString error;
    // Behind a router the line's address is a private one: the server's view of both players tells where to dial.
    const QString dialed = HostAddress::dial(hostAddress, line.irc.senderHost(), m_ownPrefixHost);
    const QString game = CommandLines::joiner(dialed, WireText::decode(m_state.Nickname), QString::fromLatin1(m_socket.localIP()));
    if (!GameLauncher::start(GameLauncher::find(), game, &error)) {
        m_view->showLaunchProblem(QStringLiteral("the host started the game, but it could not be started here: ") + error);
        return false;  // stays in the lobby, connected
    }
    m_view->showLoginForm();
    closeLobby();
    return false;
}

void LobbySession::closeLobby()
{
    m_view->closeLobby();
    Form_Unload();
}
