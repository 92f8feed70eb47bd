// The hut: taking, leaving and refreshing places, and the lines members broadcast.
#include "session/LobbySession.h"

#include "protocol/WireText.h"
#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"

// Shows slot 1 to 4 as taken or free; the tooltip changes only when given.
void LobbySession::setPlace(int slot, bool taken, const QString *toolTip)
{
    m_view->setPlayer(slot - 1, taken);
    if (toolTip)
        m_view->setPlayerToolTip(slot - 1, *toolTip);
}

void LobbySession::announceHutPlace()
{
    sendLobbyCommand(LobbyCommands::tavHut1(m_state.ChannelName, m_state.Nickname, m_state.MyHutSlot));
}

void LobbySession::sendHutExit()
{
    sendLobbyCommand(LobbyCommands::tavHut1Exit(m_state.ChannelName, m_state.Nickname, m_state.MyHutSlot));
}

void LobbySession::Player_Click(int Index)
{
    if (Index < 0 || Index >= HutSlot::Places)
        return;
    if (m_state.MyHutSlot >= 1) {
        m_view->showInHutMessage();
        return;
    }
    if (!m_state.HutSlots[Index].isEmpty())
        return;
    const QString you = QStringLiteral("You");
    setPlace(Index + 1, true, &you);
    m_state.HutSlots[Index] = m_state.Nickname;
    m_state.MyHutSlot = std::int16_t(Index + 1);
    announceHutPlace();
}

void LobbySession::QuitButton_Click()
{
    if (m_state.MyHutSlot == 0)
        return;
    const QString none;
    setPlace(m_state.MyHutSlot, false, &none);
    m_state.HutSlots[m_state.MyHutSlot - 1].clear();
    sendHutExit();  // still carries the old slot
    m_state.MyHutSlot = 0;
}

void LobbySession::Refresh_Click()
{
    for (int slot = 1; slot <= HutSlot::Places; ++slot)
        setPlace(slot, false, nullptr);
    for (int i = 0; i < HutSlot::Places; ++i)
        m_state.HutSlots[i].clear();
    if (!m_socket.isConnected())
        return;
    sendLobbyCommand(LobbyCommands::getHutList(m_state.ChannelName));
    m_view->appendChat(QStringLiteral(" -=Refreshing Hut #1=-"));
}

// Every two seconds the own place comes back, whatever others announced over it.
void LobbySession::Timer5_Timer()
{
    if (m_state.MyHutSlot <= 0 || !m_socket.isConnected())
        return;
    setPlace(m_state.MyHutSlot, true, nullptr);
    m_state.HutSlots[m_state.MyHutSlot - 1] = m_state.Nickname;
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
    if (!slot || *slot < 1 || *slot > HutSlot::TableSize)
        return false;
    if (!saidInChannelBy(line, parts->name))
        return false;  // nobody speaks for another player
    QByteArray &holder = m_state.HutSlots[*slot - 1];
    if (exit && holder != parts->name)
        return true;  // not the leaver's place: nothing to free
    if (*slot == 1)
        m_formerHost = exit ? parts->name.toByteArray() : QByteArray();
    holder = exit ? QByteArray() : parts->name.toByteArray();
    if (*slot > HutSlot::Places)
        return false;  // beyond the four places only the table changes
    const QString toolTip = exit ? QString() : WireText::decode(parts->name);
    setPlace(*slot, !exit, &toolTip);
    return true;
}

bool LobbySession::saidInChannelBy(const InboundLine &line, QByteArrayView name) const
{
    return line.irc.isCommand("PRIVMSG") && IrcLine::sameName(line.irc.param(0), m_state.ChannelName)
        && IrcLine::sameName(line.irc.senderNick(), name, RegistrationLines::IrcNickSuffix);
}

bool LobbySession::isHutHost(QByteArrayView name) const
{
    return !name.isEmpty() && (name == m_state.HutSlots[0] || name == m_formerHost);
}

bool LobbySession::HutQueryRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetHutList) && m_state.MyHutSlot > 0)
        announceHutPlace();
    return true;
}

// First step of the departure rule: the panel is rebuilt from the announcements that follow.
void LobbySession::HutClearing()
{
    for (int slot = 1; slot <= HutSlot::Places; ++slot)
        m_view->setPlayer(slot - 1, false);
    for (int slot = 1; slot <= HutSlot::Places; ++slot)
        m_view->setPlayerToolTip(slot - 1, QString());
    for (int i = 0; i < HutSlot::Places; ++i)
        m_state.HutSlots[i].clear();
}

void LobbySession::HutReannouncement()
{
    if (m_state.MyHutSlot > 0)
        announceHutPlace();
}
