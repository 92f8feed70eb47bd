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
    sendHutExit();
    setPlace(m_state.MyHutSlot, false, nullptr);
    m_state.HutSlots[m_state.MyHutSlot - 1].clear();
    sendLobbyCommand(LobbyCommands::tavHut1Launch(m_state.ChannelName, m_state.Nickname, m_socket.localIP()));
    m_state.MyHutSlot = 0;
    m_view->showLoginForm();
    const QString game = CommandLines::host(WireText::decode(m_state.Nickname), QString::fromLatin1(m_socket.localIP()));
    if (!ProgramStarter::start(game, ProgramStarter::WindowStyle::NormalFocus)) {
        sendHutExit();  // carries slot 0 now; the user stays in the lobby, outside the hut
        return;
    }
    closeLobby();
}

bool LobbySession::LaunchRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavHut1Launch))
        return true;
    if (m_state.MyHutSlot < 1)
        return false;  // not in the hut: the rest of the line is not looked at
    const LobbyCommands::Field field = line.payload(LobbyCommands::TavHut1LaunchKey, LobbyCommands::KeyPlaces::TavHut1Launch);
    const auto parts = field.status == LobbyCommands::Field::Found
        ? LobbyCommands::splitNameAndValue(field.value) : std::nullopt;
    // Only the hut's host, speaking in the channel as itself, sends the hut away.
    if (!parts || !saidInChannelBy(line, parts->name) || !isHutHost(parts->name))
        return false;
    // Even the host's address is only ever used as a plain IPv4 address.
    const QString hostAddress = WireText::decode(parts->value);
    if (!CommandLines::isDottedIPv4(hostAddress))
        return false;
    sendHutExit();
    m_state.HutSlots[m_state.MyHutSlot - 1].clear();
    const QString none;
    setPlace(m_state.MyHutSlot, false, &none);
    m_view->showLoginForm();
    m_socket.close();
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
