#pragma once

#include "net/ServerAddress.h"
#include "protocol/ServerInfo.h"
#include "session/InboundLine.h"
#include "session/Outbox.h"
#include "session/TrafficLog.h"

#include <QObject>
#include <QString>

// The life of the lobby's connection, from the first connect to the end of the session:
// registering, the channel's door (in, kicked, refused), the server's last word, where the
// player stands and why, when to try again, and what the caption says. Time is passed in;
// the session does what it asks through its signals.
class ConnectionLife : public QObject {
    Q_OBJECT
public:
    enum class Stage {
        Connecting,    // the first connect, before the link was ever up
        Registering,   // TCP up, NICK and USER sent
        Joining,       // welcomed, JOIN sent
        Joined,        // the server reported this player's JOIN
        Kicked,        // an operator put the player out of the channel
        Refused,       // the server refused the JOIN, or the nickname
        Reconnecting,  // the link was lost: waiting, or trying again
        Closing,       // the program closes: last lines out, waiting for the server
        Finished,
    };
    Q_ENUM(Stage)
    // How the link was lost, for the caption.
    enum class Loss { None, Error, ClosedByServer };

    static constexpr int FirstWaitMs = 2000;
    static constexpr int LongestWaitMs = 60000;
    // A nickname still held by the old connection after a reconnect is asked for again this often.
    static constexpr int NicknameRetries = 6;

    static inline const QString WelcomeLine =
        QStringLiteral("-=Welcome To TavarineNET IRC, Report any bugs to Quorvel=-");

    ConnectionLife(const ServerInfo &server, Outbox &out, QByteArray nickname, QByteArray channel);

    Stage stage() const { return m_stage; }
    bool inLobby() const { return m_stage == Stage::Joined; }
    bool ending() const { return m_stage == Stage::Closing || m_stage == Stage::Finished; }
    // Ever been in: a lost link is then tried again.
    bool wasUp() const { return m_wasUp; }
    const QString &reason() const { return m_reason; }
    const QByteArray &channel() const { return m_channel; }
    // The caption, from the stage and the socket's state number (6 connecting, 7 connected, ...).
    QString caption() const;
    // Registration progress, and lines dropped at a close: the log window shows it.
    const TrafficLog &log() const { return m_log; }
    void note(QByteArrayView text) { m_log += text; }

    // Where to connect: tried in turn until one answers; a lost link comes back to the one
    // that worked, then goes on down the list.
    void setServers(const QList<ServerAddress> &servers);
    const ServerAddress &server() const { return m_servers[m_current]; }
    // This server could not be reached (why: in words). True: the next one is tried now;
    // false: every one failed since the last that worked, and the player is told.
    bool failOver(const QString &why);
    // The player chose to trust this server's certificate: it is tried again now.
    void retry(const ServerAddress &server);

    // The table: what happened to the link...
    void socketState(int state);
    // The link is up: NICK and USER go out.
    void connected();
    // The socket closed or failed: the player is told, and the link is tried again later.
    void socketLost(Loss how, qint64 nowMs);
    void welcomed();
    // True when this JOIN brings the player back: after a lost link, a kick or a refusal.
    bool joined();
    void kicked(const QString &reason);
    void refused(const QString &reason);
    // The link is gone. Returns how long to wait before trying again (a draw of random01
    // in [0, 1) spreads the players of a restarted server over time), or -1: not again.
    int lost(Loss how, double random01, qint64 nowMs);
    // The server says the nickname is taken. True: try again later (the old session of
    // this player has not timed out yet), with the wait lost() gives; false: tell the player.
    bool nicknameTaken();
    void closing();
    void finished();

    // Timing: the next try after a lost link.
    qint64 nextDue() const { return m_reconnectDue; }
    void due(qint64 nowMs);

    // After a KICK or a refused JOIN: asks to join the lobby's channel again.
    void Rejoin_Click();

    // Rules (the session's table points here); false ends the handling of the line.
    bool RegistrationStep(const InboundLine &line, qint64 nowMs);
    bool PingStep(const InboundLine &line);
    bool ChannelStateRule(const InboundLine &line);

signals:
    void stageChanged(ConnectionLife::Stage stage);
    // Asks the session to act on the link.
    void reconnectNow();  // to server()
    void abortNow();           // let go at once: the server holds the nickname
    // Out of the channel (kicked, refused, link lost): no hut place, no list, and the player told why.
    void leftLobby(const QString &reason, bool canRejoin);
    void joinedLobby();

private:
    void setStage(Stage stage);
    bool isMe(QByteArrayView ircNickname) const { return m_server.sameName(ircNickname, m_ircNickname); }
    void joinChannel();
    void sendRegistration();
    // The nickname is taken after a reconnect: in under a stand-in, WHOIS tells whose it is.
    void askWhoHolds();
    void heldBy(QByteArrayView host, qint64 nowMs);

    const ServerInfo &m_server;
    Outbox &m_out;
    QByteArray m_nickname;
    QByteArray m_ircNickname;  // as the server knows this player: asked about on every line of theirs
    QByteArray m_channel;
    Stage m_stage = Stage::Connecting;
    int m_socketState = 0;
    Loss m_loss = Loss::None;
    QString m_reason;
    bool m_wasUp = false;
    bool m_everJoined = false;
    bool m_lostSinceJoin = false;
    int m_attempt = 0;
    int m_nicknameRetries = 0;
    qint64 m_reconnectDue = -1;
    TrafficLog m_log;
    QList<ServerAddress> m_servers{ServerAddress{}};
    qsizetype m_current = 0;
    qsizetype m_working = 0;  // the last that answered: a lost link goes back there first
    QStringList m_failures;  // since the last server that answered
    QByteArray m_ownHost;    // where the server saw this player, from its own JOIN
    QByteArray m_standIn;    // registering under it, only to ask who holds the nickname
    QByteArray m_holderHost;
};
