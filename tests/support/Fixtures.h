#pragma once

// Fixtures: a scripted fake server, a recording view and a stand-in launcher for headless
// sessions; a real IRC server and a plain IRC client for the end-to-end story.
#include "session/LobbySession.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <unistd.h>

inline bool arrives(const QByteArray &in, const QByteArray &bytes, int ms = 20000)
{
    return QTest::qWaitFor([&] { return in.contains(bytes); }, ms);
}

// A fake IRC server on a free loopback port: the test writes every byte its latest client
// gets, and reads every byte that client sent.
struct ScriptedServer : QTcpServer {
    QByteArray received;
    QPointer<QTcpSocket> client;

    ScriptedServer()
    {
        listen(QHostAddress::LocalHost, 0);
        QObject::connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *c = client = nextPendingConnection();
            QObject::connect(c, &QTcpSocket::readyRead, c, [this, c] { received += c->readAll(); });
        });
    }
    LobbySession::Server address() const { return {QStringLiteral("127.0.0.1"), serverPort()}; }
    bool waitFor(const QByteArray &bytes) { return arrives(received, bytes); }
    bool clientGone() { return QTest::qWaitFor([&] { return client->state() == QTcpSocket::UnconnectedState; }); }
};

// A LobbyView that remembers what the session showed, for headless sessions.
struct RecordingView : LobbyView {
    QString caption, refusal, roomMessage, outOfLobby;  // outOfLobby: the reason shown, while out
    QStringList chat, userListRows, linksAsked, browsed, launchProblems, hutMessages;
    bool joinedLook = false, hostControls = false, closed = false, answerLinks = false, canRejoin = false;
    int inHutMessages = 0;
    std::array<Place, 4> places{};

    bool taken(int i) const { return places.at(i).kind != Place::Free; }

    void setCaption(const QString &c) override { caption = c; }
    void showRegistrationRefused(const QString &reason) override { refusal = reason; }
    void showJoined() override
    {
        joinedLook = true;
        outOfLobby.clear();
    }
    void showOutOfLobby(const QString &reason, bool rejoin) override
    {
        outOfLobby = reason;
        canRejoin = rejoin;
    }
    void replaceChat(const QString &line) override { chat = QStringList{line}; }
    void appendChat(const QString &line) override { chat.append(line); }
    void setHostControlsVisible(bool visible) override { hostControls = visible; }
    void setUserListRows(const QList<UserRow> &rows) override
    {
        userListRows.clear();
        for (const UserRow &row : rows)
            userListRows.append(row.ignored ? row.shown + " (ignored)" : row.shown);
    }
    void showRoomMessage(const QString &text) override { roomMessage = text; }
    void showPlace(int i, const Place &place) override { places.at(i) = place; }
    void showInHutMessage() override { ++inHutMessages; }
    void showHutMessage(const QString &text) override { hutMessages.append(text); }
    void closeLobby() override { closed = true; }
    void askOpenLink(const QString &, const QString &address, std::function<void(bool)> answer) override
    {
        linksAsked.append(address);
        answer(answerLinks);
    }
    void openInBrowser(const QString &address) override { browsed.append(address); }
    void showLaunchProblem(const QString &text) override { launchProblems.append(text); }
};

// Stand-ins for gxexec.exe and xdg-open first on PATH while it lives, and an empty data folder
// (no game folder); every start appends the program's name and arguments to a file.
class StandInLauncher {
public:
    StandInLauncher()
    {
        for (const char *program : {"gxexec.exe", "xdg-open"})
            write(program, "#!/bin/sh\nprintf '%s\\n' \"" + QByteArray(program) + " $*\" >> '" + m_dir.filePath("starts").toUtf8() + "'\n");
        qputenv("PATH", m_dir.path().toUtf8() + ':' + m_path);
        qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
    }
    ~StandInLauncher() { qputenv("PATH", m_path); }
    void hide() { qputenv("PATH", m_path); }  // no launcher anywhere on PATH
    void breakIt() { write("gxexec.exe", "#!/nonexistent/interpreter\n"); }  // found, but it cannot start
    QStringList starts() const
    {
        QFile file(m_dir.filePath("starts"));
        return QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "").split(u'\n', Qt::SkipEmptyParts);
    }
    bool waitFor(int count) const { return QTest::qWaitFor([&] { return starts().size() >= count; }, 20000); }

