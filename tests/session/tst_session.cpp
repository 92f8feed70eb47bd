// One session ("Ann" in lobby 3) against a scripted server that decides every byte it
// gets: the rules that need the socket, the view and the state together.
#include "Fixtures.h"
#include "protocol/LobbyCommands.h"

#include <QScopedValueRollback>
#include <QSignalSpy>

#include <memory>
#include <optional>

namespace {
const QByteArray Registration = "NICK AnnOnTavNET\r\nUSER AnnOnTavNET \"tavarinenet.lobby\" \"127.0.0.1\" :TavUser\r\n";
const QByteArray JoinLines = "JOIN #TavarineNET_3\r\nMODE #TavarineNET_3\r\n", Ch = "PRIVMSG #TavarineNET_3 :";
const QByteArray OwnPrefix = "AnnOnTavNET!~AnnOnTavNET@127.0.0.1", OwnJoin = ":" + OwnPrefix + " JOIN :#TavarineNET_3\r\n";
}  // namespace

class TestSession : public QObject {
    Q_OBJECT
    std::optional<StandInLauncher> launcher;
    RecordingView view;
    std::unique_ptr<ScriptedServer> server;
    std::unique_ptr<LobbySession> session;

    bool deliver(const QByteArray &bytes)  // one read; returns once the session has taken it in
    {
        const qint64 logged = session->inboundLog().total() + bytes.size() + 2;
        server->client->write(bytes);
        return QTest::qWaitFor([&] { return session->inboundLog().total() >= logged; }, 10000);
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
        const qsizetype queued = SessionProbe{*session}.socket().waitingLines();  // a PONG would jump the queue
        const bool ponged = deliver("PING :x\r\n") && server->waitFor("PONG :x\r\n");
        return QByteArray(queued ? "queued; " : "") + (ponged ? "" : "no PONG; ") + std::exchange(server->received, {});
    }
    // Welcomed, then in the channel with the others: Ann announces herself on her own join, and
    // her send bucket is empty, as it is after joining a real server.
    bool join()
    {
        const QScopedValueRollback unhurried(server->hurried, QPointer<LobbySocket>());
        return deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n") && sent(JoinLines)
            && deliver(OwnJoin + ":irc.test.local 353 AnnOnTavNET = #TavarineNET_3 :AnnOnTavNET @BobOnTavNET CyOnTavNET "
                       "EveOnTavNET +MalOnTavNET ZedOnTavNET bobOnTavNET deeOnTavNET mOnTavNET\r\n")
            && sent(Ch + "...TAVLIST|||Ann|||\r\n");
    }
    // One read of lines "Who: text" (a channel message from Who's IRC nickname) or raw ":..." lines.
    bool script(const QByteArray &lines)
    {
        QByteArray read;
        for (const QByteArray &l : lines.split('\n'))
            read += (l.startsWith(':') ? l : ":" + l.left(l.indexOf(':')) + "OnTavNET " + Ch + l.mid(l.indexOf(':') + 2)) + "\r\n";
        return deliver(read);
    }
    void open(const QList<ServerAddress> &servers = {})
    {
        session = std::make_unique<LobbySession>("Ann", "#TavarineNET_3");
        session->setView(&view);
        session->Form_Load(servers.isEmpty() ? QList{server->address()} : servers);
        server->hurried = &SessionProbe{*session}.socket();
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
        QVERIFY(join() && from("Zed", "...TAVHUT1 Zed> 2|||"));
        // From the server: a re-registration request; its refusal leads into the channel again.
        QVERIFY(deliver("NOTICE AUTH :*** Looking up your hostname\r\n") && sent(Registration));
        QVERIFY(deliver(":irc.test.local 462 AnnOnTavNET :You may not reregister\r\n") && sent(JoinLines));
        // The same words from a user, as chat and as a plain channel message.
        for (const QByteArray words : {"PING :y", "NOTICE AUTH :hi", "001 Ann :hi", "QUIT :bye", "JOIN :#TavarineNET_3"})
            QVERIFY(from("bob", "...TAVCHAT bob> " + words + "|||") && from("bob", words));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        QVERIFY(deliver(QByteArray("PING :a\nb\0c\r\n", 13)) && sent("PONG :abc\r\n"));  // a token cannot break the line
        QCOMPARE(SessionProbe{*session}.members().text(), QByteArray("Bob\r\nCy\r\nEve\r\nMal\r\nZed\r\ndee\r\nm\r\n"));
        QVERIFY(view.taken(1) && SessionProbe{*session}.hut().HutSlots()[1] == "Zed" && view.chat.last() == "bob> JOIN :#TavarineNET_3");
    }
    // A newcomer learns everybody from answers to it alone, made when nothing of Ann's own waits,
    // several newcomers in one line where the server takes that; who
    // leaves (QUIT, PART, KICK, NICK) takes exactly one name off the list, and a refresh none.
    // Who announces itself in the channel after quits (the classic rules) hears this one again,
    // privately, one line for the quits of two seconds; who falls silent after a quit, no more.
    void presenceAndAnswers()
    {
        QVERIFY(deliver(":irc.test.local 005 AnnOnTavNET MAXTARGETS=2 :are supported by this server\r\n"));
        QVERIFY(join() && from("Bob", "...TAVHUT1 Bob> 1|||"));
        session->Player_Click(1);  // the joining emptied the send bucket: the answers wait behind, and gather
        const QByteArray come = " JOIN :#TavarineNET_3\r\n";
        QVERIFY(deliver(":NedOnTavNET!u@h" + come + ":OdaOnTavNET!u@h" + come + ":plain!u@h" + come + ":PipOnTavNET!u@h"
                        + come + ":PipOnTavNET!u@h QUIT :gone\r\n"));
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 2|||\r\nPRIVMSG NedOnTavNET,OdaOnTavNET :...TAVLIST|||Ann|||\r\n"
                     "PRIVMSG NedOnTavNET,OdaOnTavNET :...TAVHUT1 Ann> 2|||\r\n"));
        QVERIFY(script("Oda: ...TAVLIST|||Oda|||\n:CyOnTavNET!u@h QUIT :bye\n:EveOnTavNET!u@h PART #TavarineNET_3\n"
                       ":BobOnTavNET!u@h KICK #TavarineNET_3 MalOnTavNET :out\n:ZedOnTavNET!u@h NICK :plain"));
        const LobbyMembers &list = SessionProbe{*session}.members();
        session->Command2_Click();
        QVERIFY(sent(Ch + "...GETTAVLIST\r\n") && list.size() == 5);
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));  // nothing for the comings and goings
        SessionProbe{*session}.skip(LobbyMembers::ClassicGraceMs);  // long after the quits, a pose: nothing
        QVERIFY(from("Oda", "...TAVLIST|||Oda|||") && !list.classicPresent());
        const auto quit = [&](const char *who, const QByteArray &answers) {
            return deliver(":" + QByteArray(who) + "!u@h QUIT :bye\r\n") && (answers.isEmpty() || script(answers));
        };
        for (const char *who : {"q1", "q2", "q3"}) {  // Bob's and Ned's first announcements count for nothing
            QVERIFY(quit(who, "Bob: ...TAVLIST|||Bob|||\nNed: ...TAVLIST|||Ned|||\nOda: ...TAVLIST|||Oda|||"));
            SessionProbe{*session}.skip(300);
        }
        const QByteArray hut = " :...TAVHUT1 Ann> 2|||\r\n", ann = " :...TAVLIST|||Ann|||\r\n";
        SessionProbe{*session}.skip(LobbyMembers::ReannounceMs);
        // Each hears who Ann is before her place: a classic client takes a TAVLIST's name from the first "|||" it reads.
        const QByteArray owed = "PRIVMSG BobOnTavNET,NedOnTavNET" + ann + "PRIVMSG BobOnTavNET,NedOnTavNET" + hut + "PRIVMSG OdaOnTavNET" + ann
            + "PRIVMSG OdaOnTavNET" + hut;
        QVERIFY(server->waitFor(owed) && std::exchange(server->received, {}) == owed);
        QVERIFY(quit("mOnTavNET", "Oda: ...TAVLIST|||Oda|||") && list.isClassic("Bob"));
        SessionProbe{*session}.skip(LobbyMembers::ClassicGraceMs);
        QVERIFY(sent("PRIVMSG OdaOnTavNET" + ann + "PRIVMSG OdaOnTavNET" + hut) && !list.isClassic("Bob") && !list.isClassic("Ned")
                && list.isClassic("Oda"));
        QVERIFY(quit("deeOnTavNET", {}));
        SessionProbe{*session}.skip(LobbyMembers::ClassicGraceMs);
        QVERIFY(!list.classicPresent());
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
    }
    // Refused at registration, or never reached: told, and nothing is tried again.
    void refusedOrUnreachable()
    {
        for (const auto &[line, reason] : {std::pair{"432 * Ann[ :Erroneous nickname", "Ann[: Erroneous nickname"},
                                           {"433 * AnnOnTavNET :Nickname in use", "AnnOnTavNET: Nickname in use"}})
            QVERIFY(deliver(":irc.test.local " + QByteArray(line) + "\r\n") && view.refusal == reason && !view.joinedLook);
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));  // nothing retried
        QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Connected, not in the lobby"));
        server->close();  // nothing listens there any more
        open();
        QTRY_COMPARE(SessionProbe{*session}.socket().state(), int(LobbySocket::Error));
        QVERIFY(!session->outboundLog().text().contains("Sent") && SessionProbe{*session}.socket().waitingLines() == 0);
        QVERIFY(!SessionProbe{*session}.reconnectPending());  // never in: a server that cannot be reached is not hammered
        const ServerAddress down = SessionProbe{*session}.socket().server();
        QCOMPARE(view.outOfLobby, "No server could be reached (" + down.toString() + ": refused)");
        // With a list, the next one is tried at once, and the player sees which one it is.
        server = std::make_unique<ScriptedServer>();
        open({down, server->address()});
        QVERIFY(sent(Registration) && view.server == server->address().toString());
    }
    // A lost link: told, nothing goes out meanwhile, and the reconnection brings the player back
    // under the same name, once the old connection has let it go.
    void lostLinkComesBack()
    {
        QVERIFY(join());
        server->client->disconnectFromHost();
        QTRY_VERIFY(SessionProbe{*session}.reconnectPending());
        QVERIFY(view.chat.last().startsWith(" -=The connection to the server was lost. Reconnecting in ") && !view.canRejoin);
        QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)"));
        session->Player_Click(0), session->Command2_Click(), session->Refresh_Click(), session->QuitButton_Click();
        QVERIFY(!session->Send_Click(QStringLiteral("hello?")) && !SessionProbe{*session}.socket().send(Ch + "late\r\n"));
        QCOMPARE(SessionProbe{*session}.socket().waitingLines(), 0);
        // The name taken on coming back: a stand-in, never the lobby's form, asks whose it is;
        // the old connection (her JOIN's host) or another user is told as it is, and tried again.
        for (const QByteArray host : {"127.0.0.1", "10.9.9.9"}) {
            const QPointer<QTcpSocket> old = server->client;
            SessionProbe{*session}.skip(2 * ConnectionLife::LongestWaitMs);
            QTRY_VERIFY(server->client != old);
            QVERIFY(sent(Registration) && deliver(":irc.test.local 433 * AnnOnTavNET :Nickname in use\r\n") && sent("NICK AnnOnTavNE"));
            QVERIFY(deliver(":irc.test.local 001 AnnOnTavNE4 :Welcome\r\n") && server->waitFor("WHOIS AnnOnTavNET\r\n"));
            QVERIFY(deliver(":irc.test.local 311 AnnOnTavNE4 AnnOnTavNET ~AnnOnTavNET " + host + " * :TavUser\r\n:irc.test.local 318 AnnOnTavNE4 AnnOnTavNET :End\r\n"));
            QVERIFY(std::exchange(server->received, {}) == "WHOIS AnnOnTavNET\r\n" && SessionProbe{*session}.reconnectPending());
            QVERIFY(view.chat.last().contains(host == "127.0.0.1" ? "still held by your old connection" : "another user (10.9.9.9) has taken your nickname"));
        }
        const QPointer<QTcpSocket> refused = server->client;
        SessionProbe{*session}.skip(2 * ConnectionLife::LongestWaitMs);
        QTRY_VERIFY(server->client != refused);
        QVERIFY(sent(Registration) && join());
        QVERIFY(view.chat.last() == " -=Back in the lobby=-" && session->Send_Click(QStringLiteral("back")));
    }
    // A refused line and the server's last word are told as the server said them. A moderated
    // channel does not hear Ann: told once a change, her claim and her launch refused with the
    // reason, a voice lifts it; a claim the channel refused anyway is taken back.
    void refusedAndModerated()
    {
        const QByteArray mode = ":BobOnTavNET!u@h MODE #TavarineNET_3 ", refused = ":irc.test.local 404 AnnOnTavNET #TavarineNET_3 :Cannot send to channel\r\n";
        QVERIFY(join() && session->Send_Click(QStringLiteral("hello")) && sent(Ch + "...TAVCHAT Ann> hello|||\r\n") && deliver(refused));
        QCOMPARE(view.chat.last(), QStringLiteral(" -=Not sent: the server refused your line (Cannot send to channel)=-"));
        QVERIFY(deliver(":irc.test.local 324 AnnOnTavNET #TavarineNET_3 +ntk key\r\n" + mode + "+mlo 9 BobOnTavNET\r\n"));
        QCOMPARE(view.chat.last(), QStringLiteral(" -=The lobby is moderated: the channel does not hear you=-"));
        session->Player_Click(0);
        QVERIFY(view.hutMessages.last().startsWith("The lobby is moderated") && !view.taken(0));
        QVERIFY(deliver(mode + "+lbv 9 x!*@* AnnOnTavNET\r\n") && view.chat.last() == " -=The channel hears you again=-");
        session->Player_Click(0);
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n") && deliver(mode + "-v AnnOnTavNET\r\n"));
        session->LaunchButton_Click();
        QVERIFY(view.launchProblems.last().startsWith("The lobby is moderated") && view.taken(0));
        QVERIFY(deliver(refused) && !view.taken(0));
        QVERIFY(view.chat.last().startsWith(" -=The channel did not hear you take place 1 (Cannot send"));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));  // nothing to take back from others
        QVERIFY(deliver("ERROR :Closing link: server restarting\r\n"));
        QCOMPARE(view.chat.last(), QStringLiteral(" -=The server closes the connection: Closing link: server restarting=-"));
    }
    void hutStory()
    {
        const SessionProbe s{*session};
        QVERIFY(join());
        session->Player_Click(0);
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n") && view.taken(0) && view.places[0].kind == LobbyView::Place::Mine);
        session->Player_Click(3);  // already in the hut
        QVERIFY(view.hostControls && view.inHutMessages == 1 && !view.taken(3));
        // Leaving sends the old place; outside the hut a query goes unanswered.
        session->QuitButton_Click();
        QVERIFY(sent(Ch + "...TAVHUT1EXIT Ann> 1|||\r\n") && s.hut().MyHutSlot() == 0);
        QVERIFY(!view.hostControls && from("bob", "...GETHUTLIST"));
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        // A host with no launcher anywhere is told where the game belongs, before anybody is told anything.
        launcher->hide();
        session->Player_Click(0);
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n"));
        session->LaunchButton_Click();
        QCOMPARE(sentSinceLastCheck(), QByteArray("PONG :x\r\n"));
        QVERIFY(view.launchProblems.size() == 1 && view.launchProblems[0].contains(qgetenv("XDG_DATA_HOME") + "/tavarine-lobby/game"));
        QVERIFY(SessionProbe{*session}.socket().isConnected() && !view.closed && s.hut().MyHutSlot() == 1 && s.hut().HutSlots()[0] == "Ann");
        // A launcher that fails to start once the lines went out: the player is told, and stays, outside the hut.
        launcher.emplace();
        launcher->breakIt();
        session->LaunchButton_Click();
        QVERIFY(sent(Ch + "...TAVHUT1EXIT Ann> 1|||\r\n" + Ch + "...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n" + Ch
                     + "...TAVHUT1EXIT Ann> 0|||\r\n"));
        QVERIFY(view.launchProblems.size() == 2 && view.launchProblems[1].contains("could not be started"));
        QVERIFY(SessionProbe{*session}.socket().isConnected() && !view.closed && s.hut().MyHutSlot() == 0);
        // Closing the lobby stops the timers and sends no QUIT.
        session->closeLobby();
        QVERIFY(!s.wakePending() && server->clientGone() && server->received.isEmpty());
    }
    // The launches that start Ann's game through the socket, whichever way the reads cut the lines
    // (who may steer the hut is the hut model's table, in tst_models).
    void launchStartsTheGame_data()
    {
        QTest::addColumn<QByteArrayList>("steps");  // each one read ("Who: text" lines), or Ann's click on place 2
        const QByteArray hosted = "Bob: ...TAVHUT1 Bob> 1|||", exit = "Bob: ...TAVHUT1EXIT Bob> 1|||",
                         launch = "Bob: ...TAVHUT1LAUNCH Bob> 10.1.2.3|||";
        // The server's witness, the hut channel's operator: a claim it contradicts counts for nothing.
        const QByteArray aside = ":EveOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVHUT1 Eve> 1|||", bobMadeIt =
            ":irc.test.local 353 AnnOnTavNET = #TavarineNET_3-hut :EveOnTavNET @BobOnTavNET\n:irc.test.local 366 AnnOnTavNET #TavarineNET_3-hut :End";
        for (const auto &[name, steps] : {std::pair{"exit and launch in one read", QByteArrayList{hosted, "click", exit + "\n" + launch}},
                                          {"exit and launch in separate reads", {hosted, "click", exit, launch}},
                                          {"witness: a stranger's claim before the host's", {bobMadeIt, aside, hosted, "click", exit, launch}}})
            QTest::newRow(name) << steps;
    }
    void launchStartsTheGame()
    {
        QFETCH(QByteArrayList, steps);
        QVERIFY(join());
        SessionProbe{*session}.skip(HutModel::AnswerWindowMs);
        for (const QByteArray &step : steps)
            QVERIFY(step == "click" ? (session->Player_Click(1), true) : script(step));
        QVERIFY(launcher->waitFor(1) && view.closed);
        QCOMPARE(launcher->starts(), QStringList{"gxexec.exe tav3.exe /j tcp 10.1.2.3 /nAnn /boundip 127.0.0.1"});
    }
    // Ann makes the hut channel: she closes it, lets in whoever sits down, and leaves it with place 1.
    // A member follows only its host's invitation; a refresh asks the server again.
    void hutChannel()
    {
        QVERIFY(join());
        session->Player_Click(0);
        QVERIFY(sent("JOIN #TavarineNET_3-hut\r\n" + Ch + "...TAVHUT1 Ann> 1|||\r\n"));
        QVERIFY(deliver(":" + OwnPrefix + " JOIN :#TavarineNET_3-hut\r\n:irc.test.local 353 AnnOnTavNET = #TavarineNET_3-hut "
                        ":@AnnOnTavNET\r\n:irc.test.local 366 AnnOnTavNET #TavarineNET_3-hut :End of NAMES list\r\n"));
        QVERIFY(sent("MODE #TavarineNET_3-hut +it\r\n") && from("Cy", "...TAVHUT1 Cy> 2|||"));
        QVERIFY(sent("INVITE CyOnTavNET #TavarineNET_3-hut\r\n") && SessionProbe{*session}.hut().attestedHost() == "Ann");
        session->QuitButton_Click();
        QVERIFY(sent(Ch + "...TAVHUT1EXIT Ann> 1|||\r\nPART #TavarineNET_3-hut\r\n") && from("Bob", "...TAVHUT1 Bob> 1|||"));
        session->Player_Click(2);
        QVERIFY(deliver(":EveOnTavNET!u@h INVITE AnnOnTavNET :#TavarineNET_3-hut\r\n:BobOnTavNET!u@h INVITE AnnOnTavNET :#TavarineNET_3-hut\r\n"));
        QVERIFY(server->waitFor("JOIN #TavarineNET_3-hut\r\n") && std::exchange(server->received, {}).count("JOIN") == 1);
        session->Refresh_Click();
        QVERIFY(sent("NAMES #TavarineNET_3-hut\r\n"));
        // Two took place 1 at once: the server made Cy's hut first, so Ann leaves place 1 and is told.
        session->QuitButton_Click();
        QVERIFY(from("Bob", "...TAVHUT1EXIT Bob> 1|||"));
        session->Player_Click(0);
        QVERIFY(deliver(":" + OwnPrefix + " JOIN :#TavarineNET_3-hut\r\n:irc.test.local 353 AnnOnTavNET = #TavarineNET_3-hut "
                        ":AnnOnTavNET @CyOnTavNET\r\n:irc.test.local 366 AnnOnTavNET #TavarineNET_3-hut :End\r\n"));
        QVERIFY(SessionProbe{*session}.hut().MyHutSlot() == 0 && view.chat.last().contains("Cy made the hut first"));
    }
    // A stranger's queries cost one answer; what Ann types keeps its turn and arrives whole, in
    // lines that fit once the server puts her prefix in front. (What a close writes: the queue's
    // test, and the launch under a full queue on real servers.)
    void sendQueue()
    {
        QVERIFY(join());
        session->Player_Click(0);  // waits for the bucket, and the queries' answer behind it
        QVERIFY(script(QByteArrayList(300, "Eve: ...GETHUTLIST").join('\n')) && session->Send_Click(QStringLiteral("after the queries")));
        const QByteArray order = "JOIN #TavarineNET_3-hut\r\n" + Ch + "...TAVHUT1 Ann> 1|||\r\n" + Ch + "...TAVCHAT Ann> after the queries|||\r\n"
            + "PRIVMSG EveOnTavNET :...TAVHUT1 Ann> 1|||\r\n";  // one answer for them all
        QVERIFY(server->waitFor("PRIVMSG EveOnTavNET"));
        QCOMPARE(server->received, order);
        QString words;
        for (int n = 0; words.size() < 1990; ++n)
            words += QStringLiteral(" wörd%1").arg(n);
        const qsizetype before = view.chat.size();
        QVERIFY(session->Send_Click(words.trimmed()));
        QStringList pieces;
        for (const QString &shown : view.chat.mid(before))
            pieces += shown.mid(5);  // after "Ann> "
        for (const QString &piece : pieces) {  // full lines, but for the last
            const QByteArray relayed = ":" + OwnPrefix + " " + LobbyCommands::tavChat("#TavarineNET_3", "Ann", piece.toUtf8());
            QVERIFY2(relayed.size() <= 512 && (relayed.size() > 500 || piece == pieces.last()), relayed.constData());
        }
        QCOMPARE(pieces.join(u' '), words.trimmed());
        QVERIFY(sent(Ch + "...TAVCHAT Ann> " + pieces[0].toUtf8() + "|||\r\n"));
    }
    void silentLinkIsGivenUp()
    {
        QVERIFY(join());
        server->hurried = nullptr;  // the lines wait for the throttle while the probe goes ahead
        SessionProbe{*session}.socket().setIdleProbe(1000, "PING :tavarine-alive\r\n");
        for (int n = 0; n < 8; ++n)  // most of them wait for the throttle
            QVERIFY(session->Send_Click(QString::number(n)));
        // A quiet server that answers the probe keeps the link; the probe goes ahead of waiting lines.
        QVERIFY(server->waitFor("PING :tavarine-alive\r\n") && !server->received.contains("Ann> 7"));
        QVERIFY(sent("PING :tavarine-alive\r\n") && deliver(":irc.test.local PONG irc.test.local :tavarine-alive\r\n"));
        // Silence after a probe: the link is lost, said so, and nothing more is sent.
        QVERIFY(server->waitFor("PING :tavarine-alive\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(SessionProbe{*session}.socket().state(), int(LobbySocket::Error), 10000);
        QVERIFY(!session->Send_Click(QStringLiteral("anyone?")) && server->clientGone());
    }
    void chatListsMessagesAndLinks()
    {
        QVERIFY(join() && session->Send_Click(QStringLiteral("hello")));
        QVERIFY(sent(Ch + "...TAVCHAT Ann> hello|||\r\n") && view.chat.last() == "Ann> hello");
        // One read: each line counts by itself, a line that fails a rule ends only itself, and a
        // line carrying a name counts only from that player in the channel.
        QVERIFY(script(":x!u@h " + Ch + "...GETTAVLIST\nbob: ...TAVCHAT bob> no end\nx: ...TAVCHAT nobracket|||\n"
                       "dee: ...TAVCHAT dee> hi\xe2\x80\xa9" "Eve> fake|||\nbob: ...TAVLIST|||bob|||\nx: ...TAVLIST|||jimbob|||\n"
                       "Mal: ...TAVCHAT Bob> I am Bob|||\n:BobOnTavNET PRIVMSG AnnOnTavNET :...TAVCHAT Bob> aside|||\n"
                       ":MalOnTavNET PRIVMSG AnnOnTavNET :TAVQUIT|||dee\nm: ...TAVMSG Game night|||\n"
                       "Cy: ...TAVCHAT Cy>   padded      \xe3\x80\x80  out\xe2\x80\xae""dab|||")
                && sent("PRIVMSG x :...TAVLIST|||Ann|||\r\n"));
        // One line as said, blanks and direction overrides of no effect.
        QCOMPARE(view.chat.mid(2), (QStringList{"dee> hi Eve> fake", "Cy> padded outdab"}));
        QVERIFY(script("bob: TAVQUIT|||bob") && view.roomMessage == "Game night\r\n\r\n");
        SessionProbe{*session}.skip(LobbyMembers::ListRedrawMs);
        QCOMPARE(view.userListRows, (QStringList{"Cy", "Eve", "Mal", "Zed", "dee", "m"}));
        session->IgnorePlayer("cy", true);  // his row says so; his chat shows no more, under a new name neither
        QVERIFY(view.userListRows.first() == "Cy (ignored)" && from("Cy", "...TAVCHAT Cy> hidden|||"));
        QVERIFY(deliver(":CyOnTavNET!u@h NICK :cY2oNtAvNeT\r\n") && from("CY2", "...TAVCHAT CY2> hidden|||"));
        SessionProbe{*session}.skip(LobbyMembers::ListRedrawMs);
        QVERIFY(view.userListRows.last() == "cY2 (ignored, renamed)");
        // Outside the hut a launch ends the handling of its line: not even the chat around it shows.
        QVERIFY(from("Bob", "...TAVCHAT Bob> look ...TAVHUT1LAUNCH Bob> 10.1.2.3|||") && view.chat.size() == 4);
        // Room messages and links pop up only from a player in the channel, saying so there (the routes
        // around it): not from somebody outside the channel or an ignored player, nor by a notice, privately or as a quit reason.
        view.roomMessage.clear();
        QVERIFY(script(":irc.test.local 332 AnnOnTavNET #TavarineNET_3 :...TAVMSG topic|||\nXy: ...TAVMSG outsider|||\n"
                       "Cy: ...TAVLNK http://a.test/cy|||\n:MalOnTavNET!u@h NOTICE #TavarineNET_3 :...TAVMSG notice|||\n"
                       ":MalOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVLNK http://a.test/private|||\n:MalOnTavNET!u@h NOTICE AnnOnTavNET "
                       ":...TAVMSG aside|||\n:MalOnTavNET!u@h QUIT :...TAVMSG bye|||  ...TAVLNK http://a.test/quit|||"));
        QVERIFY(view.roomMessage.isEmpty() && view.linksAsked.isEmpty());
        // One of each a player per half minute; the rest are counted in one note.
        QVERIFY(from("m", "...TAVMSG again|||") && from("m", "...TAVLNK http://a.test/m|||") && from("m", "...TAVLNK http://a.test/m2|||"));
        QVERIFY(view.roomMessage.isEmpty() && view.linksAsked == QStringList{"http://a.test/m"});
        SessionProbe{*session}.skip(Speakers::HeldBackNoteMs);
        QVERIFY2(view.chat.last().contains("Held back 1 room messages and 1 links"), qPrintable(view.chat.last()));
        // Only a plain web address is asked about; No opens nothing, Yes opens it in the browser.
        QVERIFY(from("dee", "...TAVLNK file:///etc/passwd|||") && from("dee", "...TAVLNK http://a.test/no|||"));
        session->Player_Click(0);  // an unsafe link counts as No: the query in its line is still answered
        QVERIFY(sent(Ch + "...TAVHUT1 Ann> 1|||\r\n") && from("Eve", "...TAVLNK javascript:x GETHUTLIST|||"));
        QVERIFY(sent("PRIVMSG EveOnTavNET :...TAVHUT1 Ann> 1|||\r\n"));
        view.answerLinks = true;
        QVERIFY(from("Eve", "...TAVLNK http://a.test/yes|||"));
        QCOMPARE(view.linksAsked, (QStringList{"http://a.test/m", "http://a.test/no", "http://a.test/yes"}));
        QCOMPARE(view.browsed, QStringList{"http://a.test/yes"});
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
