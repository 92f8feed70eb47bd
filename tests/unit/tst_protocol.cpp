// Every line the program composes, byte for byte; cutting fields out of received lines;
// the user list and hut slot numbers.
#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/Nickname.h"
#include "protocol/RegistrationLines.h"

#include <QTest>
#include <climits>

using namespace LobbyCommands;
using namespace RegistrationLines;

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray ch = "#TavarineNET_3", p = "PRIVMSG #TavarineNET_3 :";
        QTest::newRow("NICK") << nick("Ann") << QByteArray("NICK AnnOnTavNET\r\n");
        QTest::newRow("USER") << user("Ann", "1.2.3.4")
                              << QByteArray("USER AnnOnTavNET \"tavarinenet.lobby\" \"1.2.3.4\" :TavUser\r\n");
        QTest::newRow("JOIN") << join(ch) << QByteArray("JOIN #TavarineNET_3\r\n");
        QTest::newRow("MODE") << mode(ch) << QByteArray("MODE #TavarineNET_3\r\n");
        QTest::newRow("PONG, no CR LF NUL") << pong(QByteArray("ir\r\nc\0", 6)) << QByteArray("PONG :irc\r\n");
        QTest::newRow("PING") << ping("tavarine-alive") << QByteArray("PING :tavarine-alive\r\n");
        QTest::newRow("GETTAVLIST") << getTavList(ch) << p + "...GETTAVLIST\r\n";
        QTest::newRow("TAVLIST") << tavList(ch, "Ann") << p + "...TAVLIST|||Ann|||\r\n";
        QTest::newRow("TAVHUT1") << tavHut1(ch, "Ann", 2) << p + "...TAVHUT1 Ann> 2|||\r\n";
        QTest::newRow("TAVHUT1EXIT") << tavHut1Exit(ch, "Ann", 0) << p + "...TAVHUT1EXIT Ann> 0|||\r\n";
        QTest::newRow("GETHUTLIST") << getHutList(ch) << p + "...GETHUTLIST\r\n";
        QTest::newRow("TAVHUT1LAUNCH") << tavHut1Launch(ch, "Ann", "1.2.3.4") << p + "...TAVHUT1LAUNCH Ann> 1.2.3.4|||\r\n";
        QTest::newRow("TAVCHAT") << tavChat(ch, "Ann", "hello") << p + "...TAVCHAT Ann> hello|||\r\n";
        QTest::newRow("TAVCHAT, typed CR LF NUL dropped")  // typed text never becomes an IRC command
            << tavChat(ch, "Ann", QByteArray("a\r\nQUIT :x\0b", 13)) << p + "...TAVCHAT Ann> aQUIT :xb|||\r\n";
        QTest::newRow("TAVMSG") << tavMsg(ch, "hi all") << p + "...TAVMSG hi all|||\r\n";
        QTest::newRow("TAVLNK") << tavLnk(ch, "http://a.test/") << p + "...TAVLNK http://a.test/|||\r\n";
        QTest::newRow("TAVQUIT") << tavQuit(ch, "bob") << p + "TAVQUIT|||bob\r\n";
    }
    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        QCOMPARE(line, expected);
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
