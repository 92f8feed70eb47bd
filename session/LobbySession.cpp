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
    Timer2.setInterval(ListRedrawMs);
    Timer2.setSingleShot(true);
    Timer5.setInterval(2000);
    for (auto [timer, ms] : {std::pair{&HostExitGrace, ExitGraceMs}, {&AnswerWindow, AnswerWindowMs},
                             {&HeldBackNote, HeldBackNoteMs}, {&Reconnect, 0}}) {
        timer->setInterval(ms);
        timer->setSingleShot(true);
    }
    connect(&Timer1, &QTimer::timeout, this, &LobbySession::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &LobbySession::Timer2_Timer);
    connect(&Timer5, &QTimer::timeout, this, &LobbySession::Timer5_Timer);
    connect(&HostExitGrace, &QTimer::timeout, this, &LobbySession::HostExitGrace_Timer);
    connect(&AnswerWindow, &QTimer::timeout, this, &LobbySession::AnswerWindow_Timer);
    connect(&HeldBackNote, &QTimer::timeout, this, &LobbySession::HeldBackNote_Timer);
    connect(&Reconnect, &QTimer::timeout, this, &LobbySession::Reconnect_Timer);
    m_clock.start();
    m_socket.setIdleProbe(IdleProbeMs, RegistrationLines::ping("tavarine-alive"));
    connect(&m_socket, &LobbySocket::stateChanged, this, &LobbySession::onSocketState);
    connect(&m_socket, &LobbySocket::closed, this, &LobbySession::onSocketClosed);
    m_socket.setBackground([this] { return m_state.UserListText.owesAnswer(); }, [this] { return nextAnswer(); });
    connect(&m_socket, &LobbySocket::dataArrival, this,
            qOverload<const QByteArray &, const QList<QByteArrayView> &>(&LobbySession::Socket_DataArrival));
}

void LobbySession::Form_Load(const Server &server)
{
    Timer1.start();
    Timer5.start();
    m_socket.setRemotePort(server.port);
    m_socket.setRemoteHost(server.host);
    m_socket.connectToServer();
}

// Runs once, however the lobby ends (its window closed, a launch): the timers stop, the last
// lines go out, and the session has finished once the server has closed its side.
void LobbySession::Form_Unload()
{
    if (m_life.ending())
        return;
    m_life.closing();
    for (QTimer *timer : {&Timer1, &Timer2, &Timer5, &HostExitGrace, &AnswerWindow, &HeldBackNote, &Reconnect})
        timer->stop();
    if (const int dropped = m_socket.close())
        m_state.OutboundLog += "Dropped " + QByteArray::number(dropped) + " waiting lines at close\r\n";
}

void LobbySession::onSocketClosed()
{
    m_life.finished();
    emit finished();
}

void LobbySession::onSocketState(int state)
{
    // The connect wait ends here: registration starts once connected; a failure (or a close
    // before connecting) sends nothing.
    if (state == LobbySocket::Connected) {
        m_life.connected();
        sendRegistration();
        m_state.OutboundLog += "Sent Nickname and User Details\r\n";
    } else if (state == LobbySocket::Closing || state == LobbySocket::Error) {
        linkLost(state == LobbySocket::Closing ? ConnectionLife::Loss::ClosedByServer : ConnectionLife::Loss::Error);
    }
}

void LobbySession::sendRegistration()
{
    m_socket.send(RegistrationLines::nick(m_state.Nickname));
    m_socket.send(RegistrationLines::user(m_state.Nickname, m_socket.localIP()));
}

QString LobbySession::caption() const
{
    return m_life.caption(m_socket.state(), WireText::decode(m_state.Nickname), WireText::decode(m_state.ChannelName.right(1)));
}

void LobbySession::Timer1_Timer()
{
    m_view->setCaption(caption());
    m_view->setHostControlsVisible(m_state.Hut.isHost());
}

void LobbySession::JoinStep()
{
    m_life.welcomed();
    m_socket.send(RegistrationLines::join(m_state.ChannelName));
    m_socket.send(RegistrationLines::mode(m_state.ChannelName));
    m_state.OutboundLog += "Joining channel\r\n";
}

void LobbySession::Rejoin_Click()
{
    if (!m_socket.isConnected() || m_life.inLobby() || m_life.ending())
        return;
    m_life.welcomed();
    m_socket.send(RegistrationLines::join(m_state.ChannelName));
}
