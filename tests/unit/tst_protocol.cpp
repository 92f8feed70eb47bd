// Typed text kept in its line; cutting fields out of received lines; hut slot numbers and
// nicknames.
#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/Nickname.h"

#include <QTest>
#include <climits>

using namespace LobbyCommands;

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // Typed text never becomes a line break or an IRC command of its own. The other composed lines
    // are checked on the wire by the session and end-to-end tests.
    void typedTextStaysInItsLine()
    {
        QCOMPARE(tavChat("#c", "Ann", QByteArray("a\r\nQUIT :x\0b", 13)), QByteArray("PRIVMSG #c :...TAVCHAT Ann> aQUIT :xb|||\r\n"));
    }
    void fields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("key");  // TAVLIST and TAVQUIT have cuts of their own
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("value");
        const int found = Field::Found, failed = Field::Failed;
        const QByteArray chat = TavChatKey, msg = TavMsgKey, list = "TAVLIST", quit = "TAVQUIT";
        auto row = [](const char *name, const char *line, const QByteArray &key, int status, const char *value = "") {
            QTest::newRow(name) << QByteArray(line) << key << status << QByteArray(value);
        };
        row("chat", ":b PRIVMSG #c :...TAVCHAT b> hi|||\r\n", chat, found, "b> hi");
        row("||| inside", "...TAVCHAT b> a|||b|||\r\n", chat, found, "b> a|||b");
        row("||| not before CR LF", "...TAVCHAT b> a||| \r\n", chat, failed);
        row("no terminator", "...TAVCHAT b> hi\r\n", chat, failed);
        row("first only", "...TAVCHAT a> 1|||\r\n...TAVCHAT b> 2|||\r\n", chat, found, "a> 1");
        row("one character skipped", "...TAVMSGHello|||\r\n", msg, found, "ello");
        row("key at the very end", "...TAVMSG", msg, failed);
        row("list", ":b PRIVMSG #c :...TAVLIST|||bob|||\r\n", list, found, "bob");
        row("list, bars before key", ":a||| PRIVMSG #c :...TAVLIST|||bob|||\r\n", list, found, "bob");
        row("quit, text before bars", ":a||| PRIVMSG #c :TAVQUIT by request|||bob\r\n", quit, found, "bob");
        row("bare GETTAVLIST fails the list", "...GETTAVLIST\r\n", list, failed);
        row("quit without bars", "TAVQUIT bob\r\n", quit, failed);
    }
    void fields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QFETCH(int, status);
        QFETCH(QByteArray, value);
        const Field f = key == "TAVLIST" ? listField(line) : key == "TAVQUIT" ? quitField(line) : payload(line, key);
        QCOMPARE(int(f.status), status);
        QCOMPARE(f.value, value);
    }
    void chatPieces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::newRow("fits") << "hello world" << 11 << QByteArrayList{"hello world"};
        QTest::newRow("empty") << "" << 10 << QByteArrayList{""};
        QTest::newRow("at the last blank") << "one two three four" << 10 << QByteArrayList{"one two", "three four"};
        QTest::newRow("no blank") << "abcdefghij" << 4 << QByteArrayList{"abcd", "efgh", "ij"};
        // Two-byte letters, a four-byte emoji, and an e with a combining accent stay whole.
        const QString accented = QString::fromUtf16(u"\u00e9\u00e9\U0001F600e\u0301e");
        QTest::newRow("characters whole") << accented << 5
                                          << QByteArrayList{accented.first(2).toUtf8(), accented.sliced(2, 2).toUtf8(), accented.sliced(4).toUtf8()};
    }
    void chatPieces()
    {
        QFETCH(QString, text);
        QFETCH(int, maxBytes);
        QFETCH(QByteArrayList, pieces);
        QCOMPARE(LobbyCommands::chatPieces(text, maxBytes), pieces);
    }
    void hutSlot()
    {
        for (const auto &[v, n] : {std::pair{"0", 0}, {"1", 1}, {"4", 4}, {"5", 5}, {"11", 11}, {"12", 12}, {"2.5", 2},
                                   {"3.5", 4}, {" 2", 2}, {"3rd", 3}, {"x", 0}, {"70000", INT_MIN}, {"-1", -1}})
            QVERIFY2(HutSlot::readNumber(v).value_or(INT_MIN) == n, v);  // INT_MIN: does not fit 16 bits
    }
    void nicknames()  // what an IRC server can register is refused up front otherwise
    {
        for (const auto &[nick, ok] : {std::pair{u"Ann", true}, {u"a[1]`_^{|}-", true}, {u"", false}, {u"1st", false},
                                       {u"-x", false}, {u"Ann Lee", false}, {u"Zo\u00eb", false}, {u"a!b", false}})
            QVERIFY2(Nickname::isRegistrable(QStringView(nick)) == ok, qPrintable(QStringView(nick).toString()));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
