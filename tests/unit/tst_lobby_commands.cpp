// Lobby command lines byte for byte, and cutting their fields out of received lines.
#include "launch/CommandLines.h"
#include "protocol/LobbyCommands.h"
#include "protocol/UserList.h"

#include <QTest>

using namespace LobbyCommands;

namespace {
const QByteArray Ch = "#TavarineNET_3";
}

class TestLobbyCommands : public QObject {
    Q_OBJECT
private slots:
    void composedLines();
    void payloads_data();
    void payloads();
    void listAndQuitFields_data();
    void listAndQuitFields();
    void userListWholeEntries();
    void links_data();
    void links();
};

void TestLobbyCommands::composedLines()
{
    QCOMPARE(getTavList(Ch), QByteArray("PRIVMSG #TavarineNET_3 :...GETTAVLIST\r\n"));
    QCOMPARE(tavList(Ch, "Ann"), QByteArray("PRIVMSG #TavarineNET_3 :...TAVLIST|||Ann|||\r\n"));
    QCOMPARE(tavHut1(Ch, "Ann", 2), QByteArray("PRIVMSG #TavarineNET_3 :...TAVHUT1 Ann> 2|||\r\n"));
    QCOMPARE(tavHut1Exit(Ch, "Ann", 0), QByteArray("PRIVMSG #TavarineNET_3 :...TAVHUT1EXIT Ann> 0|||\r\n"));
    QCOMPARE(getHutList(Ch), QByteArray("PRIVMSG #TavarineNET_3 :...GETHUTLIST\r\n"));
    QCOMPARE(tavHut1Launch(Ch, "Ann", "10.0.0.7"),
             QByteArray("PRIVMSG #TavarineNET_3 :...TAVHUT1LAUNCH Ann> 10.0.0.7|||\r\n"));
    QCOMPARE(tavChat(Ch, "Ann", "hello"), QByteArray("PRIVMSG #TavarineNET_3 :...TAVCHAT Ann> hello|||\r\n"));
    QCOMPARE(tavChat(Ch, "Ann", ""), QByteArray("PRIVMSG #TavarineNET_3 :...TAVCHAT Ann> |||\r\n"));
    QCOMPARE(tavMsg(Ch, "hi all"), QByteArray("PRIVMSG #TavarineNET_3 :...TAVMSG hi all|||\r\n"));
    QCOMPARE(tavLnk(Ch, "http://a.test/"), QByteArray("PRIVMSG #TavarineNET_3 :...TAVLNK http://a.test/|||\r\n"));
    QCOMPARE(tavQuit(Ch, "bob"), QByteArray("PRIVMSG #TavarineNET_3 :TAVQUIT|||bob\r\n"));
    // Typed CR, LF and NUL never reach the wire: no injected IRC command.
    QCOMPARE(tavChat(Ch, "Ann", QByteArray("a\r\nQUIT :x\0b", 13)),
             QByteArray("PRIVMSG #TavarineNET_3 :...TAVCHAT Ann> aQUIT :xb|||\r\n"));
}

void TestLobbyCommands::payloads_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("value");
    const int found = Field::Found, failed = Field::Failed, absent = Field::Absent;
    QTest::newRow("chat") << QByteArray(":b!u@h PRIVMSG #c :...TAVCHAT bob> hi|||\r\n") << QByteArray(TavChatKey) << found << QByteArray("bob> hi");
    QTest::newRow("||| inside the text") << QByteArray(":b PRIVMSG #c :...TAVCHAT bob> a|||b|||\r\n") << QByteArray(TavChatKey) << found << QByteArray("bob> a|||b");
    QTest::newRow("||| not before CR LF") << QByteArray(":b PRIVMSG #c :...TAVCHAT bob> a||| \r\n") << QByteArray(TavChatKey) << failed << QByteArray();
    QTest::newRow("no terminator") << QByteArray(":b PRIVMSG #c :...TAVCHAT bob> hi\r\n") << QByteArray(TavChatKey) << failed << QByteArray();
    QTest::newRow("empty chat text") << QByteArray(":b PRIVMSG #c :...TAVCHAT bob> |||\r\n") << QByteArray(TavChatKey) << found << QByteArray("bob> ");
    QTest::newRow("character after key skipped") << QByteArray(":b PRIVMSG #c :...TAVMSGHello|||\r\n") << QByteArray(TavMsgKey) << found << QByteArray("ello");
    QTest::newRow("key at the very end") << QByteArray("...TAVMSG") << QByteArray(TavMsgKey) << failed << QByteArray();
    QTest::newRow("absent") << QByteArray(":b PRIVMSG #c :hello\r\n") << QByteArray(TavMsgKey) << absent << QByteArray();
    QTest::newRow("first occurrence only") << QByteArray("...TAVCHAT a> 1|||\r\n...TAVCHAT b> 2|||\r\n") << QByteArray(TavChatKey) << found << QByteArray("a> 1");
    QTest::newRow("exit key") << QByteArray(":x PRIVMSG #c :...TAVHUT1EXIT Ann> 3|||\r\n") << QByteArray(TavHut1ExitKey) << found << QByteArray("Ann> 3");
}

