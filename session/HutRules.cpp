// The hut: taking, leaving and refreshing places, and the lines members broadcast.
// A place belongs to its holder: another player's announcement does not take it
// while the holder is in the channel.
#include "session/LobbySession.h"

#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

// Shows slot 1 to 4 as taken or free; the tooltip changes only when given.
void LobbySession::setPlace(int slot, bool taken, const QString *toolTip)
{
    m_view->setPlayer(slot - 1, taken);
    if (toolTip)
        m_view->setPlayerToolTip(slot - 1, *toolTip);
}

void LobbySession::freePlace(int slot)
{
    m_state.HutSlots[slot - 1].clear();
    const QString none;
    if (slot <= HutSlot::Places)
        setPlace(slot, false, &none);
}

void LobbySession::announceHutPlace()
{
    sendLobbyCommand(LobbyCommands::tavHut1(m_state.ChannelName, m_state.Nickname, m_state.MyHutSlot), HutPlaceLine);
}

// An exit replaces an announcement still waiting; at a launch it goes ahead of everything.
void LobbySession::sendHutExit(bool first)
{
    const QByteArray exit = LobbyCommands::tavHut1Exit(m_state.ChannelName, m_state.Nickname, m_state.MyHutSlot);
    first ? m_socket.sendFirst(exit, HutPlaceLine) : m_socket.send(exit, HutPlaceLine);
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
    freePlace(m_state.MyHutSlot);
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
    sendLobbyCommand(LobbyCommands::getHutList(m_state.ChannelName), HutQuery);
    m_view->appendChat(QStringLiteral(" -=Refreshing Hut #1=-"));
}

// Every two seconds the own place comes back, after a refresh cleared the picture.
void LobbySession::Timer5_Timer()
{
    if (m_state.MyHutSlot <= 0 || !m_socket.isConnected())
        return;
    setPlace(m_state.MyHutSlot, true, nullptr);
    m_state.HutSlots[m_state.MyHutSlot - 1] = m_state.Nickname;
}

void LobbySession::HostExitGrace_Timer()
{
    m_hutHost.exitGraceOver();
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
    if (!exit)
        return takePlace(parts->name, *slot) && *slot <= HutSlot::Places;
    // The host's exit counts even while a refresh shows the place free: its launch follows.
    if (*slot == 1 && m_hutHost.sawExit(parts->name))
        HostExitGrace.start();
    if (m_state.HutSlots[*slot - 1] != parts->name)
        return true;  // not the leaver's place: nothing to free
    freePlace(*slot);
    return *slot <= HutSlot::Places;  // beyond the four places only the table changes
}

bool LobbySession::takePlace(QByteArrayView name, int slot)
{
    const QByteArray &holder = m_state.HutSlots[slot - 1];
    if (holder == name && slot != m_state.MyHutSlot)
        return true;  // a re-announcement: nothing changes
    const bool heldByOther = slot == m_state.MyHutSlot
        || (holder != name && !holder.isEmpty() && isPresent(holder))
        || (slot == 1 && m_hutHost.holdsPlace() && !m_hutHost.is(name));
    if (heldByOther || !isPresent(name))
        return false;
    for (int other = 1; other <= HutSlot::TableSize; ++other) {  // one place a player
        if (other == slot || m_state.HutSlots[other - 1] != name)
            continue;
        if (other == 1 && m_hutHost.is(name))
            m_hutHost.forget();  // moved out of the host's place
        freePlace(other);
    }
    m_state.HutSlots[slot - 1] = name.toByteArray();
    if (slot == 1)
        m_hutHost.sawHolding(name);
    if (slot <= HutSlot::Places) {
        const QString toolTip = WireText::decode(name);
        setPlace(slot, true, &toolTip);
    }
    return true;
}

bool LobbySession::HutQueryRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetHutList) && m_state.MyHutSlot > 0)
        announceHutPlace();
    return true;
}

void LobbySession::HutReannouncement()
{
    if (m_state.MyHutSlot > 0)
        announceHutPlace();
}
