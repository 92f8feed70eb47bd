// One session against a scripted server that decides how the bytes arrive.
#include "SessionHarness.h"

#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int Wait = SessionHarness::Wait;
const QByteArray Registration = SessionHarness::Registration;
const QByteArray JoinLines = SessionHarness::JoinLines;
}  // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void registersAndJoinsOnWelcomeCutInTwo();
    void everyLineOfOneReadIsHandled();
    void serverWordsInsideChatTriggerNothing();
    void refusedNicknameShowsTheReason();
    void serverClosingShowsKickedCaption();
    void unreachableServerSendsNothing();
    void closeSendsNoQuit();
    void lobbyRulesEndOnlyTheirOwnLine();
    void nothingSentWhileDisconnected();
    void oneByteAtATimeAndAnEndlessLine();

private:
    void deliver(const QByteArray &bytes) { QVERIFY(h->deliver(bytes)); }
    void connectAndRegister();

    std::unique_ptr<SessionHarness> h;
};

void TestSession::init()
{
    h = std::make_unique<SessionHarness>();
}

void TestSession::cleanup()
{
    h.reset();
}

void TestSession::connectAndRegister()
{
    QVERIFY(h->connect());
    QCOMPARE(h->server->received(), Registration);
    QCOMPARE(h->session->state().OutboundLog.text(), QByteArray("Sent Nickname and User Details\r\n"));
    h->session->Timer1_Timer();
    QCOMPARE(h->view.caption, QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3"));
}

void TestSession::registersAndJoinsOnWelcomeCutInTwo()
{
    connectAndRegister();
    QSignalSpy joined(h->session.get(), &LobbySession::joined);
    deliver(":irc.test.local 00");
    QCOMPARE(joined.count(), 0);
    deliver("1 AnnOnTavNET :Welcome to the network\r\n");
    QVERIFY(h->server->waitForReceived(Registration + JoinLines, Wait));
    QCOMPARE(joined.count(), 1);
    QVERIFY(h->view.joinedLook);
    QCOMPARE(h->view.chat, QStringList{LobbySession::WelcomeLine});
    QCOMPARE(h->session->state().OutboundLog.text(),
             QByteArray("Sent Nickname and User Details\r\nJoining channel\r\n"));
    // Each raw read is logged as it came, followed by CR LF.
    QCOMPARE(h->session->state().InboundLog.text(),
             QByteArray(":irc.test.local 00\r\n1 AnnOnTavNET :Welcome to the network\r\n\r\n"));
}

void TestSession::everyLineOfOneReadIsHandled()
{
    connectAndRegister();
    h->server->clearReceived();
    // A re-registration request, the welcome and two pings in one read: every line counts.
    deliver("NOTICE AUTH :*** Checking\r\n:irc.test.local 001 AnnOnTavNET :Welcome\r\n"
            "PING :tok1\r\nPING tok2\r\n");
    // Past the first few lines the throttle paces them; the answers to pings go ahead, in their order.
    QVERIFY(h->server->waitForReceived("PONG :tok2\r\n", Wait));
    QVERIFY(h->server->waitForReceived("MODE #TavarineNET_3\r\n", Wait));
    QByteArrayList lines = h->server->received().split('\n');
    const QByteArrayList expected = (Registration + JoinLines + "PONG :tok1\r\nPONG :tok2\r\n").split('\n');
    QVERIFY(lines.indexOf("PONG :tok1\r") < lines.indexOf("PONG :tok2\r"));
    QVERIFY(lines.indexOf("JOIN #TavarineNET_3\r") < lines.indexOf("MODE #TavarineNET_3\r"));
    std::sort(lines.begin(), lines.end());
    QByteArrayList sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    QCOMPARE(lines, sortedExpected);
    QCOMPARE(h->session->state().OutboundLog.text(),
             QByteArray("Sent Nickname and User Details\r\nRe-Sent Nickname and User Details\r\nJoining channel\r\n"));
    // The refusal of a second registration also leads into the channel.
    h->server->clearReceived();
    deliver(":irc.test.local 462 AnnOnTavNET :You may not reregister\r\n");
    QVERIFY(h->server->waitForReceived(JoinLines, Wait));
}

void TestSession::serverWordsInsideChatTriggerNothing()
{
    connectAndRegister();
    deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
    QVERIFY(h->server->waitForReceived(JoinLines, Wait));
    h->server->clearReceived();
    h->view.chat = QStringList{QStringLiteral("kept")};
    deliver(":bob!~b@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT bob> NOTICE AUTH 001 Ann 462 Ann PING|||\r\n"
            ":bob!~b@127.0.0.1 NOTICE AnnOnTavNET :NOTICE AUTH\r\n");
    // A ping after them is answered, and it is the only thing sent.
    deliver("PING :last\r\n");
    QVERIFY(h->server->waitForReceived("PONG :last\r\n", Wait));
    QCOMPARE(h->server->received(), QByteArray("PONG :last\r\n"));
    QCOMPARE(h->view.chat, (QStringList{QStringLiteral("kept"), QStringLiteral("bob> NOTICE AUTH 001 Ann 462 Ann PING")}));
}

void TestSession::refusedNicknameShowsTheReason()
{
    connectAndRegister();
    deliver(":irc.test.local 433 * AnnOnTavNET :Nickname already in use\r\n");
    QCOMPARE(h->view.refusal, QStringLiteral("AnnOnTavNET: Nickname already in use"));
    QVERIFY(!h->view.joinedLook);
    QCOMPARE(h->server->received(), Registration);  // nothing retried
}

void TestSession::serverClosingShowsKickedCaption()
{
    connectAndRegister();
    h->server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(h->session->socket().state(), int(LobbySocket::Closing), Wait);
    h->session->Timer1_Timer();
    QCOMPARE(h->view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)"));
    QVERIFY(!h->session->socket().send("PRIVMSG #TavarineNET_3 :late\r\n"));
}

void TestSession::unreachableServerSendsNothing()
{
    const quint16 deadPort = h->server->port();
    h->server.reset();  // nothing listens there any more
    h->session->Form_Load({QStringLiteral("127.0.0.1"), deadPort});
    QTRY_COMPARE_WITH_TIMEOUT(h->session->socket().state(), int(LobbySocket::Error), Wait);
    h->session->Timer1_Timer();
    QCOMPARE(h->view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected"));
    QVERIFY(h->session->state().OutboundLog.text().isEmpty());
}

void TestSession::closeSendsNoQuit()
{
    connectAndRegister();
    h->session->Form_Unload();
    QVERIFY(!h->session->Timer1.isActive() && !h->session->Timer2.isActive() && !h->session->Timer5.isActive());
    QVERIFY(h->server->waitForDisconnected(Wait));
    QCOMPARE(h->server->received(), Registration);
    QCOMPARE(h->session->socket().localIP(), QByteArray("127.0.0.1"));  // still readable after close
}

void TestSession::lobbyRulesEndOnlyTheirOwnLine()
{
    connectAndRegister();
    deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
    QVERIFY(h->server->waitForReceived(JoinLines, Wait));
    h->server->clearReceived();
    // A request is answered; its own line then fails the list rule, the next lines still count.
    deliver(":bob!b@h PRIVMSG #TavarineNET_3 :...GETTAVLIST\r\n"
            ":bob!b@h PRIVMSG #TavarineNET_3 :...TAVCHAT bob> no terminator\r\n"
            ":cy!c@h PRIVMSG #TavarineNET_3 :...TAVCHAT nobracket|||\r\n"
            ":dee!d@h PRIVMSG #TavarineNET_3 :...TAVCHAT dee> hi|||\r\n"
            ":eve!e@h PRIVMSG #TavarineNET_3 :...TAVLIST|||eve|||\r\n"
            "PING :p\r\n");
    QVERIFY(h->server->waitForReceived("PONG :p\r\n", Wait));
    QCOMPARE(h->server->received(), QByteArray("PRIVMSG #TavarineNET_3 :...TAVLIST|||Ann|||\r\nPONG :p\r\n"));
    // A payload without ">" is shown, but names nobody.
    QCOMPARE(h->view.chat, (QStringList{LobbySession::WelcomeLine, "nobracket", "dee> hi"}));
    QCOMPARE(h->session->state().UserListText, QByteArray("dee\r\neve\r\n"));

    // Somebody quits the server: the list starts afresh and this user announces itself.
    h->server->clearReceived();
    h->session->Timer2_Timer();
    QCOMPARE(h->view.userListRows, (QStringList{"dee", "eve"}));
    deliver(":dee!d@h QUIT :Client closed connection\r\n");
    QVERIFY(h->view.userListRows.isEmpty());
    QVERIFY(h->session->state().UserListText.isEmpty());
    QVERIFY(h->server->waitForReceived("PRIVMSG #TavarineNET_3 :...TAVLIST|||Ann|||\r\n", Wait));

    // The refresh empties the list, asks everybody and notes it in the chat.
    deliver(":eve!e@h PRIVMSG #TavarineNET_3 :...TAVLIST|||eve|||\r\n");
    h->session->Command2_Click();
    QVERIFY(h->session->state().UserListText.isEmpty());
    QVERIFY(h->server->waitForReceived("PRIVMSG #TavarineNET_3 :...GETTAVLIST\r\n", Wait));
    QCOMPARE(h->view.chat.last(), QStringLiteral(" -=Refreshing User List=-"));
}

void TestSession::nothingSentWhileDisconnected()
{
    connectAndRegister();
    h->server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(h->session->socket().state(), int(LobbySocket::Closing), Wait);
    const QStringList chatBefore = h->view.chat;
    QVERIFY(!h->session->Send_Click(QStringLiteral("hello")));  // the window keeps the text
    h->session->Command2_Click();
    QCOMPARE(h->view.chat, chatBefore);
}

void TestSession::oneByteAtATimeAndAnEndlessLine()
{
    connectAndRegister();
    deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
    const QByteArray chat = ":bob!b@h PRIVMSG #TavarineNET_3 :...TAVCHAT bob> one at a time|||\r\n";
    for (char c : chat)
        deliver(QByteArray(1, c));
    QCOMPARE(h->view.chat.last(), QStringLiteral("bob> one at a time"));

    // A megabyte without CR LF is dropped whole; memory stays bounded and the next lines count.
    const QByteArray junk(64 * 1024, 'x');
    for (int i = 0; i < 16; ++i) {
        deliver(junk);
        QVERIFY(h->session->socket().pendingBytes() <= 64 * 1024 + 2);
    }
    deliver("\r\n:bob!b@h PRIVMSG #TavarineNET_3 :...TAVCHAT bob> after the junk|||\r\nPING :x\r\n");
    QCOMPARE(h->view.chat.last(), QStringLiteral("bob> after the junk"));
    QVERIFY(h->server->waitForReceived("PONG :x\r\n", Wait));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
