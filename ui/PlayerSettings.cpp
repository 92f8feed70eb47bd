#include "ui/PlayerSettings.h"

#include <QFileInfo>

PlayerSettings::PlayerSettings()
    : m_file(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tavarine-lobby"),
                                         QStringLiteral("lobby")))
{
    // QSettings reads a directory or an unreadable file as empty, and would write over it.
    const QFileInfo file(fileName());
    if (m_file->status() != QSettings::NoError || (file.exists() && (!file.isFile() || !file.isReadable()))) {
        m_writable = false;
        m_notice = QStringLiteral("The settings file %1 could not be read: the built-in settings are used, and "
                                  "nothing is saved to it until it is mended or removed.").arg(fileName());
        return;
    }
    QStringList passedOver;
    const int count = m_file->beginReadArray(QStringLiteral("servers"));
    for (int i = 0; i < count; ++i) {
        m_file->setArrayIndex(i);
        const QString text = m_file->value(QStringLiteral("address")).toString();
        if (const auto address = ServerAddress::parse(text))
            m_servers += *address;
        else
            passedOver += QStringLiteral("server \"%1\"").arg(text);
    }
    m_file->endArray();
    m_nickname = m_file->value(QStringLiteral("nickname")).toString();
    bool number = false;
    const int lobby = m_file->value(QStringLiteral("lobby")).toInt(&number);
    if (number && lobby >= 0 && lobby <= 4)
        m_lobby = lobby;
    else if (m_file->contains(QStringLiteral("lobby")))
        passedOver += QStringLiteral("lobby \"%1\"").arg(m_file->value(QStringLiteral("lobby")).toString());
    m_file->beginGroup(QStringLiteral("pins"));
    for (const QString &server : m_file->childKeys()) {
        const QByteArray pin = normalFingerprint(m_file->value(server).toByteArray());
        if (ServerAddress::parse(server) && !pin.isEmpty())
            m_pins.insert(server, pin);
        else
            passedOver += QStringLiteral("pin for \"%1\"").arg(server);
    }
    m_file->endGroup();
    if (!passedOver.isEmpty())
        m_notice = QStringLiteral("The settings file %1 holds values that are not valid, passed over: %2.")
                       .arg(fileName(), passedOver.join(QStringLiteral(", ")));
}

PlayerSettings::~PlayerSettings() = default;

QString PlayerSettings::fileName() const
{
    return m_file->fileName();
}

void PlayerSettings::write(const QString &key, const QVariant &value)
{
    if (!m_writable)
        return;
    m_file->setValue(key, value);
    m_file->sync();
}

void PlayerSettings::setServers(const QList<ServerAddress> &servers)
{
    if (servers == m_servers)
        return;
    m_servers = servers;
    if (!m_writable)
        return;
    m_file->remove(QStringLiteral("servers"));
    m_file->beginWriteArray(QStringLiteral("servers"), int(servers.size()));
    for (int i = 0; i < servers.size(); ++i) {
        m_file->setArrayIndex(i);
        m_file->setValue(QStringLiteral("address"), servers[i].toString());
    }
    m_file->endArray();
    m_file->sync();
}

void PlayerSettings::setNickname(const QString &nickname)
{
    if (nickname != m_nickname && !nickname.isEmpty())
        write(QStringLiteral("nickname"), m_nickname = nickname);
}

void PlayerSettings::setLobby(int lobby)
{
    if (lobby != m_lobby && lobby >= 0 && lobby <= 4)
        write(QStringLiteral("lobby"), m_lobby = lobby);
}

QByteArray PlayerSettings::pin(const ServerAddress &server) const
{
    return m_pins.value(server.hostAndPort());
}

void PlayerSettings::setPin(const ServerAddress &server, const QByteArray &fingerprint)
{
    const QByteArray pin = normalFingerprint(fingerprint);
    if (pin.isEmpty() || pin == m_pins.value(server.hostAndPort()))
        return;
    m_pins.insert(server.hostAndPort(), pin);
    write(QStringLiteral("pins/") + server.hostAndPort(), QString::fromLatin1(pin));
}

QByteArray PlayerSettings::normalFingerprint(QByteArrayView fingerprint)
{
    const QByteArray hex = fingerprint.toByteArray().replace(':', "").toUpper();
    const bool valid = hex.size() == 64 && std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); });
    return valid ? QByteArray::fromHex(hex).toHex(':').toUpper() : QByteArray();
}
