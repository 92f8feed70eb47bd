#pragma once

#include "net/LobbySocket.h"
#include "protocol/IrcLine.h"
#include "protocol/LobbyCommands.h"
#include "session/ConnectionLife.h"
#include "session/LobbyView.h"
#include "session/SharedState.h"
#include "session/Speakers.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// One received line as the rules see it: its bytes, its IRC parts and where its
// lobby keys stand, each found once. Views into the read: nothing is copied.
struct InboundLine {
    QByteArrayView raw;
    IrcLine irc;
    LobbyCommands::KeyPlaces keys;

    // The payload of a lobby command whose key place the classification already found.
    // Most lines hold no key: they are told so here, without a call.
    LobbyCommands::Field payload(QByteArrayView key, LobbyCommands::KeyPlaces::Key which) const
    {
        return keys.has(which) ? LobbyCommands::payload(raw, key, keys.at(which)) : LobbyCommands::Field::absent();
    }
};

// One visit to one lobby: the connection, the registration, the timers and the
// inbound rule table. Holds no globals, so many sessions can share a process.
class LobbySession : public QObject {
    Q_OBJECT
public:
    struct Server {
        QString host;
        quint16 port = 6664;
    };
    static Server defaultServer();  // fixed when the program is built

    LobbySession(const QByteArray &nickname, const QByteArray &channelName, QObject *parent = nullptr);

    void setView(LobbyView *view) { m_view = view ? view : &m_noView; }
    SharedState &state() { return m_state; }
    const SharedState &state() const { return m_state; }
    LobbySocket &socket() { return m_socket; }

    // Connects; registration goes on when the connection is up.
    void Form_Load(const Server &server = defaultServer());
    // Stops the timers and closes the socket without QUIT, once; finished() follows.
    void Form_Unload();
    const ConnectionLife &life() const { return m_life; }
    QString caption() const;

    void Timer1_Timer();
    void Timer2_Timer();
    void Timer5_Timer();
    void HostExitGrace_Timer();
    void AnswerWindow_Timer();
    void HeldBackNote_Timer();
    void Reconnect_Timer();
    void Player_Click(int Index);
    void QuitButton_Click();
    void Refresh_Click();
    void LaunchButton_Click();
    void Command2_Click();
    // False (and nothing sent or shown) while not connected, so the window keeps the text.
    bool Send_Click(const QString &text);
    // From the user list: this player's chat, room messages, links, hut claims and launches
    // count for nothing here, for the rest of the run.
    void IgnorePlayer(const QByteArray &name, bool ignore);
    // After a KICK or a refused JOIN: asks to join the lobby's channel again.
    void Rejoin_Click();
    bool isIgnored(QByteArrayView name) const { return m_speakers.isIgnored(name); }
    void Socket_DataArrival(const QByteArray &raw, const QList<QByteArrayView> &lines);
    // The same for lines held as arrays of their own.
    void Socket_DataArrival(const QByteArray &raw, const QByteArrayList &lines);
    void DispatchInbound(const InboundLine &line);

    // The inbound rules, applied in the table's order (DispatchInbound.cpp);
    // false ends the handling of the line.
    bool PresenceRule(const InboundLine &line);
    bool GetTavListRule(const InboundLine &line);
    bool TavListRule(const InboundLine &line);
    bool RegistrationStep(const InboundLine &line);
    bool PingStep(const InboundLine &line);
    bool ChannelStateRule(const InboundLine &line);
    bool DepartureRule(const InboundLine &line);
    bool ArrivalRule(const InboundLine &line);
    bool LaunchRule(const InboundLine &line);
    bool TavChatRule(const InboundLine &line);
    bool TavMsgRule(const InboundLine &line);
    bool TavLnkRule(const InboundLine &line);
    bool HutExitOrAnnouncementRule(const InboundLine &line);
    bool HutQueryRule(const InboundLine &line);
    bool TavQuitRule(const InboundLine &line);

