#include "session/LobbySession.h"

#include "protocol/WireText.h"
#include "protocol/RegistrationLines.h"

#ifndef TAV_SERVER_HOST
#define TAV_SERVER_HOST "localhost"
#endif

LobbySession::Server LobbySession::defaultServer()
{
    return {QStringLiteral(TAV_SERVER_HOST), 6664};
}

LobbySession::LobbySession(const QByteArray &nickname, const QByteArray &channelName, QObject *parent)
    : QObject(parent), m_speakers(channelName, RegistrationLines::ircNickname(nickname))
{
    m_state.Nickname = nickname;
    m_state.ChannelName = channelName;
    m_state.Hut = HutModel(nickname);
    Timer1.setInterval(1000);
    Timer2.setInterval(5000);
    Timer5.setInterval(2000);
    for (auto [timer, ms] : {std::pair{&HostExitGrace, ExitGraceMs}, {&AnswerWindow, AnswerWindowMs}, {&HeldBackNote, HeldBackNoteMs}}) {
        timer->setInterval(ms);
        timer->setSingleShot(true);
    }
    connect(&Timer1, &QTimer::timeout, this, &LobbySession::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &LobbySession::Timer2_Timer);
    connect(&Timer5, &QTimer::timeout, this, &LobbySession::Timer5_Timer);
    connect(&HostExitGrace, &QTimer::timeout, this, &LobbySession::HostExitGrace_Timer);
    connect(&AnswerWindow, &QTimer::timeout, this, &LobbySession::AnswerWindow_Timer);
    connect(&HeldBackNote, &QTimer::timeout, this, &LobbySession::HeldBackNote_Timer);
    m_clock.start();
    m_socket.setIdleProbe(IdleProbeMs, RegistrationLines::ping("tavarine-alive"));
    connect(&m_socket, &LobbySocket::stateChanged, this, &LobbySession::onSocketState);
    connect(&m_socket, &LobbySocket::dataArrival, this,
            qOverload<const QByteArray &, const QList<QByteArrayView> &>(&LobbySession::Socket_DataArrival));
}

void LobbySession::Form_Load(const Server &server)
{
    Timer1.start();
    Timer2.start();
    Timer5.start();
    m_socket.setRemotePort(server.port);
    m_socket.setRemoteHost(server.host);
    m_socket.connectToServer();
}

void LobbySession::Form_Unload()
{
    Timer1.stop();
    Timer2.stop();
    Timer5.stop();
    for (QTimer *timer : {&HostExitGrace, &AnswerWindow, &HeldBackNote})
        timer->stop();
    closeSocket();
}

void LobbySession::closeSocket()
{
    if (const int dropped = m_socket.close())
        m_state.OutboundLog += "Dropped " + QByteArray::number(dropped) + " waiting lines at close\r\n";
}

void LobbySession::onSocketState(int state)
{
    // The connect wait ends here: registration starts on the first connect only;
    // a failure (or a close before connecting) sends nothing.
    if (state == LobbySocket::Connected) {
        sendRegistration();
        m_state.OutboundLog += "Sent Nickname and User Details\r\n";
    }
}

void LobbySession::sendRegistration()
{
    m_socket.send(RegistrationLines::nick(m_state.Nickname));
    m_socket.send(RegistrationLines::user(m_state.Nickname, m_socket.localIP()));
}

QString LobbySession::captionFor(int socketState, const SharedState &state)
{
    switch (socketState) {
    case LobbySocket::Connecting:
        return QStringLiteral("Tavarine IRC Client, Connecting");
    case LobbySocket::Connected:
        return QStringLiteral("Tavarine IRC Client, Connected, Logged in As: ")
            + WireText::decode(state.Nickname) + QStringLiteral(" in Lobby: ")
            + WireText::decode(state.ChannelName.right(1));
    case LobbySocket::Error:
        return QStringLiteral("Tavarine IRC Client, Dis-Connected");
    case LobbySocket::Closing:
        return QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)");
    default:
        return QStringLiteral("Tavarine IRC Client, Not Connected");
    }
}

void LobbySession::Timer1_Timer()
{
    m_view->setCaption(captionFor(m_socket.state(), m_state));
    m_view->setHostControlsVisible(m_state.Hut.isHost());
}

void LobbySession::JoinStep()
{
    m_socket.send(RegistrationLines::join(m_state.ChannelName));
    m_socket.send(RegistrationLines::mode(m_state.ChannelName));
    m_state.OutboundLog += "Joining channel\r\n";
    m_view->showJoined();
    m_view->replaceChat(WelcomeLine);
    emit joined();
}

void LobbySession::Rejoin_Click()
{
    if (m_socket.isConnected())
        m_socket.send(RegistrationLines::join(m_state.ChannelName));
}