void TestLobbyCommands::payloads()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, key);
    QFETCH(int, status);
    QFETCH(QByteArray, value);
    const Field f = payload(line, key);
    QCOMPARE(int(f.status), status);
    QCOMPARE(f.value, value);

    if (status == Field::Found && key != TavMsgKey) {
        const auto nv = splitNameAndValue(f.value);
        QVERIFY(nv.has_value());
    }
}

void TestLobbyCommands::listAndQuitFields_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("quit");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("value");
    const int found = Field::Found, failed = Field::Failed, absent = Field::Absent;
    QTest::newRow("list") << QByteArray(":b PRIVMSG #c :...TAVLIST|||bob|||\r\n") << false << found << QByteArray("bob");
    // "|||" before the key (a nickname with bars, say) is not taken for the field.
    QTest::newRow("list, bars before the key") << QByteArray(":a|||b PRIVMSG #c :...TAVLIST|||bob|||\r\n") << false << found << QByteArray("bob");
    QTest::newRow("bare GETTAVLIST fails the list rule") << QByteArray(":b PRIVMSG #c :...GETTAVLIST\r\n") << false << failed << QByteArray();
    QTest::newRow("quit") << QByteArray(":d PRIVMSG #c :TAVQUIT|||bob\r\n") << true << found << QByteArray("bob");
    QTest::newRow("quit, text between key and bars") << QByteArray(":d PRIVMSG #c :TAVQUIT by request|||bob\r\n") << true << found << QByteArray("bob");
    QTest::newRow("quit without bars") << QByteArray(":d PRIVMSG #c :TAVQUIT bob\r\n") << true << failed << QByteArray();
    QTest::newRow("no quit") << QByteArray(":d PRIVMSG #c :hi\r\n") << true << absent << QByteArray();
}

void TestLobbyCommands::listAndQuitFields()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, quit);
    QFETCH(int, status);
    QFETCH(QByteArray, value);
    const Field f = quit ? quitField(line) : listField(line);
    QCOMPARE(int(f.status), status);
    QCOMPARE(f.value, value);
}

void TestLobbyCommands::userListWholeEntries()
{
    QByteArray list;
    QVERIFY(UserList::addIfNotListed(list, "jimbob"));
    QVERIFY(UserList::addIfNotListed(list, "bob"));  // not hidden by jimbob
    QVERIFY(!UserList::addIfNotListed(list, "bob"));
    QVERIFY(!UserList::addIfNotListed(list, ""));
    QVERIFY(UserList::addIfNotListed(list, "Cy"));
    QCOMPARE(list, QByteArray("jimbob\r\nbob\r\nCy\r\n"));
    UserList::removeEntry(list, "bob");
    QCOMPARE(list, QByteArray("jimbob\r\nCy\r\n"));  // jimbob keeps its tail
    UserList::removeEntry(list, "nobody");
    QCOMPARE(UserList::rows(list), (QByteArrayList{"jimbob", "Cy"}));
    // A lone empty entry at the end is not a row; one followed by others is.
    QCOMPARE(UserList::rows("a\r\n\r\n"), QByteArrayList{"a"});
    QCOMPARE(UserList::rows("\r\nb\r\n"), (QByteArrayList{"", "b"}));
}

void TestLobbyCommands::links_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("safe");
    QTest::newRow("http") << "http://example.test/page?x=1&y=2" << true;
    QTest::newRow("https") << "https://example.test/" << true;
    QTest::newRow("shell words") << "http://x/ ; rm -rf ~" << false;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("option") << "-x" << false;
    QTest::newRow("quote") << "http://x/\"a" << false;
    QTest::newRow("single quote") << "http://x/'a" << false;
    QTest::newRow("CR") << "http://x/\ra" << false;
    QTest::newRow("tab") << "http://x/\ta" << false;
    QTest::newRow("uppercase scheme") << "HTTP://x/" << false;
}

void TestLobbyCommands::links()
{
    QFETCH(QString, address);
    QFETCH(bool, safe);
    QCOMPARE(CommandLines::isSafeLink(address), safe);
    QCOMPARE(CommandLines::link(QStringLiteral("http://a/")), QStringLiteral("gxexec.exe iexplore.exe http://a/"));
}

QTEST_GUILESS_MAIN(TestLobbyCommands)
#include "tst_lobby_commands.moc"
