// Where the program connects (command line, then the player's settings, then the build), and
// what the settings file keeps between runs, whatever state it is found in.
#include "ui/PlayerSettings.h"
#include "ui/StartOptions.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QString file() const { return m_home.filePath("tavarine-lobby/lobby.ini"); }
    QByteArray contents() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "(none)";
    }
private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit()); }
    void commandLine()
    {
        const auto parse = [](const QStringList &args) { return StartOptions::parse(QStringList{"tavarine-lobby"} + args); };
        const StartOptions two = parse({"--server", "ircs://a.example", "--server=[::1]:7000"});
        QVERIFY(two.exitCode == -1 && two.servers.size() == 2 && two.servers[1].toString() == "[::1]:7000");
        const QList<ServerAddress> settings{ServerAddress{"b"}};
        QVERIFY(chooseServers(two.servers, settings) == two.servers && chooseServers({}, settings) == settings);
        QCOMPARE(chooseServers(parse({}).servers, {}), QList{builtInServer()});
        for (const auto &[args, said] : {std::pair{QStringList{"--server", "a:65536"}, "--server \"a:65536\": the port must be"},
                                         {{"--server"}, "Missing value after '--server'"},
                                         {{"a.example"}, "servers are given with --server"}}) {
            const StartOptions bad = parse(args);
            QVERIFY2(bad.exitCode == 2 && bad.output.contains(said) && bad.output.contains("Usage:"), qPrintable(bad.output));
        }
    }
    // A file that cannot be read, or holds no valid values, reads as unset, is told once, and
    // is never written over with anything but what the player changes.
    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");  // "dir": the file's name is a folder
        QTest::newRow("a folder") << QByteArray("dir");
        QTest::newRow("not INI") << QByteArray("[servers\n\xff\xfe\x01=\n");
        QTest::newRow("bad values") << QByteArray("[General]\nlobby=7\n[servers]\n1\\address=http://x\nsize=1\n[pins]\nlocalhost%3A6697=AB\n");
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(content == "dir" ? file() : m_home.filePath("tavarine-lobby"));
        QFile f(file());
        QVERIFY(content == "dir" || (f.open(QIODevice::WriteOnly) && f.write(content) && f.flush()));
        PlayerSettings settings;
        QVERIFY(settings.servers().isEmpty() && settings.lobby() == -1 && settings.pin(ServerAddress{"localhost", 6697}).isEmpty());
        QVERIFY(settings.takeNotice().contains(file()) && settings.takeNotice().isEmpty());
        settings.setLobby(9);  // not a lobby: never written
        settings.setNickname("Ann");
        QCOMPARE(settings.nickname(), "Ann");
        if (content.startsWith("[General]"))  // kept as the player left them, beside the change
            QVERIFY(contents().contains("lobby=7\nnickname=Ann\n") && contents().contains("address=http://x") && contents().contains("=AB\n"));
        else
            QCOMPARE(contents(), content == "dir" ? "(none)" : content);
    }
    // What the player chose comes back next run.
    void kept()
    {
        QDir(m_home.path()).removeRecursively();
        const QList<ServerAddress> servers{*ServerAddress::parse(u"ircs://[::1]:7000"), ServerAddress{"b.example"}};
        const QByteArray pin = QByteArray(32, '\xab').toHex(':');
        PlayerSettings().setServers(servers);
        PlayerSettings().setLobby(4);
        PlayerSettings().setPin(servers[0], pin);
        PlayerSettings settings;
        QVERIFY(settings.takeNotice().isEmpty() && settings.servers() == servers && settings.lobby() == 4);
        QVERIFY(settings.pin(servers[0]) == pin.toUpper() && settings.pin(servers[1]).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStart)
#include "tst_start.moc"
