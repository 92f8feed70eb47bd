#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

class QProcess;
class QTemporaryDir;

// Runs a real IRC server (ngircd or InspIRCd) on a free loopback port for one
// bench run, with a config of its own in a temporary folder. The destructor stops it.
class RealIrcServer {
public:
    enum class Kind { NgIrcd, InspIRCd };

    struct Options {
        Kind kind = Kind::NgIrcd;
        // false lifts flood limits so a bench can burst; true keeps the defaults.
        bool defaultFloodSettings = false;
        QString serverName = QStringLiteral("irc.test.local");
    };

    RealIrcServer();
    ~RealIrcServer();
    RealIrcServer(const RealIrcServer &) = delete;
    RealIrcServer &operator=(const RealIrcServer &) = delete;

    bool start();  // with default Options
    bool start(const Options &options);
    void stop();

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString errorString() const { return m_error; }
    QString output() const;  // the server's console output so far

    static bool available(Kind kind);

    // Two ngircd servers linked into one network: a keeps options.serverName,
    // b is named "peer." + options.serverName. Returns once each sees the other.
    static bool startLinkedPair(RealIrcServer &a, RealIrcServer &b, const Options &options);

private:
    struct Link {
        QString peerName;
        quint16 peerPort = 0;  // 0: wait for the peer to connect
        QString password;
    };

    bool startOnFreePort(const Options &options);
    bool startOnce(quint16 port);
    bool writeConfig(quint16 port);
    bool waitUntilListening();
    bool fail(const QString &what);

    Options m_options;
    std::optional<Link> m_link;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_configPath;
    quint16 m_port = 0;
    QString m_error;
    bool m_exitedEarly = false;
};