    QTimer Timer1;  // status caption and host controls, 1000 ms
    QTimer Timer2;  // single shot: the user list redrawn, ListRedrawMs after it changed
    QTimer Timer5;  // own hut place restore, 2000 ms
    QTimer HostExitGrace;  // single shot: how long a launch still counts after the host's exit
    QTimer AnswerWindow;   // single shot: answers to this client's JOIN or Refresh still racing
    QTimer HeldBackNote;   // single shot: room messages and links held back are told in one note
    QTimer Reconnect;      // single shot: the next try after a lost link
    static constexpr int ExitGraceMs = 10000;
    static constexpr int AnswerWindowMs = 10000;
    static constexpr int HeldBackNoteMs = 5000;

    // Kinds of queued line: the newest of a kind replaces one still waiting.
    enum LineKind : SendThrottle::Kind {
        Typed = SendThrottle::Ordinary,
        PresenceLine,  // this player's TAVLIST
        HutPlaceLine,  // this player's hut announcement or exit
        UserListQuery,
        HutQuery,
        ClassicPresence,  // its TAVLIST again, for clients that empty their lists when somebody quits
        ClassicHut,       // the same for its hut place
    };
    // Nicknames one answer goes to at most, when the server says it takes several a line.
    static constexpr int MostAnswerTargets = 10;
    // A change of the user list shows this soon, several changes in one drawing.
    static constexpr int ListRedrawMs = 500;
    // What an IRC server relays at most, CR LF included.
    static constexpr qsizetype MaxRelayedLine = 512;

    // Silence from the server before a probe, and again before the link counts as lost.
    static constexpr int IdleProbeMs = 60000;

    static inline const QString WelcomeLine =
        QStringLiteral("-=Welcome To TavarineNET IRC, Report any bugs to Quorvel=-");

signals:
    void joined();    // the server reported this player in the channel
    void finished();  // the lobby has closed and the server has everything it was sent: the program ends

private:
    void onSocketState(int state);
    void onSocketClosed();
    void linkLost(ConnectionLife::Loss how);
    // Out of the channel (kicked, refused, link lost): no hut place, no list, and the player told why.
    void leftLobby(const QString &reason, bool canRejoin);
    bool isMe(QByteArrayView ircNickname) const;
    void sendRegistration();
    void JoinStep();
    bool sendLobbyCommand(const QByteArray &line, LineKind kind = Typed) { return m_socket.send(line, kind); }
    void announcePresence();
    void HutReannouncement();
    void announceHutPlace();
    // This player's presence, and its hut place if it has one, to this IRC nickname alone:
    // made when nothing of this player's own waits (answers are worth least), several
    // nicknames to a line where the server takes that at no extra cost.
    void answerPrivately(QByteArrayView ircNickname, bool presence, bool hutPlace);
    QByteArray nextAnswer();
    void readServerFeatures(const IrcLine &msg);
    void reannounceForClassics();
    void listChanged();
    void sendHutExit(int slot, bool first = false);
    void showPlaces();
    void hutChanged(const HutModel::Change &change);
    // Did this player say this line, in the channel, and is he in the channel?
    bool saidInChannelBy(const InboundLine &line, QByteArrayView name) const;
    // The player in the channel who sent this channel line, unless ignored.
    std::optional<QByteArrayView> presentSpeaker(const InboundLine &line) const;
    bool isPresent(QByteArrayView name) const { return m_state.UserListText.contains(name); }
    void playerArrived(QByteArrayView ircNickname);
    void playerLeft(QByteArrayView ircNickname);
    bool allowPopup(Speakers::Popup kind, QByteArrayView name);
    qsizetype chatPieceBytes() const;
    void closeLobby();

    SharedState m_state;
    ConnectionLife m_life;
    LobbySocket m_socket;
    LobbyView m_noView;
    LobbyView *m_view = &m_noView;
    int m_answerTargets = 1;  // nicknames to an answer: what the server says it takes (005)
    qsizetype m_ownPrefixSize = -1;  // "nick!user@host" as the server relays this player's lines
    QByteArray m_ownPrefixHost;  // its host: where the server sees this player
    Speakers m_speakers;
    QElapsedTimer m_clock;
    QByteArrayList m_toldClaims;  // who was told claiming this player's place, once each
    bool m_linkQuestionOpen = false;
    bool m_typedSinceRefusal = false;  // a typed line went out since the server last refused one
    quint64 m_shownUserList = 0;  // UserListText's changes() when the list box last showed it
};
