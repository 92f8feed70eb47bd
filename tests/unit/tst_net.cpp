// The byte stream cut into CR LF lines however TCP delivers it, lines paced out in order, and
// the addresses a player may type.
#include "net/LineFramer.h"
#include "net/SendThrottle.h"
#include "net/ServerAddress.h"

#include <QTest>

class TestNet : public QObject {
    Q_OBJECT
private slots:
    void framing_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("lines");
        const QByteArray atLimit(LineFramer::MaxLineLength, 'y'), over(LineFramer::MaxLineLength + 1, 'x');
        QTest::newRow("two lines in one read") << QByteArrayList{"a\r\nb\r\n"} << QByteArrayList{"a\r\n", "b\r\n"};
        QTest::newRow("cut between CR and LF") << QByteArrayList{"x\r", "\ny\r\n"} << QByteArrayList{"x\r\n", "y\r\n"};
        QTest::newRow("partial tail waits") << QByteArrayList{"PING :he", "llo\r\nb"} << QByteArrayList{"PING :hello\r\n"};
        QTest::newRow("at the limit kept") << QByteArrayList{atLimit + "\r\n"} << QByteArrayList{atLimit + "\r\n"};
        QTest::newRow("over the limit dropped whole")
            << QByteArrayList{"ok\r\n" + over.left(1000), over.mid(1000), "more\r", "\nnext\r\n"}
            << QByteArrayList{"ok\r\n", "next\r\n"};
    }
    void framing()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, lines);
        // As read, in one read, and one byte at a time.
        const QByteArray all = reads.join();
        QList<QByteArrayList> ways{reads, {all}, {}};
        for (char c : all)
            ways[2].append(QByteArray(1, c));
        for (const QByteArrayList &way : ways) {
            LineFramer framer;
            QByteArrayList got;
            for (const QByteArray &read : way) {
                got += framer.feed(read);
                QVERIFY(framer.pendingSize() <= LineFramer::MaxLineLength + 2);  // memory stays bounded
            }
            QCOMPARE(got, lines);
        }
    }
    // A burst, then a line a second; lines of one kind wait at most once, where the first of them
    // stood; a line queued first takes the place of its kind ahead of all; a close writes only
    // what servers take.
    void queuePolicy()
    {
        enum { Announcement = 1 };
        SendThrottle t;
        for (int i = 0; i < SendThrottle::Burst; ++i)
            t.push("burst\n", 0);
        t.takeReady(0);
        t.push("A1\n", 0, Announcement);
        t.push("typed\n", 0);
        for (int n = 2; n <= 300; ++n)
            t.push("A" + QByteArray::number(n) + "\n", 0, Announcement);
        QVERIFY(t.waiting() == 2 && t.waiting(Announcement) == 1 && !t.takeRoom(2000));  // lines of worth first
        QCOMPARE(t.takeReady(2000), QByteArray("A300\ntyped\n"));
        QVERIFY(!t.takeRoom(2500) && t.takeRoom(3000) && !t.takeRoom(3000));  // then what the bucket has
        for (int i = 0; i < 60; ++i)
            t.push("typed\n", 2000);
        t.push("A\n", 2000, Announcement);
        t.pushFirst("exit\n", 2000, Announcement);
        t.pushFirst("launch\n", 2000);
        int dropped = -1;
        QCOMPARE(t.takeForClose(&dropped), "exit\nlaunch\n" + QByteArray("typed\n").repeated(SendThrottle::CloseAllowance - 2));
        QVERIFY(dropped == 60 - (SendThrottle::CloseAllowance - 2) && t.waiting() == 0);
        for (int i = 0; i < 9; ++i)
            t.push("idle\n", 100000);
        QCOMPARE(t.takeReady(100000), QByteArray("idle\n").repeated(SendThrottle::Burst));  // an idle bucket holds a burst, no more
        t.clear();
        t.push("INVITE Bob #h\r\n", 200000), t.push("line\r\n", 200000), t.push("line\r\n", 200000);
        QCOMPARE(t.takeReady(200000), "INVITE Bob #h\r\nline\r\n");  // it costs what the server charges for it
        QVERIFY(t.takeReady(200999).isEmpty() && t.takeReady(201000) == "line\r\n");
    }
    // Each row: what is typed; what it reads back as (then its host and port), or a word of why it is refused.
    void serverAddress()
    {
        for (const auto &[text, canonical, second] : std::initializer_list<std::array<const char *, 3>>{
                 {"a.example", "a.example", "a.example:6664"}, {"irc://A-1.example:7000", "A-1.example:7000", "A-1.example:7000"},
                 {"IRCS://127.0.0.1:6664", "ircs://127.0.0.1:6664", "127.0.0.1:6664"}, {"ircs://[2001:db8::7]", "ircs://[2001:db8::7]", "[2001:db8::7]:6697"},
                 {"", "", "no server"}, {"a.example:0", "", "1 to 65535"}, {"a.example:65536", "", "65535"}, {"a.example:6a", "", "65535"},
                 {"a example", "", "spaces"}, {"http://a.example", "", "scheme"}, {"ircs://a.example/#x", "", "path"},
                 {"irc://ann:pw@a.example", "", "password"}, {"::1", "", "brackets"}, {"[a]:1", "", "IPv6"}, {":6664", "", "host"}}) {
            QString why;
            const std::optional<ServerAddress> a = ServerAddress::parse(QString::fromUtf8(text), &why);
            QCOMPARE(a ? a->toString() : QString(), canonical);
            QVERIFY2(a ? a->hostAndPort() == second && ServerAddress::parse(a->toString()) == a : why.contains(second), text);
        }
    }
};

QTEST_GUILESS_MAIN(TestNet)
#include "tst_net.moc"
