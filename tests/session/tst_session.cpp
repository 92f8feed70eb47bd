// One session ("Ann" in lobby 3) against a scripted server that decides every byte it
// gets: the rules that need the socket, the view and the state together.
#include "Fixtures.h"

#include <memory>
#include <optional>

namespace {
const QByteArray Registration = "NICK AnnOnTavNET\r\nUSER AnnOnTavNET \"tavarinenet.lobby\" \"127.0.0.1\" :TavUser\r\n";
const QByteArray JoinLines = "JOIN #TavarineNET_3\r\nMODE #TavarineNET_3\r\n", Ch = "PRIVMSG #TavarineNET_3 :";
}  // namespace

class TestSession : public QObject {
    Q_OBJECT
    std::optional<StandInLauncher> launcher;
    RecordingView view;
    std::unique_ptr<ScriptedServer> server;
    std::unique_ptr<LobbySession> session;

    bool deliver(const QByteArray &bytes)  // one read; returns once the session has taken it in
    {
        const qint64 logged = session->state().InboundLog.total() + bytes.size() + 2;
        server->client->write(bytes);
        return QTest::qWaitFor([&] { return session->state().InboundLog.total() >= logged; }, 10000);
    }
    bool from(const QByteArray &who, const QByteArray &say) { return deliver(":" + who + "OnTavNET " + Ch + say + "\r\n"); }
    bool sent(const QByteArray &bytes)  // these bytes arrive; what arrived is then forgotten
    {
        const bool ok = server->waitFor(bytes);
        server->received.clear();
        return ok;
    }
    QByteArray sentSinceLastCheck()  // closed by the answer to a PING
    {
        const qsizetype queued = session->socket().waitingLines();  // a PONG would jump the queue
        const bool ponged = deliver("PING :x\r\n") && server->waitFor("PONG :x\r\n");
        return QByteArray(queued ? "queued; " : "") + (ponged ? "" : "no PONG; ") + std::exchange(server->received, {});
    }
    bool join() { return deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n") && sent(JoinLines); }
    void open()
    {
        session = std::make_unique<LobbySession>("Ann", "#TavarineNET_3");
        session->setView(&view);
        session->Form_Load(server->address());
        for (QTimer *timer : {&session->Timer1, &session->Timer2, &session->Timer5})
            timer->stop();  // the tests run the ticks themselves
    }

private slots:
    void init()
    {
        launcher.emplace();
        view = RecordingView();
        server = std::make_unique<ScriptedServer>();
        open();
        QVERIFY(sent(Registration));
    }
    void serverWordsInChatTriggerNothing()
    {
        QVERIFY(join() && from("Eve", "...TAVLIST|||eve|||") && from("Zed", "...TAVHUT1 Zed> 2|||"));
        // From the server: a re-registration request; its refusal leads into the channel again.
        QVERIFY(deliver("NOTICE AUTH :*** Looking up your hostname\r\n") && sent(Registration));
        QVERIFY(deliver(":irc.test.local 462 AnnOnTavNET :You may not reregister\r\n") && sent(JoinLines));
        // The same words from a user, as chat and as a plain channel message.
        for (const QByteArray words : {"PING :y", "NOTICE AUTH :hi", "001 Ann :hi", "QUIT :bye", "JOIN :#TavarineNET_3"})
            QVERIFY(from("bob", "...TAVCHAT bob> " + words + "|||") && from("bob", words));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        QVERIFY(deliver(QByteArray("PING :a\nb\0c\r\n", 13)) && sent("PONG :abc\r\n"));  // a token cannot break the line
        QCOMPARE(session->state().UserListText, QByteArray("eve\r\nbob\r\n"));
        QVERIFY(view.taken[1] && session->state().HutSlots[1] == "Zed" && view.chat.last() == "bob> JOIN :#TavarineNET_3");
    }
    void refusedNicknameThenKicked()
    {
        for (const auto &[line, reason] : {std::pair{"432 * Ann[ :Erroneous nickname", "Ann[: Erroneous nickname"},
                                           {"433 * AnnOnTavNET :Nickname in use", "AnnOnTavNET: Nickname in use"}})
            QVERIFY(deliver(":irc.test.local " + QByteArray(line) + "\r\n") && view.refusal == reason && !view.joinedLook);
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));  // nothing retried
        server->client->disconnectFromHost();
        QTRY_COMPARE(session->socket().state(), int(LobbySocket::Closing));
        session->Timer1_Timer();
        QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)"));
        QVERIFY(!session->Send_Click(QStringLiteral("hello")));  // nothing sent; the window keeps the typed text
        QVERIFY(session->socket().waitingLines() == 0 && !session->socket().send(Ch + "late\r\n"));
    }
    void unreachableServer()
    {
        server->close();  // nothing listens there any more
        open();
        QTRY_COMPARE(session->socket().state(), int(LobbySocket::Error));
        session->Timer1_Timer();
        QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected"));
        QVERIFY(session->state().OutboundLog.text().isEmpty() && session->socket().waitingLines() == 0);
    }
    void hutStory()
    {
        const SharedState &s = session->state();
        QVERIFY(join());
        session->Player_Click(0);
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n") && view.taken[0] && view.toolTips[0] == "You");
        session->Timer1_Timer();
        session->Player_Click(3);  // already in the hut
        QVERIFY(view.hostControls && view.inHutMessages == 1 && !view.taken[3]);
        // Places 5 to 11 live only in the table, other numbers change nothing; only Zed frees Zed's place.
        for (const QByteArray slot : {"0", "-1", "12", "70000", "x", "5"})
            QVERIFY(from("Zed", "...TAVHUT1 Zed> " + slot + "|||"));
        QVERIFY(s.HutSlots[4] == "Zed" && std::count(s.HutSlots.begin(), s.HutSlots.end(), QByteArray()) == 9);
        QVERIFY(from("Eve", "...TAVHUT1EXIT Zed> 5|||") && s.HutSlots[4] == "Zed");
        QVERIFY(from("Zed", "...TAVHUT1EXIT Zed> 5|||") && s.HutSlots[4].isEmpty());
        // Somebody announces over the own place; the restore brings it back; a query is answered.
        QVERIFY(from("Eve", "...TAVHUT1 Eve> 1|||") && view.toolTips[0] == "Eve");
        session->Timer5_Timer();
        QVERIFY(s.HutSlots[0] == "Ann" && from("bob", "...GETHUTLIST") && sent(Ch + "...TAVHUT1 Ann> 1|||\r\n"));
        // An exit frees only its sender's own place; an announcement sent privately counts for nothing.
        QVERIFY(from("Eve", "...TAVHUT1EXIT Eve> 1|||") && deliver(":ZedOnTavNET PRIVMSG AnnOnTavNET :...TAVHUT1 Zed> 2|||\r\n"));
        QVERIFY(s.HutSlots[0] == "Ann" && s.HutSlots[1].isEmpty() && view.taken[0] && !view.taken[1]);
        // Refresh: every place free, a query and a note; the own place returns with the restore.
        session->Refresh_Click();
        QVERIFY(!view.taken[0] && s.HutSlots[0].isEmpty() && sent(Ch + "...GETHUTLIST\r\n"));
        QCOMPARE(view.chat.last(), QStringLiteral(" -=Refreshing Hut #1=-"));
        session->Timer5_Timer();
        QVERIFY(view.taken[0]);
        // A departure clears the panel and the list; the member announces itself and its place again.
        QVERIFY(from("Eve", "...TAVLIST|||eve|||") && deliver(":eve!u@h QUIT :Client closed connection\r\n"));
        QVERIFY(!view.taken[0] && view.toolTips[0].isEmpty() && s.UserListText.isEmpty());
        QVERIFY(sent(Ch + "...TAVLIST|||Ann|||\r\n" + Ch + "...TAVHUT1 Ann> 1|||\r\n"));
        // Leaving sends the old place; outside the hut a query goes unanswered.
        session->QuitButton_Click();
        QVERIFY(sent(Ch + "...TAVHUT1EXIT Ann> 1|||\r\n") && s.MyHutSlot == 0);
        session->Timer1_Timer();
        QVERIFY(!view.hostControls && from("bob", "...GETHUTLIST"));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        // The host without a launcher stays in the lobby outside the hut, and says so with place 0.
        launcher->hide();
        session->Player_Click(0);
        session->LaunchButton_Click();
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n" + Ch + "...TAVHUT1EXIT Ann> 1|||\r\n" + Ch
                     + "...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n" + Ch + "...TAVHUT1EXIT Ann> 0|||\r\n"));
        QVERIFY(session->socket().isConnected() && !view.closed && s.MyHutSlot == 0);
        // Closing the lobby stops the timers and sends no QUIT.
        session->Timer1.start();
        session->Form_Unload();
        QVERIFY(!session->Timer1.isActive() && server->clientGone() && server->received.isEmpty());
    }
    void launchesFromTheChannel()
    {
        QVERIFY(join());
        // Outside the hut a launch ends the handling of its line: not even the chat around it shows.
        QVERIFY(from("Bob", "...TAVCHAT Bob> look ...TAVHUT1LAUNCH Bob> 10.1.2.3|||"));
        QCOMPARE(view.chat, QStringList{LobbySession::WelcomeLine});
        QVERIFY(from("Bob", "...TAVHUT1 Bob> 1|||"));  // the host
        session->Player_Click(1);
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 2|||\r\n"));
        session->LaunchButton_Click();  // not the host
        for (const QByteArray address : {" 127.0.0.1 ; rm -rf ~", " -x", " $(id)", " ", ""})
            QVERIFY(from("Bob", "...TAVHUT1LAUNCH Bob>" + address + "|||"));
        // Only the host sends the hut away, in the channel, as itself: not Cy, not Eve naming Bob, not privately.
        QVERIFY(from("Cy", "...TAVHUT1LAUNCH Cy> 10.9.9.9|||") && from("Eve", "...TAVHUT1LAUNCH Bob> 10.9.9.9|||"));
        QVERIFY(deliver(":BobOnTavNET PRIVMSG AnnOnTavNET :...TAVHUT1LAUNCH Bob> 10.9.9.9|||\r\n"));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        QVERIFY(session->state().MyHutSlot == 2 && launcher->starts().isEmpty());
        // The host exits, then launches (its nickname in any letter case): the game joins its address, once.
        QVERIFY(from("Bob", "...TAVHUT1EXIT Bob> 1|||") && session->state().HutSlots[0].isEmpty());
        QVERIFY(from("bob", "...TAVHUT1LAUNCH Bob> 10.1.2.3|||\r\n:BobOnTavNET " + Ch + "...TAVHUT1LAUNCH Bob> 1.2.3.4|||"));
        QVERIFY(launcher->waitFor(1) && view.closed);
        QCOMPARE(launcher->starts(), QStringList{"gxexec.exe tav3.exe /j tcp 10.1.2.3 /nAnn /boundip 127.0.0.1"});
    }
    void silentLinkIsGivenUp()
    {
        QVERIFY(join());
        session->socket().setIdleProbe(1000, "PING :tavarine-alive\r\n");
        for (int n = 0; n < 8; ++n)  // most of them wait for the throttle
            QVERIFY(session->Send_Click(QString::number(n)));
        // A quiet server that answers the probe keeps the link; the probe goes ahead of waiting lines.
        for (int probe = 0; probe < 3; ++probe) {
            QVERIFY(server->waitFor("PING :tavarine-alive\r\n") && (probe > 0 || !server->received.contains("Ann> 7")));
            server->received.clear();
            QVERIFY(deliver(":irc.test.local PONG irc.test.local :tavarine-alive\r\n"));
        }
        // Silence after a probe: the link is lost, said so, and nothing more is sent.
        QVERIFY(server->waitFor("PING :tavarine-alive\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(session->socket().state(), int(LobbySocket::Error), 10000);
        session->Timer1_Timer();
        QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected"));
        QVERIFY(!session->Send_Click(QStringLiteral("anyone?")) && server->clientGone());
    }
    void memberWithoutLauncher()
    {
        QVERIFY(join() && from("Bob", "...TAVHUT1 Bob> 1|||"));
        launcher->hide();
        session->Player_Click(1);
        QVERIFY(from("Bob", "...TAVHUT1LAUNCH Bob> 10.1.2.3|||"));
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 2|||\r\n" + Ch + "...TAVHUT1EXIT Ann> 2|||\r\n") && server->clientGone());
        QVERIFY(session->socket().state() == LobbySocket::Closed && !view.closed);  // stays, its socket closed
    }
    void chatListsMessagesAndLinks()
    {
        QVERIFY(join() && session->Send_Click(QStringLiteral("hello")));
        QVERIFY(sent(Ch + "...TAVCHAT Ann> hello|||\r\n") && view.chat.last() == "Ann> hello");
        // One read: each line counts by itself, and a line that fails a rule ends only itself.
        QByteArray read;
        for (const QByteArray line : {"...GETTAVLIST", "...TAVCHAT bob> no end", "...TAVCHAT nobracket|||",
                                      "...TAVCHAT dee> hi|||", "...TAVLIST|||bob|||", "...TAVLIST|||jimbob|||",
                                      "TAVQUIT|||bob", "...TAVMSG Game night|||"})
            read += ":x!u@h " + Ch + line + "\r\n";
        QVERIFY(deliver(read) && sent(Ch + "...TAVLIST|||Ann|||\r\n"));
        QCOMPARE(view.chat.mid(2), (QStringList{"nobracket", "dee> hi"}));
        session->Timer2_Timer();
        QCOMPARE(view.userListRows, (QStringList{"dee", "jimbob"}));
        QCOMPARE(view.roomMessage, QStringLiteral("Game night\r\n\r\n"));
        session->Command2_Click();
        QVERIFY(session->state().UserListText.isEmpty() && sent(Ch + "...GETTAVLIST\r\n"));
        // Only a plain web address is asked about; No starts nothing, Yes starts the browser.
        QVERIFY(from("m", "...TAVLNK file:///etc/passwd|||") && from("m", "...TAVLNK http://a.test/no|||"));
        session->Player_Click(2);  // an unsafe link counts as No: the query in its line is still answered
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 3|||\r\n") && from("m", "...TAVLNK javascript:x GETHUTLIST|||"));
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 3|||\r\n"));
        view.answerLinks = true;
        QVERIFY(from("m", "...TAVLNK http://a.test/yes|||") && launcher->waitFor(1));
        QCOMPARE(view.linksAsked, (QStringList{"http://a.test/no", "http://a.test/yes"}));
        QCOMPARE(launcher->starts(), QStringList{"gxexec.exe iexplore.exe http://a.test/yes"});
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
