// The host's launch, and every member starting the game when the launch line arrives.
#include "session/LobbySession.h"

#include "protocol/WireText.h"
#include "launch/CommandLines.h"
#include "launch/ProgramStarter.h"
#include "protocol/LobbyCommands.h"

void LobbySession::LaunchButton_Click()
{
    if (m_state.MyHutSlot < 1 || m_state.Nickname != m_state.HutSlots[0])
        return;
    // The exit and the launch go ahead of anything waiting: the close after them
    // writes only what the server takes at once.
    sendHutExit(true);
    setPlace(m_state.MyHutSlot, false, nullptr);
    m_state.HutSlots[m_state.MyHutSlot - 1].clear();
    m_socket.sendFirst(LobbyCommands::tavHut1Launch(m_state.ChannelName, m_state.Nickname, m_socket.localIP()));
    m_state.MyHutSlot = 0;
    m_view->showLoginForm();
    const QString game = CommandLines::host(WireText::decode(m_state.Nickname), QString::fromLatin1(m_socket.localIP()));
    if (!ProgramStarter::start(game, ProgramStarter::WindowStyle::NormalFocus)) {
        // Slot 0 now, and never in place of the real exit still waiting: the user stays outside the hut.
        sendLobbyCommand(LobbyCommands::tavHut1Exit(m_state.ChannelName, m_state.Nickname, m_state.MyHutSlot));
        return;
    }
    closeLobby();
}

// Only the host this member saw in place 1, speaking in the channel as itself, sends
// the hut away: while it holds the place, or right after its own exit.
bool LobbySession::LaunchRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavHut1Launch))
        return true;
    if (m_state.MyHutSlot < 1)
        return false;  // not in the hut: the rest of the line is not looked at
    const LobbyCommands::Field field = line.payload(LobbyCommands::TavHut1LaunchKey, LobbyCommands::KeyPlaces::TavHut1Launch);
    const auto parts = field.status == LobbyCommands::Field::Found
        ? LobbyCommands::splitNameAndValue(field.value) : std::nullopt;
    if (!parts || !saidInChannelBy(line, parts->name) || !m_hutHost.is(parts->name))
        return false;
    // Even the host's address is only ever used as a plain IPv4 address.
    const QString hostAddress = WireText::decode(parts->value);
    if (!CommandLines::isDottedIPv4(hostAddress))
        return false;
    sendHutExit(true);
    freePlace(m_state.MyHutSlot);
    m_view->showLoginForm();
    closeSocket();
    const QString game = CommandLines::joiner(hostAddress, WireText::decode(m_state.Nickname),
                                              QString::fromLatin1(m_socket.localIP()));
    if (!ProgramStarter::start(game, ProgramStarter::WindowStyle::NormalFocus))
        return false;  // stays in the lobby, its socket closed
    closeLobby();
    return false;
}

void LobbySession::closeLobby()
{
    m_view->closeLobby();
    Form_Unload();
    emit lobbyClosed();
}
