// The host's launch, and every member starting the game when the launch line arrives.
// Whether the game can start here is asked before anybody is told anything.
#include "session/HutModel.h"

#include "launch/CommandLines.h"
#include "launch/GameLauncher.h"
#include "launch/HostAddress.h"
#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

void HutModel::LaunchButton_Click()
{
    if (!isHost() || !is(m_holders[0], m_self))
        return;
    if (!m_speakers.maySpeak()) {  // the members would never start
        m_out.view().showLaunchProblem(Moderated + QStringLiteral("nobody would start the game."));
        return;
    }
    const GameLauncher::Plan game = GameLauncher::find();
    if (!game.ready()) {  // nothing sent: the hut, the lobby and the connection stay as they were
        m_out.view().showLaunchProblem(game.missing);
        return;
    }
    // The exit and the launch go ahead of anything waiting: the close after them
    // writes only what the server takes at once.
    sendHutExit(leave(), true);
    showPlaces();
    const QByteArray localIP = m_out.localIP();
    m_out.send(LobbyCommands::tavHut1Launch(m_channel, m_self, localIP), Typed, true);
    QString error;
    const bool started = GameLauncher::start(game, CommandLines::host(WireText::decode(m_self), QString::fromLatin1(localIP)), &error);
    if (!started)  // slot 0 now, and never in place of the real exit still waiting: the user stays outside the hut
        m_out.send(LobbyCommands::tavHut1Exit(m_channel, m_self, 0));
    partHut();  // behind the launch: the hut channel is free for the next host
    if (!started) {
        m_out.view().showLaunchProblem(QStringLiteral("The members were told to start, but the game could not be started here: ") + error);
        return;
    }
    m_out.view().showLoginForm();
    m_out.closeLobby();
}

// Only the host this member chose, speaking in the channel as himself, sends the hut
// away: while he holds place 1, or right after his own exit.
bool HutModel::LaunchRule(const InboundLine &line, qint64 nowMs)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavHut1Launch))
        return true;
    if (m_mine < 1)
        return false;  // not in the hut: the rest of the line is not looked at
    const LobbyCommands::Field field = line.payload(LobbyCommands::TavHut1LaunchKey, LobbyCommands::KeyPlaces::TavHut1Launch);
    const auto parts = field.status == LobbyCommands::Field::Found
        ? LobbyCommands::splitNameAndValue(field.value) : std::nullopt;
    if (!parts || !m_speakers.said(line, parts->name) || !launchCounts(parts->name, nowMs))
        return false;
    // Even the host's address is only ever used as a plain IPv4 address.
    const QString hostAddress = WireText::decode(parts->value);
    if (!CommandLines::isDottedIPv4(hostAddress))
        return false;
    // The member leaves the hut whatever happens next: it either follows the host or says why not.
    sendHutExit(leave(), true);
    partHut();
    showPlaces();
    QString error;
    // Behind a router the line's address is a private one: the server's view of both players tells where to dial.
    const QString dialed = HostAddress::dial(hostAddress, line.irc.senderHost(), m_ownHost);
    const QString game = CommandLines::joiner(dialed, WireText::decode(m_self), QString::fromLatin1(m_out.localIP()));
    if (!GameLauncher::start(GameLauncher::find(), game, &error)) {
        m_out.view().showLaunchProblem(QStringLiteral("the host started the game, but it could not be started here: ") + error);
        return false;  // stays in the lobby, connected
    }
    m_out.view().showLoginForm();
    m_out.closeLobby();
    return false;
}
