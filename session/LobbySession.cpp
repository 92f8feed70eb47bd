#include "session/LobbySession.h"

#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <QPointer>

#include <algorithm>

namespace {
// The server never answered this try, as opposed to a link that was up and broke.
bool failedToReach(LobbySocket::Failure failure)
{
    return failure != LobbySocket::Failure::None && failure != LobbySocket::Failure::Lost;
}

QString failureText(LobbySocket::Failure failure)
{
    switch (failure) {
    case LobbySocket::Failure::Refused: return QStringLiteral("refused");
    case LobbySocket::Failure::TimedOut: return QStringLiteral("no answer");
    case LobbySocket::Failure::NotResolved: return QStringLiteral("no such host");
    case LobbySocket::Failure::Unreachable: return QStringLiteral("unreachable");
    case LobbySocket::Failure::TlsRefused: return QStringLiteral("its certificate was refused");
    default: return QStringLiteral("lost");
    }
}
}  // namespace

LobbySession::LobbySession(const QByteArray &nickname, const QByteArray &channelName, QObject *parent)
    : QObject(parent),
      m_members(m_server, *this, nickname, channelName),
      m_speakers(m_server, m_members, *this, nickname, channelName),
      m_hut(m_server, m_members, m_speakers, *this, nickname, channelName),
      m_life(m_server, *this, nickname, channelName)
{
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, &LobbySession::wake);
    m_members.setRowMark([this](LobbyView::UserRow &row) {
        row.ignored = m_speakers.isIgnored(row.name);
        row.ignoreFollowedRename = row.ignored && m_speakers.ignoreFollowedRename(row.name);
    });
    m_members.setOnReannounce([this] { m_hut.reannounceForClassics(); });

    m_socket.setIdleProbe(IdleProbeMs, RegistrationLines::ping("tavarine-alive"));
    m_socket.setBackground([this] { return m_hut.owesAnswer() || m_members.owesAnswer(); }, [this] { return nextAnswer(); });
    connect(&m_socket, &LobbySocket::stateChanged, this, &LobbySession::onSocketState);
    connect(&m_socket, &LobbySocket::closed, this, [this] {
        m_life.finished();
        emit finished();
    });
    connect(&m_socket, &LobbySocket::dataArrival, this, &LobbySession::Socket_DataArrival);
    connect(&m_socket, &LobbySocket::tlsRefused, this, &LobbySession::onTlsRefused);

    connect(&m_life, &ConnectionLife::stageChanged, this, [this] { m_view->setCaption(caption()); });
    // Queued: asked for from within the socket's own reports (a trusted certificate, a timer).
    connect(&m_life, &ConnectionLife::reconnectNow, this, &LobbySession::connectNow, Qt::QueuedConnection);
    connect(&m_life, &ConnectionLife::abortNow, &m_socket, &LobbySocket::abort);
    connect(&m_life, &ConnectionLife::leftLobby, this, &LobbySession::leftLobby);
    connect(&m_life, &ConnectionLife::joinedLobby, this, &LobbySession::joined);
}

LobbySession::~LobbySession()
{
    m_life.disconnect(this);  // a close at destruction tells nobody
}

void LobbySession::Form_Load(const QList<ServerAddress> &servers, PinLookup pins)
{
    if (pins)
        m_pins = std::move(pins);
    m_life.setServers(servers);
    connectNow();
}

void LobbySession::connectNow()
{
    const ServerAddress &server = m_life.server();
    m_socket.setServer(server);
    m_socket.setPinnedFingerprint(m_pins(server));
    m_life.note("Connecting to " + server.toString().toUtf8() + (server.tls ? " over TLS\r\n" : "\r\n"));
    m_view->showServer(server.toString() + (server.tls ? QStringLiteral(" (TLS)") : QString()));
    m_socket.connectToServer();
}

// Never plain text instead: the player is told why, may trust this one certificate by its
// fingerprint, and meanwhile the next server in the list is tried.
void LobbySession::onTlsRefused(const QString &reason, const QByteArray &fingerprint, const QByteArray &pinned)
{
    const ServerAddress server = m_life.server();
    QPointer<LobbySession> self(this);
    m_view->askTrust(server.toString(), reason, fingerprint, pinned, [self, server](bool trust) {
        if (self && trust)
            self->m_life.retry(server);
    });
}

// Runs once, however the lobby ends (its window closed, a launch): the timers stop, the last
// lines go out, and the session has finished once the server has closed its side.
void LobbySession::Form_Unload()
{
    m_life.closing();
    m_wake.stop();
    if (const int dropped = m_socket.close())
        m_life.note("Dropped " + QByteArray::number(dropped) + " waiting lines at close\r\n");
}