private:
    void write(const char *program, const QByteArray &script)
    {
        QFile file(m_dir.filePath(program));
        file.open(QIODevice::WriteOnly);
        file.write(script);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray m_path = qgetenv("PATH");
    QTemporaryDir m_dir;
};

// A real IRC server on a free loopback port with a config of its own, for one test.
// As root it runs as nobody (InspIRCd refuses root) and dies with the test.
class RealIrcServer {
public:
    enum Kind { NgIrcd, InspIRCd };
    static QString program(Kind k) { return QStandardPaths::findExecutable(k ? "inspircd" : "ngircd", {"/usr/sbin"}); }
    ~RealIrcServer() { kill(); }

    // pingSeconds: idle time before a PING (ngircd takes 5 at least); flood limits stay the server's own.
    bool start(Kind kind, int pingSeconds = 120)
    {
        QTcpServer probe;  // the kernel picks a free port, released again for the server
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        const QString dir = m_dir.path(), conf = dir + "/server.conf";
        QFile file(conf), motd(dir + "/motd.txt");
        if (!QFile::setPermissions(dir, QFile::Permissions(0x7777)) || !QDir(dir).mkdir("conf.d")
            || !file.open(QIODevice::WriteOnly) || !motd.open(QIODevice::WriteOnly))
            return false;
        file.write(QString(kind == NgIrcd
            ? "[Global]\nName = irc.test.local\nInfo = test\nListen = 127.0.0.1\nPorts = %1\nMotdPhrase = \"test\"\n"
              "PidFile = %2/ngircd.pid\n[Limits]\nMaxNickLength = 31\nPingTimeout = %3\nPongTimeout = %3\n"
              "MaxConnectionsIP = 0\nMaxJoins = 0\n[Options]\nDNS = no\nIdent = no\nPAM = no\nIncludeDir = %2/conf.d\n"
            : "<server name=\"irc.test.local\" description=\"test\" network=\"TestNet\">\n"
              "<admin name=\"test\" nick=\"test\" email=\"test@localhost\">\n"
              "<bind address=\"127.0.0.1\" port=\"%1\" type=\"clients\">\n<pid file=\"%2/inspircd.pid\">\n"
              "<connect allow=\"*\" timeout=\"20\" pingfreq=\"%3\" resolvehostnames=\"no\" useident=\"no\""
              " localmax=\"100\" globalmax=\"100\" maxconnwarn=\"off\">\n"
              "<limits maxnick=\"31\" maxident=\"30\">\n<files motd=\"%2/motd.txt\">\n<dns timeout=\"1\">\n")
                       .arg(m_port).arg(dir).arg(pingSeconds).toUtf8());
        file.close();
        QStringList args{program(kind)};
        args += kind == NgIrcd ? QStringList{"-n", "-f", conf} : QStringList{"--config", conf, "--nofork", "--nolog"};
        if (::geteuid() == 0)
            args = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--pdeathsig=KILL"} + args;
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);  // its messages appear with the test's
        m_process.start(args.takeFirst(), args);
        return QTest::qWaitFor([this] {  // up once the port takes a connection
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            return m_process.state() == QProcess::NotRunning || s.waitForConnected(200);
        }, 15000) && m_process.state() == QProcess::Running;
    }

    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    LobbySession::Server address() const { return {QStringLiteral("127.0.0.1"), m_port}; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// Somebody else's IRC client: raw lines both ways, answering PING, none of the lobby's rules.
struct PlainIrcClient : QTcpSocket {
    QByteArray received;
    qsizetype parsed = 0;

    bool enter(quint16 port, const QByteArray &nick)
    {
        QObject::connect(this, &QTcpSocket::readyRead, this, [this] {
            received += readAll();
            for (qsizetype end; (end = received.indexOf("\r\n", parsed)) >= 0; parsed = end + 2)
                if (received.mid(parsed, 5) == "PING ")
                    write("PONG " + received.mid(parsed + 5, end - parsed - 5) + "\r\n");
        });
        connectToHost(QHostAddress::LocalHost, port);
        write("NICK " + nick + "\r\nUSER " + nick + " 0 * :plain client\r\n");
        if (!arrives(received, " 001 "))
            return false;
        write("JOIN #TavarineNET_3\r\n");
        return arrives(received, " JOIN ");
    }
};
