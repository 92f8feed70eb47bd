#pragma once

#include "core/LobbySocket.h"
#include "core/LobbyView.h"
#include "core/SharedState.h"

#include <QObject>
#include <QTimer>

struct IrcLine;

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
    // Stops the timers and closes the socket without QUIT.
    void Form_Unload();

    void Timer1_Timer();
    void Timer2_Timer();
    void Timer5_Timer();
    void Player_Click(int Index);
    void QuitButton_Click();
    void Refresh_Click();
    void LaunchButton_Click();
    void Command2_Click();
    // False (and nothing sent or shown) while not connected, so the window keeps the text.
    bool Send_Click(const QString &text);
    void Socket_DataArrival(const QByteArray &raw, const QByteArrayList &lines);
    void DispatchInbound(const QByteArray &line, const IrcLine &msg);

    QTimer Timer1;  // status caption and host controls, 1000 ms
    QTimer Timer2;  // user list rebuild, 5000 ms
    QTimer Timer5;  // own hut place restore, 2000 ms

    static QString captionFor(int socketState, const SharedState &state);
    static inline const QString WelcomeLine =
        QStringLiteral("-=Welcome To TavarineNET IRC, Report any bugs to Quorvel=-");

signals:
    void joined();  // the join step ran
    void lobbyClosed();  // a launch closed the lobby: the program ends

private:
    void onSocketState(int state);
    void sendRegistration();
    void HandleLine(const QByteArray &line);

    // The inbound rules in table order; false ends the handling of the line.
    bool GetTavListRule(const QByteArray &line);
    bool TavListRule(const QByteArray &line);
    bool RegistrationStep(const IrcLine &msg);
    bool PingStep(const IrcLine &msg);
    bool DepartureRule(const IrcLine &msg);
    bool ArrivalRule(const IrcLine &msg);
    bool LaunchRule(const QByteArray &line);
    bool TavChatRule(const QByteArray &line);
    bool TavMsgRule(const QByteArray &line);
    bool TavLnkRule(const QByteArray &line);
    bool HutExitOrAnnouncementRule(const QByteArray &line);
    bool HutQueryRule(const QByteArray &line);
    bool TavQuitRule(const QByteArray &line);
    void JoinStep();
    bool sendLobbyCommand(const QByteArray &line) { return m_socket.send(line); }
    void announcePresence();
    void HutClearing();
    void HutReannouncement();
    void openLink(const QString &address);
    void announceHutPlace();
    void sendHutExit();
    void setPlace(int slot, bool taken, const QString *toolTip);
    void closeLobby();

    SharedState m_state;
    LobbySocket m_socket;
    LobbyView m_noView;
    LobbyView *m_view = &m_noView;
};
