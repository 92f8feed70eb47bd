// One session against a scripted server that decides how the bytes arrive.
#include "RecordingView.h"
#include "ScriptedServer.h"
#include "core/LobbySession.h"

#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int Wait = 10000;
const QByteArray Registration =
    "NICK AnnOnTavNET\r\nUSER AnnOnTavNET \"tavarinenet.lobby\" \"127.0.0.1\" :TavUser\r\n";
const QByteArray JoinLines = "JOIN #TavarineNET_3\r\nMODE #TavarineNET_3\r\n";
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

private:
    // Delivers bytes as one read of their own: waits until the session has logged them.
    void deliver(const QByteArray &bytes);
    void connectAndRegister();

    std::unique_ptr<ScriptedServer> server;
    std::unique_ptr<LobbySession> session;
    RecordingView view;
};

void TestSession::init()
{
    server = std::make_unique<ScriptedServer>();
    QVERIFY(server->listen());
    session = std::make_unique<LobbySession>("Ann", "#TavarineNET_3");
    view = RecordingView();
    session->setView(&view);
}

void TestSession::cleanup()
{
    session.reset();
    server.reset();
}

void TestSession::deliver(const QByteArray &bytes)
{
    const qsizetype before = session->state().InboundLog.size();
    server->send(bytes);
    QTRY_VERIFY_WITH_TIMEOUT(session->state().InboundLog.size() >= before + bytes.size() + 2, Wait);
}

void TestSession::connectAndRegister()
{
    session->Form_Load({server->host(), server->port()});
    QVERIFY(server->waitForReceived(Registration, Wait));
    QCOMPARE(server->received(), Registration);
    QCOMPARE(session->state().OutboundLog, QByteArray("Sent Nickname and User Details\r\n"));
    session->Timer1_Timer();
    QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3"));
}

void TestSession::registersAndJoinsOnWelcomeCutInTwo()
{
    connectAndRegister();
    QSignalSpy joined(session.get(), &LobbySession::joined);
    deliver(":irc.test.local 00");
    QCOMPARE(joined.count(), 0);
    deliver("1 AnnOnTavNET :Welcome to the network\r\n");
    QVERIFY(server->waitForReceived(Registration + JoinLines, Wait));
    QCOMPARE(joined.count(), 1);
    QVERIFY(view.joinedLook);
    QCOMPARE(view.chat, QStringList{LobbySession::WelcomeLine});
    QCOMPARE(session->state().OutboundLog,
             QByteArray("Sent Nickname and User Details\r\nJoining channel\r\n"));
    // Each raw read is logged as it came, followed by CR LF.
    QCOMPARE(session->state().InboundLog,
             QByteArray(":irc.test.local 00\r\n1 AnnOnTavNET :Welcome to the network\r\n\r\n"));
}

void TestSession::everyLineOfOneReadIsHandled()
{
    connectAndRegister();
    server->clearReceived();
    // A re-registration request, the welcome and two pings in one read: every line counts.
    deliver("NOTICE AUTH :*** Checking\r\n:irc.test.local 001 AnnOnTavNET :Welcome\r\n"
            "PING :tok1\r\nPING tok2\r\n");
    const QByteArray expected = Registration + JoinLines + "PONG :tok1\r\nPONG :tok2\r\n";
    QVERIFY(server->waitForReceived(expected, Wait));
    QCOMPARE(server->received(), expected);
    QCOMPARE(session->state().OutboundLog,
             QByteArray("Sent Nickname and User Details\r\nRe-Sent Nickname and User Details\r\nJoining channel\r\n"));
    // The refusal of a second registration also leads into the channel.
    server->clearReceived();
    deliver(":irc.test.local 462 AnnOnTavNET :You may not reregister\r\n");
    QVERIFY(server->waitForReceived(JoinLines, Wait));
}

void TestSession::serverWordsInsideChatTriggerNothing()
{
    connectAndRegister();
    deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
    QVERIFY(server->waitForReceived(JoinLines, Wait));
    server->clearReceived();
    view.chat = QStringList{QStringLiteral("kept")};
    deliver(":bob!~b@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT bob> NOTICE AUTH 001 Ann 462 Ann PING|||\r\n"
            ":bob!~b@127.0.0.1 NOTICE AnnOnTavNET :NOTICE AUTH\r\n");
    // A ping after them is answered, and it is the only thing sent.
    deliver("PING :last\r\n");
    QVERIFY(server->waitForReceived("PONG :last\r\n", Wait));
    QCOMPARE(server->received(), QByteArray("PONG :last\r\n"));
    QCOMPARE(view.chat, QStringList{QStringLiteral("kept")});
}

void TestSession::refusedNicknameShowsTheReason()
{
    connectAndRegister();
    deliver(":irc.test.local 433 * AnnOnTavNET :Nickname already in use\r\n");
    QCOMPARE(view.refusal, QStringLiteral("AnnOnTavNET: Nickname already in use"));
    QVERIFY(!view.joinedLook);
    QCOMPARE(server->received(), Registration);  // nothing retried
}

void TestSession::serverClosingShowsKickedCaption()
{
    connectAndRegister();
    server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(session->socket().state(), int(LobbySocket::Closing), Wait);
    session->Timer1_Timer();
    QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)"));
    QVERIFY(!session->socket().send("PRIVMSG #TavarineNET_3 :late\r\n"));
}

void TestSession::unreachableServerSendsNothing()
{
    const quint16 deadPort = server->port();
    server.reset();  // nothing listens there any more
    session->Form_Load({QStringLiteral("127.0.0.1"), deadPort});
    QTRY_COMPARE_WITH_TIMEOUT(session->socket().state(), int(LobbySocket::Error), Wait);
    session->Timer1_Timer();
    QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected"));
    QVERIFY(session->state().OutboundLog.isEmpty());
}

void TestSession::closeSendsNoQuit()
{
    connectAndRegister();
    session->Form_Unload();
    QVERIFY(!session->Timer1.isActive() && !session->Timer2.isActive() && !session->Timer5.isActive());
    QVERIFY(server->waitForDisconnected(Wait));
    QCOMPARE(server->received(), Registration);
    QCOMPARE(session->socket().localIP(), QByteArray("127.0.0.1"));  // still readable after close
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