void LobbySession::closeLobby()
{
    if (m_life.ending())
        return;
    Form_Unload();
    m_view->closeLobby();
}

bool LobbySession::send(const QByteArray &line, LineKind kind, bool first)
{
    return first ? m_socket.sendFirst(line, kind) : m_socket.send(line, kind);
}

void LobbySession::onSocketState(int state)
{
    m_life.socketState(state);
    // The connect wait ends here: registration starts once connected; a failure (or a close
    // before connecting) sends nothing.
    if (state == LobbySocket::Connected) {
        m_life.connected();
    } else if (state == LobbySocket::Error && failedToReach(m_socket.lastFailure())
               && m_life.failOver(failureText(m_socket.lastFailure()))) {
        // The next server in the list, once the socket is out of its own error report.
        QMetaObject::invokeMethod(this, &LobbySession::connectNow, Qt::QueuedConnection);
    } else if (state == LobbySocket::Closing || state == LobbySocket::Error) {
        m_life.socketLost(state == LobbySocket::Closing ? ConnectionLife::Loss::ClosedByServer : ConnectionLife::Loss::Error,
                          m_clock.now());
    }
    rearm();
}

// Out of the channel: no place in the hut (the others freed it when they saw this player go),
// nobody listed, and the player told why in the chat box and on the Connection panel.
void LobbySession::leftLobby(const QString &reason, bool canRejoin)
{
    m_hut.reset();
    m_members.reset();
    m_speakers.reset(m_clock.now());
    m_view->appendChat(QStringLiteral(" -=") + reason + QStringLiteral("=-"));
    m_view->showOutOfLobby(reason, canRejoin);
    m_view->setCaption(caption());
    rearm();
}

// What the server says of itself: how it folds names, how many targets a line may have.
bool LobbySession::ServerFeatures(const InboundLine &line)
{
    if (!line.irc.isCommand("005"))
        return true;
    const ServerInfo::CaseMapping was = m_server.caseMapping();
    m_server.read005(line.irc);
    if (m_server.caseMapping() != was) {
        m_members.refold();
        m_speakers.refold();
    }
    return true;
}

QByteArray LobbySession::nextAnswer()
{
    // ngircd says no target count and holds a line to k targets k - 1 seconds: one it is there.
    const int targets = std::clamp(m_server.maxTargets("PRIVMSG"), 1, MostAnswerTargets);
    // The hut first, to whoever already knows this player: a newcomer has nobody else to learn it
    // from. Who is still owed a TAVLIST as well gets that first, ahead of the older answers.
    const QByteArray hut = m_hut.nextAnswer(targets);
    if (!hut.isEmpty())
        return hut;
    if (!m_hut.owesAnswer())
        return m_members.nextAnswer(targets);
    return m_members.nextAnswer(targets, [this](const QByteArray &to) { return m_hut.owesAnswer(to); });
}

void LobbySession::rearm()
{
    qint64 next = -1;
    for (qint64 due : {m_members.nextDue(), m_speakers.nextDue(), m_hut.nextDue(), m_life.nextDue()})
        if (due >= 0 && (next < 0 || due < next))
            next = due;
    if (next < 0 || m_life.ending()) {
        m_wake.stop();
        return;
    }
    m_wake.start(int(std::clamp<qint64>(next - m_clock.now(), 0, 24 * 3600 * 1000)));
}

void LobbySession::wake()
{
    const qint64 now = m_clock.now();
    m_members.due(now);
    m_speakers.due(now);
    m_hut.due(now);
    m_life.due(now);
    rearm();
}

// The player's actions: each goes to the model it concerns; deadlines may have moved.
void LobbySession::Player_Click(int Index)
{
    m_hut.Player_Click(Index, m_life.inLobby(), m_clock.now());
}

void LobbySession::QuitButton_Click()
{
    m_hut.QuitButton_Click();
}

void LobbySession::Refresh_Click()
{
    m_hut.Refresh_Click(m_clock.now());
    rearm();
}

void LobbySession::LaunchButton_Click()
{
    m_hut.LaunchButton_Click();
}

void LobbySession::Command2_Click()
{
    m_members.Command2_Click(m_life.inLobby());
}

bool LobbySession::Send_Click(const QString &text)
{
    return m_speakers.Send_Click(text, m_life.inLobby());
}

void LobbySession::IgnorePlayer(const QByteArray &name, bool ignore)
{
    if (name.isEmpty() || ignore == m_speakers.isIgnored(name))
        return;
    m_speakers.ignore(name, ignore);
    if (ignore)  // his claims count no more; a member whose host he is leaves the hut
        m_hut.ignored(name);
    m_members.redrawNow();  // his row says so at once
}

void LobbySession::Rejoin_Click()
{
    m_life.Rejoin_Click();
}
