#pragma once

#include "net/LobbySocket.h"
#include "protocol/ServerInfo.h"
#include "session/ConnectionLife.h"
#include "session/HutModel.h"
#include "session/InboundLine.h"
#include "session/LobbyClock.h"
#include "session/LobbyControls.h"
#include "session/LobbyMembers.h"
#include "session/LobbyView.h"
#include "session/Outbox.h"
#include "session/Speakers.h"
#include "session/TrafficLog.h"

#include <QObject>
#include <QTimer>

// One visit to one lobby: the wiring of the connection, the inbound rule table and the
// models that own each concern (who is present, who may speak, the hut, the connection's
// life). Holds no globals, so many sessions can share a process.
class LobbySession : public QObject, public LobbyControls, public LobbyStatus, private Outbox {
    Q_OBJECT
public:
    LobbySession(const QByteArray &nickname, const QByteArray &channelName, QObject *parent = nullptr);
    ~LobbySession() override;

    // Where the rules' changes show; none: nothing is shown.
    void setView(LobbyView *view) { m_view = view ? view : &m_noView; }
    // The certificate fingerprint this player trusts for a server, beyond the system's CAs.
    using PinLookup = std::function<QByteArray(const ServerAddress &)>;
    // Connects to the first server that answers; registration goes on when the connection is up.
    void Form_Load(const QList<ServerAddress> &servers, PinLookup pins = {});
    void Form_Load(const ServerAddress &server) { Form_Load(QList<ServerAddress>{server}); }

    // LobbyControls
    void Player_Click(int Index) override;
    void QuitButton_Click() override;
    void Refresh_Click() override;
    void LaunchButton_Click() override;
    void Command2_Click() override;
    bool Send_Click(const QString &text) override;
    void IgnorePlayer(const QByteArray &name, bool ignore) override;
    void Rejoin_Click() override;
    void closeLobby() override;

    // LobbyStatus
    QString caption() const override { return m_life.caption(); }
    bool isIgnored(QByteArrayView name) const override { return m_speakers.isIgnored(name); }
    const TrafficLog &inboundLog() const override { return m_inboundLog; }
    const TrafficLog &outboundLog() const override { return m_life.log(); }

    // Silence from the server before a probe, and again before the link counts as lost.
    static constexpr int IdleProbeMs = 60000;
    // Nicknames one answer goes to at most, when the server says it takes several a line.
    static constexpr int MostAnswerTargets = 10;

signals:
    void joined();    // the server reported this player in the channel
    void finished();  // the lobby has closed and the server has everything it was sent: the program ends

private:
    friend struct InboundRules;  // the table (DispatchInbound.cpp)
    friend struct SessionProbe;  // tests reach the parts through it

    // Outbox: what the models may do outward.
    bool connected() const override { return m_socket.isConnected(); }
    bool send(const QByteArray &line, LineKind kind, bool first) override;
    void drop(LineKind kind) override { m_socket.drop(kind); }
    void answersOwed() override { m_socket.drainQueue(); }
    QByteArray localIP() const override { return m_socket.localIP(); }
    LobbyView &view() override { return *m_view; }
    bool viewed() const override { return m_view != &m_noView; }

    void Socket_DataArrival(const QByteArray &raw, const std::vector<QByteArrayView> &lines);
    void onSocketState(int state);
    void connectNow();
    void onTlsRefused(const QString &reason, const QByteArray &fingerprint, const QByteArray &pinned);
    void leftLobby(const QString &reason, bool canRejoin);
    bool ServerFeatures(const InboundLine &line);
    // Stops the timers and closes the socket without QUIT, once; finished() follows.
    void Form_Unload();
    // The models' next deadline, on the one timer.
    void rearm();
    void wake();
    QByteArray nextAnswer();

    LobbyView m_noView;
    LobbyView *m_view = &m_noView;
    PinLookup m_pins = [](const ServerAddress &) { return QByteArray(); };
    LobbyClock m_clock;
    QTimer m_wake;  // single shot: the earliest deadline of any model
    ServerInfo m_server;
    LobbySocket m_socket;
    TrafficLog m_inboundLog;
    LobbyMembers m_members;
    Speakers m_speakers;
    HutModel m_hut;
    ConnectionLife m_life;
};
