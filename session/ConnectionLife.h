#pragma once

#include <QString>

// The life of the lobby's connection, from the first connect to the end of the session:
// where the player stands (in the lobby or not, and why), when to try again, and what the
// caption says. Knows no socket: the session tells it what happened and asks what to do.
class ConnectionLife {
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
    // How the link was lost, for the caption.
    enum class Loss { None, Error, ClosedByServer };

    static constexpr int FirstWaitMs = 2000;
    static constexpr int LongestWaitMs = 60000;
    // A nickname still held by the old connection after a reconnect is asked for again this often.
    static constexpr int NicknameRetries = 6;

    Stage stage() const { return m_stage; }
    bool inLobby() const { return m_stage == Stage::Joined; }
    bool ending() const { return m_stage == Stage::Closing || m_stage == Stage::Finished; }
    // Ever been in: a lost link is then tried again.
    bool wasUp() const { return m_wasUp; }
    const QString &reason() const { return m_reason; }

    void connected();
    void welcomed();
    // True when this JOIN brings the player back: after a lost link, a kick or a refusal.
    bool joined();
    void kicked(const QString &reason);
    void refused(const QString &reason);
    // The link is gone. Returns how long to wait before trying again (a draw of random01
    // in [0, 1) spreads the players of a restarted server over time), or -1: not again.
    int lost(Loss how, double random01);
    // The server says the nickname is taken. True: try again later (the old session of
    // this player has not timed out yet), with the wait lost() gives; false: tell the player.
    bool nicknameTaken();
    void closing();
    void finished() { m_stage = Stage::Finished; }

    // The caption: TCP state as the socket reports it (6 connecting, 7 connected, ...).
    QString caption(int socketState, const QString &nickname, const QString &lobby) const;

private:
    Stage m_stage = Stage::Connecting;
    Loss m_loss = Loss::None;
    QString m_reason;
    bool m_wasUp = false;
    bool m_everJoined = false;
    bool m_lostSinceJoin = false;
    int m_attempt = 0;
    int m_nicknameRetries = 0;
};
