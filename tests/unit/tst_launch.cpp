// The launcher's command lines byte for byte, the checks on addresses that come from the
// channel, and a launcher that is not there.
#include "launch/CommandLines.h"
#include "launch/ProgramStarter.h"

#include <QTemporaryDir>
#include <QTest>

class TestLaunch : public QObject {
    Q_OBJECT
private slots:
    void commandLines()
    {
        QCOMPARE(CommandLines::link("http://a.test/"), QStringLiteral("gxexec.exe iexplore.exe http://a.test/"));
        QCOMPARE(CommandLines::host("Ann", "1.2.3.4"), QStringLiteral("gxexec.exe tav3.exe /h tcp /nAnn /boundip 1.2.3.4"));
        QCOMPARE(CommandLines::joiner("1.2.3.4", "Bob", "5.6.7.8"),
                 "gxexec.exe tav3.exe /j tcp 1.2.3.4 /nBob /boundip 5.6.7.8");
    }
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
                                    "http://x/\ra", "http://x/\ta", "http://a\ab", "HTTP://x/", "$(id)", ""})
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
    void launcherMissing()
    {
        QTemporaryDir empty;  // the only folder on PATH
        qputenv("PATH", empty.path().toUtf8());
        QVERIFY(!ProgramStarter::start("gxexec.exe tav3.exe /h tcp", ProgramStarter::WindowStyle::NormalFocus));
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
