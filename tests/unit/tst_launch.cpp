// The checks on addresses that come from the channel, the host address a member dials, and finding the launcher: on PATH, or the
// Windows game folder run through wine. The command lines are checked where the game starts.
#include "launch/CommandLines.h"
#include "launch/GameLauncher.h"
#include "launch/HostAddress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A file of its own: a shell script that records how it was started, or a Windows program's first bytes.
void writeFile(const QString &path, const QByteArray &text, bool executable)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner : QFile::ReadOwner | QFile::WriteOwner);
}
}  // namespace

class TestLaunch : public QObject {
    Q_OBJECT
private slots:
    void addresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("link");  // offered as a link
        QTest::addColumn<bool>("host");  // used as a host address
        QTest::newRow("http") << "http://example.test/p?x=1&y=2" << true << false;
        QTest::newRow("https") << "https://example.test/" << true << false;
        QTest::newRow("IPv4") << "10.1.2.3" << false << true;
        QTest::newRow("IPv4 top") << "255.255.255.255" << false << true;
        for (const char *hostile : {"127.0.0.256", "127.0.0", "127.0.0.1.", "1..2.3", "127.0.0.1 ; rm -rf ~",
                                    "http://x/ ; rm -rf ~", "file:///etc/passwd", "-x", "http://x/\"a", "http://x/'a",
                                    "http://x/\ra", "http://x/\ta", "http://a\ab", "HTTP://x/", "$(id)", "",
                                    "http://evil.test/\u202egnp.exe", "http://pay\u0440al.test/", "http://x/%E2%80%AE",
                                    "http://x/%0a", "http://x/%zz", "http://good.test@evil.test/", "http://"})
            QTest::newRow(hostile) << QString::fromUtf8(hostile) << false << false;
    }
    void addresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, link);
        QFETCH(bool, host);
        QCOMPARE(CommandLines::isSafeLink(address), link);
        QCOMPARE(CommandLines::isDottedIPv4(address), host);
    }
    // The host at 192.168.1.10 behind 203.0.113.5; members in its home or behind 198.51.100.9.
    void hostAddress()
    {
        for (const auto &[line, sender, own, dialed] :
             {std::tuple{"198.51.100.7", "203.0.113.5", "198.51.100.9", "198.51.100.7"}, {"192.168.1.10", "203.0.113.5", "198.51.100.9", "203.0.113.5"},
              {"192.168.1.10", "203.0.113.5", "203.0.113.5", "192.168.1.10"}, {"192.168.1.10", "203.0.113.5", "", "203.0.113.5"}})
            QVERIFY2(HostAddress::dial(line, sender, own) == dialed, own);
        for (const char *line : {"10.0.0.1", "172.16.0.1", "172.31.255.255", "100.64.0.1", "100.127.255.255", "169.254.1.1", "127.0.0.1", "0.0.0.0"})
            QVERIFY2(HostAddress::dial(line, "203.0.113.5", "198.51.100.9") == "203.0.113.5", line);  // not public
        for (const char *line : {"172.15.255.255", "172.32.0.1", "100.63.255.255", "100.128.0.1", "11.0.0.1", "192.169.0.1"})
            QVERIFY2(HostAddress::dial(line, "203.0.113.5", "198.51.100.9") == line, line);  // public
        for (const char *sender : {"10.1.1.1", "2001:db8::1", "host.example", "203.0.113", "224.0.0.1", ""})
            QVERIFY2(HostAddress::dial("192.168.1.10", sender, "198.51.100.9") == "192.168.1.10", sender);  // nothing better known
    }
    // The host is told only when the server sees it at a public address other than its own private one.
    void hostNotice()
    {
        QCOMPARE(HostAddress::hostNotice("192.168.1.10", "203.0.113.5").value_or(""),
                 "Players outside your network will reach your game at 203.0.113.5 only if your router forwards the game's port to 192.168.1.10.");
        for (const auto &[local, seen] : {std::pair{"203.0.113.5", "203.0.113.5"}, {"192.168.1.10", "192.168.1.10"},
                                          {"192.168.1.10", "host.example"}, {"", "203.0.113.5"}})
            QVERIFY2(!HostAddress::hostNotice(local, seen), seen);
    }
    // The host a link opens, as the bar shows it, and the rest beside it.
    void linkParts()
    {
        const QList<std::array<QString, 3>> table{
            {"http://bob-mirror.example/join/123", "bob-mirror.example", "/join/123"},
            {"https://Lobby.TEST:8443/a?b=1#c", "lobby.test:8443", "/a?b=1#c"},
            {"http://a.test", "a.test", ""},
            {"http://good.test.evil.test/good.test/", "good.test.evil.test", "/good.test/"},
            {"http://good.test%2F@evil.test/", "evil.test", "/"},  // a user part hides nothing
            {"http://xn--pypal-4ve.test/", "xn--pypal-4ve.test", "/"},  // no look-alike letters
            {"http://[::1]:81/x", "[::1]:81", "/x"},
            {"no address", "", "no address"},
        };
        for (const auto &[address, host, rest] : table) {
            const CommandLines::LinkParts parts = CommandLines::splitLink(address);
            QCOMPARE((QStringList{parts.host, parts.rest}), (QStringList{host, rest}));
        }
    }
    // What runs, or what the player is told is missing, for each thing this machine may have.
    void plan_data()
    {
        QTest::addColumn<int>("onPath");  // 0 nothing, 1 a native program, 2 a Windows program, 3 one the system runs
        QTest::addColumn<int>("folder");  // 0 empty, 1 the launcher only, 2 both files
        QTest::addColumn<bool>("wine");
        QTest::addColumn<QString>("runs");  // program and leading arguments, or what the message names
        const QString f = "/home/p/.local/share/tavarine-lobby/game";
        QTest::newRow("native on PATH") << 1 << 2 << true << "/bin/gxexec.exe";
        QTest::newRow("Windows on PATH") << 2 << 0 << true << "/bin/wine /bin/gxexec.exe";
        QTest::newRow("Windows on PATH, run directly") << 3 << 0 << false << "/bin/gxexec.exe";
        QTest::newRow("Windows on PATH, no wine") << 2 << 2 << false << "missing: wine";
        QTest::newRow("game folder") << 0 << 2 << true << "/bin/wine " + f + "/gxexec.exe in " + f;
        QTest::newRow("game folder, no wine") << 0 << 2 << false << "missing: wine";
        QTest::newRow("game folder without the game") << 0 << 1 << true << "missing: " + f;
        QTest::newRow("nothing") << 0 << 0 << true << "missing: " + f;
    }
    void plan()
    {
        QFETCH(int, onPath);
        QFETCH(int, folder);
        QFETCH(bool, wine);
        QFETCH(QString, runs);
        GameLauncher::Machine m;
        m.launcherOnPath = onPath ? "/bin/gxexec.exe" : "";
        m.launcherOnPathIsWindows = onPath >= 2;
        m.windowsRunsDirectly = onPath == 3;
        m.folder = "/home/p/.local/share/tavarine-lobby/game";
        m.folderHasLauncher = folder >= 1;
        m.folderHasGame = folder == 2;
        m.wine = wine ? "/bin/wine" : "";
        const GameLauncher::Plan p = GameLauncher::plan(m);
        if (runs.startsWith("missing: ")) {
            QVERIFY2(!p.ready() && p.missing.contains(runs.mid(9)), qPrintable(p.missing));
            return;
        }
        QVERIFY(p.ready());
        QCOMPARE((QStringList{p.program} + p.leadingArguments).join(u' ') + (p.workingFolder.isEmpty() ? "" : " in " + p.workingFolder), runs);
    }
    // The game folder under XDG_DATA_HOME, run by the wine found on PATH, from the game folder.
    void startsThroughWine()
    {
        QTemporaryDir data, bin;
        const QString folder = data.path() + "/tavarine-lobby/game";
        QVERIFY(QDir().mkpath(folder));
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        qputenv("PATH", bin.path().toUtf8());
        QString error;
        writeFile(folder + "/gxexec.exe", "MZ\x90", false);
        writeFile(folder + "/tav3.exe", "MZ\x90", false);
        writeFile(bin.path() + "/wine", "#!/bin/sh\necho \"$PWD: wine $*\" > " + bin.filePath("started").toUtf8() + "\n", true);
        QVERIFY(GameLauncher::start(GameLauncher::find(), "gxexec.exe tav3.exe /h tcp /nAnn /boundip 1.2.3.4", &error));
        QFile started(bin.filePath("started"));
        QTRY_VERIFY(started.size() > 0);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), (folder + ": wine " + folder + "/gxexec.exe tav3.exe /h tcp /nAnn /boundip 1.2.3.4\n").toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
