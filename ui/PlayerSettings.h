#pragma once

#include "net/ServerAddress.h"

#include <QList>
#include <QSettings>
#include <memory>

// What the program remembers for the player between runs, in an INI file under the XDG config
// folder ($XDG_CONFIG_HOME/tavarine-lobby/lobby.ini): the servers to try, in order; the last
// nickname and lobby; the certificates the player trusts per server. A value that is not valid
// reads as unset; a file that cannot be read reads as empty and is never written over. Only
// what the player changes is written, and only when valid.
class PlayerSettings {
public:
    PlayerSettings();
    ~PlayerSettings();

    QString fileName() const;
    // What went wrong reading the file, for the player; given out once, then empty.
    QString takeNotice() { return std::exchange(m_notice, QString()); }

    QList<ServerAddress> servers() const { return m_servers; }  // empty: none chosen
    void setServers(const QList<ServerAddress> &servers);
    QString nickname() const { return m_nickname; }
    void setNickname(const QString &nickname);
    int lobby() const { return m_lobby; }  // 0 to 4 as in the channel's name; -1: none yet
    void setLobby(int lobby);
    // The SHA-256 of the certificate the player trusts for this server (host and port), or empty.
    QByteArray pin(const ServerAddress &server) const;
    void setPin(const ServerAddress &server, const QByteArray &fingerprint);
    // Upper case hex with colons, or empty when this is not a SHA-256 fingerprint.
    static QByteArray normalFingerprint(QByteArrayView fingerprint);

private:
    void write(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_file;
    bool m_writable = true;
    QString m_notice;
    QList<ServerAddress> m_servers;
    QString m_nickname;
    int m_lobby = -1;
    QHash<QString, QByteArray> m_pins;
};
