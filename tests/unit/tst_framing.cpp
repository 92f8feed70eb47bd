// How TCP cuts bytes must never lose or merge lines, and how lines are paced out.
#include "net/LineFramer.h"
#include "net/SendThrottle.h"
#include "protocol/IrcLine.h"

#include <QTest>

class TestFraming : public QObject {
    Q_OBJECT
private slots:
    void cutsAnywhere_data();
    void cutsAnywhere();
    void overLongLineIsDroppedWhole();
    void ircLineParts_data();
    void ircLineParts();
    void throttlePacesLinesInOrder();
};

void TestFraming::cutsAnywhere_data()
{
    QTest::addColumn<QByteArrayList>("reads");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("two lines in one read") << QByteArrayList{"a\r\nb\r\n"} << QByteArrayList{"a\r\n", "b\r\n"};
    QTest::newRow("line cut in two") << QByteArrayList{"PRIVMSG #c :hel", "lo\r\n"} << QByteArrayList{"PRIVMSG #c :hello\r\n"};
    QTest::newRow("CR and LF in different reads") << QByteArrayList{"x\r", "\ny\r\n"} << QByteArrayList{"x\r\n", "y\r\n"};
    QTest::newRow("bare LF stays inside a line") << QByteArrayList{"a\nb\r\n"} << QByteArrayList{"a\nb\r\n"};
    QTest::newRow("partial tail waits") << QByteArrayList{"a\r\nb"} << QByteArrayList{"a\r\n"};
    QTest::newRow("one byte at a time")
        << QByteArrayList{"P", "I", "N", "G", " ", ":", "1", "\r", "\n", "Q", "\r", "\n"}
        << QByteArrayList{"PING :1\r\n", "Q\r\n"};
    QTest::newRow("empty line") << QByteArrayList{"\r\n\r\n"} << QByteArrayList{"\r\n", "\r\n"};
}

void TestFraming::cutsAnywhere()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QByteArrayList, lines);
    LineFramer framer;
    QByteArrayList got;
    for (const QByteArray &r : reads)
        got += framer.feed(r);
    QCOMPARE(got, lines);
}

void TestFraming::overLongLineIsDroppedWhole()
{
    LineFramer framer;
    const QByteArray huge(LineFramer::MaxLineLength + 10, 'x');
    QByteArrayList got = framer.feed("ok\r\n" + huge.left(1000));
    for (qsizetype pos = 1000; pos < huge.size(); pos += 4096)
        got += framer.feed(huge.mid(pos, 4096));
    QVERIFY(framer.pendingSize() <= LineFramer::MaxLineLength + 2);  // memory stays bounded
    got += framer.feed("still the long one\r");
    got += framer.feed("\nnext\r\n");
    QCOMPARE(got, (QByteArrayList{"ok\r\n", "next\r\n"}));

    // The longest line kept is exactly at the limit.
    const QByteArray atLimit(LineFramer::MaxLineLength, 'y');
    QCOMPARE(framer.feed(atLimit + "\r\n"), QByteArrayList{atLimit + "\r\n"});
}

void TestFraming::ircLineParts_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArrayList>("params");
    QTest::newRow("ping") << QByteArray("PING :irc.test.local\r\n") << QByteArray("PING") << QByteArrayList{"irc.test.local"};
    QTest::newRow("welcome") << QByteArray(":irc.test.local 001 AnnOnTavNET :Welcome to IRC\r\n")
                             << QByteArray("001") << QByteArrayList{"AnnOnTavNET", "Welcome to IRC"};
    QTest::newRow("tags and extra blanks") << QByteArray("@t=1 :n!u@h  JOIN   #c\r\n") << QByteArray("JOIN") << QByteArrayList{"#c"};
    QTest::newRow("lowercase command") << QByteArray("notice AUTH :hi\r\n") << QByteArray("NOTICE") << QByteArrayList{"AUTH", "hi"};
    QTest::newRow("chat holding server words")
        << QByteArray(":b!u@h PRIVMSG #c :...TAVCHAT bob> NOTICE AUTH 001 PING|||\r\n") << QByteArray("PRIVMSG")
        << QByteArrayList{"#c", "...TAVCHAT bob> NOTICE AUTH 001 PING|||"};
    QTest::newRow("empty") << QByteArray("\r\n") << QByteArray() << QByteArrayList{};
}

void TestFraming::ircLineParts()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, command);
    QFETCH(QByteArrayList, params);
    const IrcLine msg = IrcLine::parse(line);
    QCOMPARE(msg.command, command);
    QCOMPARE(msg.params, params);
}

void TestFraming::throttlePacesLinesInOrder()
{
    SendThrottle t;
    for (int i = 0; i < 8; ++i)
        t.push("L" + QByteArray::number(i) + "\n", 0);
    QCOMPARE(t.takeReady(0), QByteArray("L0\nL1\nL2\nL3\nL4\n"));  // the burst
    QCOMPARE(t.msUntilNext(0), SendThrottle::IntervalMs + 1);
    t.pushFirst("P1\n", 10);
    t.pushFirst("P2\n", 20);  // answers go ahead, in their order
    QCOMPARE(t.takeReady(999), QByteArray());
    QCOMPARE(t.takeReady(1000), QByteArray("P1\n"));
    QCOMPARE(t.takeReady(3000), QByteArray("P2\nL5\n"));
    QVERIFY(t.isWaiting("L6\n") && !t.isWaiting("L5\n"));
    QCOMPARE(t.takeAll(), QByteArray("L6\nL7\n"));  // on close nothing waits
    QCOMPARE(t.msUntilNext(3000), qint64(-1));
    // An idle bucket refills only up to the burst.
    for (int i = 0; i < 9; ++i)
        t.push("M\n", 100000);
    QCOMPARE(t.takeReady(100000).count('M'), SendThrottle::Burst);
}

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
