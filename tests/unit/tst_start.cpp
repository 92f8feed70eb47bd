// Where the program connects, as the command line, the player's settings file and the build say;
// and what the file keeps between runs, whatever state it is found in.
#include "ui/PlayerSettings.h"
#include "ui/StartOptions.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QString file() const { return m_home.filePath("tavarine-lobby/lobby.ini"); }
    void put(const QByteArray &content)
    {
        QDir(m_home.path()).mkpath("tavarine-lobby");
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    QByteArray contents() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }
private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit()); }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");  // a part of the output, or the servers given
        QTest::newRow("none") << QStringList{} << -1 << "";
        QTest::newRow("in order") << QStringList{"--server", "ircs://a.example", "--server=[::1]:7000"} << -1 << "ircs://a.example [::1]:7000";
        QTest::newRow("bad port") << QStringList{"--server", "a.example:65536"} << 2 << "--server \"a.example:65536\": the port must be";
        QTest::newRow("no address") << QStringList{"--server"} << 2 << "Missing value after '--server'";
        QTest::newRow("stray word") << QStringList{"a.example"} << 2 << "servers are given with --server";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "lobby.ini";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const StartOptions options = StartOptions::parse(QStringList{"tavarine-lobby"} + arguments);
        QCOMPARE(options.exitCode, exitCode);
        QStringList given;
        for (const ServerAddress &a : options.servers)
            given += a.toString();
        QVERIFY2(exitCode < 0 ? given.join(' ') == said : options.output.contains(said), qPrintable(options.output));
        QVERIFY(exitCode != 2 || options.output.contains("Usage:"));
    }
    // The built-in server only when nothing else is set.
    void precedence()
    {
        const QList<ServerAddress> line{ServerAddress{"a"}}, settings{ServerAddress{"b"}};
        QCOMPARE(chooseServers(line, settings), line);
        QCOMPARE(chooseServers({}, settings), settings);
        QCOMPARE(chooseServers({}, {}), QList{builtInServer()});
    }
    // A file that cannot be read, or holds no valid values, reads as unset, is told once, and
    // is never written over with anything but what the player changes.
    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");  // "dir": the file's name is a folder
        QTest::addColumn<bool>("writable");
        QTest::newRow("a folder") << QByteArray("dir") << false;
        QTest::newRow("not INI") << QByteArray("[servers\n\xff\xfe\x01=\n") << false;
        QTest::newRow("bad values") << QByteArray("[General]\nlobby=7\n[servers]\n1\\address=http://x\nsize=1\n[pins]\nlocalhost%3A6697=AB\n") << true;
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, writable);
        QDir(m_home.path()).removeRecursively();
        content == "dir" ? void(QDir().mkpath(file())) : put(content);
        PlayerSettings settings;
        QVERIFY(settings.servers().isEmpty() && settings.lobby() == -1 && settings.nickname().isEmpty());
        QVERIFY(settings.pin(*ServerAddress::parse(u"ircs://localhost")).isEmpty());
        QVERIFY(settings.takeNotice().contains(file()) && settings.takeNotice().isEmpty());
        settings.setLobby(9);  // not a lobby: never written
        settings.setNickname("Ann");
        QCOMPARE(settings.nickname(), "Ann");
        if (!writable)
            QCOMPARE(contents(), content == "dir" ? QByteArray("(none)") : content);
        else
            QVERIFY(contents().contains("lobby=7") && contents().contains("http://x") && contents().contains("nickname=Ann"));
    }
    // What the player chose comes back next run.
    void kept()
    {
        QDir(m_home.path()).removeRecursively();
        const QList<ServerAddress> servers{*ServerAddress::parse(u"ircs://[::1]:7000"), ServerAddress{"b.example"}};
        const QByteArray pin = QByteArray(32, '\xab').toHex(':');
        {
            PlayerSettings settings;
            QVERIFY(settings.takeNotice().isEmpty());
            settings.setServers(servers);
            settings.setLobby(4);
            settings.setPin(servers[0], pin);
        }
        PlayerSettings settings;
        QVERIFY(settings.takeNotice().isEmpty());
        QVERIFY(settings.servers() == servers && settings.lobby() == 4 && settings.pin(servers[0]) == pin.toUpper());
        QVERIFY(settings.pin(servers[1]).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStart)
#include "tst_start.moc"
