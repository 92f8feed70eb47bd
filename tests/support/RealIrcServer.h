#pragma once

#include "session/LobbySession.h"

#include <QProcess>
#include <QTemporaryDir>

// A real IRC server on a free loopback port, run from a copy of the lobby's own config in server/
// with this run's ports and paths. As root it runs as nobody (InspIRCd refuses root); it dies with
// the thread that started it. ngircd leaves a penalised client's lines unread: if that client goes
// away meanwhile, the server spins on failed writes, logging each, until the penalty has run out.
class RealIrcServer {
public:
    enum Kind { NgIrcd, InspIRCd };
    struct Options {
        Kind kind = NgIrcd;
        // false lifts the flood limits. Kept, ngircd passes 3 lines a second (a PRIVMSG to k targets
        // costs k - 1 s more); InspIRCd a burst of about 9, then 1 a second.
        bool defaultFlood = true;
        int pingSeconds = 120;  // idle time before the server pings (ngircd: 5 at least)
        // false: the lobbies are made by joining, as on most servers, and their first joiner is
        // their operator.
        bool lobbyChannels = true;
        QString listen = QStringLiteral("127.0.0.1");  // 0.0.0.0: reached from other hosts too
        // TLS on tlsPort() too, for localhost and 127.0.0.1: signed by this run's CA (caFile()), or self-signed.
        enum Tls { NoTls, CaSigned, SelfSigned } tls = NoTls;
    };
    virtual ~RealIrcServer() { stop(); }
    static QString program(Kind kind);
    static bool available(Kind kind) { return !program(kind).isEmpty(); }
    bool start(const Options &options);
    void stop();                      // SIGTERM: the server closes its links and quits
    bool restart() { return stop(), run(); }  // on the same ports, from the same config
    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString caFile() const { return m_dir.filePath("ca.crt"); }
    QString certificateFile() const { return m_dir.filePath("server.crt"); }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    ServerAddress address() const { return {host(), m_port, false}; }
    QString errorString() const { return m_error; }
    QString output() const;  // the server's console so far

protected:
    static QList<quint16> freePorts(int count);
    static QString shipped(const char *name);  // a file of server/
    // What this run adds to the shipped config, in the server's own syntax; the run's port, paths
    // and limits are written after it, so nothing added here or shipped overrides them.
    virtual bool adapt(QString &conf, const Options &) { return !conf.isEmpty(); }
    bool configure(const Options &options);
    bool makeCertificate(Options::Tls tls);
    bool run();
    QTemporaryDir m_dir;
    QProcess m_process;
    Kind m_kind = NgIrcd;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_error;
};
