// The session's models by themselves ("Ann" in lobby 3): each line from the server runs through
// their rules as the session's table runs it, the time is the test's, and what they send is
// recorded. No socket: what needs one is tst_session's.
#include "session/ConnectionLife.h"
#include "session/HutModel.h"
#include "../support/RecordingView.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QByteArray Ch = "#TavarineNET_3";

// Where the models send and show: kept, in order.
struct Recorder : Outbox, RecordingView {
    QByteArrayList sent;
    bool connected() const override { return true; }
    bool send(const QByteArray &line, LineKind, bool) override { return sent.append(line), true; }
    void drop(LineKind) override {}
    void answersOwed() override {}
    QByteArray localIP() const override { return "127.0.0.1"; }
    void closeLobby() override { closed = true; }
    LobbyView &view() override { return *this; }
    bool viewed() const override { return true; }
};

// The models the session wires together, fed line by line.
struct Lobby {
    ServerInfo server;
    Recorder out;
    LobbyMembers members{server, out, "Ann", Ch};
    Speakers speakers{server, members, out, "Ann", Ch};
    HutModel hut{server, members, speakers, out, "Ann", Ch};
    ConnectionLife life{server, out, "Ann", Ch};  // alone: the session wires it to the others
    qint64 now = 0;

    explicit Lobby(const QByteArray &isupport = {})
    {
        if (!isupport.isEmpty())
            server.read005(IrcLine::parse(":irc.test.local 005 AnnOnTavNET " + isupport + " :are supported"));
    }
    // "Who: text" is a channel message from Who's IRC nickname; ":..." a raw line. As read, with its CR LF.
    void line(const QByteArray &text)
    {
        const QByteArray raw = (text.startsWith(':') ? text
            : ":" + text.left(text.indexOf(':')) + "OnTavNET!u@h PRIVMSG " + Ch + " :" + text.mid(text.indexOf(':') + 2)) + "\r\n";
        InboundLine in(raw, 0);
        speakers.classify(in);
        (void)(members.GetTavListRule(in, true) && members.TavListRule(in, true) && members.PresenceRule(in)
               && speakers.PresenceRule(in) && hut.PresenceRule(in, now) && members.DepartureRule(in, true)
               && members.ArrivalRule(in, true) && hut.ArrivalRule(in, true) && hut.LaunchRule(in, now)
               && members.RelistRule(in) && hut.HutExitOrAnnouncementRule(in, now) && hut.HutQueryRule(in, true)
               && members.TavQuitRule(in));
    }
    // One read: its lines, then what fell due.
    void read(const QByteArray &lines)
    {
        for (const QByteArray &l : lines.split('\n'))
            line(l);
        hut.due(now);
    }
    void skip(qint64 ms) { hut.due(now += ms); }
    // In the channel with the others, the answers to Ann's JOIN racing.
    Lobby &joined()
    {
        read(":AnnOnTavNET!~AnnOnTavNET@127.0.0.1 JOIN :" + Ch + "\n:irc.test.local 353 AnnOnTavNET = " + Ch
             + " :AnnOnTavNET @BobOnTavNET CyOnTavNET EveOnTavNET +MalOnTavNET ZedOnTavNET bobOnTavNET deeOnTavNET");
        return *this;
    }
};
}  // namespace

class TestModels : public QObject {
    Q_OBJECT
    QTemporaryDir home;
private slots:
    void initTestCase()
    {
        // No game anywhere: a launch that counts shows up as the problem of starting it.
        qputenv("PATH", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
    }

    // Who may send Ann's hut away, and who may change what she sees of it.
    void hutConsent_data()
    {
        QTest::addColumn<QByteArrayList>("steps");  // each one read, or one of Ann's actions
        QTest::addColumn<QByteArray>("after");      // places 1 to 4 (claimants a|b), Ann's slot, what she was told
        const QByteArray hosted = "Bob: ...TAVHUT1 Bob> 1|||", exit = "Bob: ...TAVHUT1EXIT Bob> 1|||",
                         launch = "Bob: ...TAVHUT1LAUNCH Bob> 10.1.2.3|||", away = "Bob: ...TAVHUT1LAUNCH Bob> 6.6.6.6|||",
                         evesHut = "Eve: ...TAVHUT1 Eve> 1|||\nEve: ...TAVHUT1LAUNCH Eve> 6.6.6.6|||";
        // Bob hosts, Ann takes place 2, then the answers to her JOIN are in.
        const QByteArrayList inBobsHut{hosted, "click", "settle"};
        const auto row = [](const char *name, const QByteArrayList &steps, const char *after) { QTest::newRow(name) << steps << QByteArray(after); };
        const char *launched = ",,,;0;launched";
        // The host goes, a stranger takes his place and launches in the same read: the member left with its host.
        for (const char *gone : {":BobOnTavNET!u@h QUIT :bye", ":BobOnTavNET!u@h PART #TavarineNET_3",
                                 ":EveOnTavNET!u@h KICK #TavarineNET_3 BobOnTavNET :out", ":BobOnTavNET!u@h NICK :BobbyOnTavNET"})
            row(gone, inBobsHut + QByteArrayList{gone + ("\n" + evesHut)}, "Eve,,,;0;left the lobby");
        row("host's exit, a stranger's claim, then the grace runs out", inBobsHut + QByteArrayList{exit,
            "Eve: ...TAVHUT1 Eve> 1|||", "grace", "Eve: ...TAVHUT1LAUNCH Eve> 6.6.6.6|||"}, "Eve,,,;0;without launching");
        row("stranger answers the JOIN before the host", {"Eve: ...TAVHUT1 Eve> 1|||", "click", hosted,
            "Eve: ...TAVHUT1EXIT Eve> 1|||\nEve: ...TAVHUT1LAUNCH Eve> 6.6.6.6|||"}, "Bob,,,;0;nobody can tell");
        row("joining under a contested host", {"Eve: ...TAVHUT1 Eve> 1|||\n" + hosted, "click"}, "Eve|Bob,,,;0");
        row("answers to a refresh race", inBobsHut + QByteArrayList{"Cy: ...TAVHUT1 Cy> 3|||", "refresh",
            "Eve: ...TAVHUT1 Eve> 3|||\nEve: ...TAVHUT1 Eve> 1|||", "Cy: ...TAVHUT1 Cy> 3|||\n" + hosted, "restore",
            "Eve: ...TAVHUT1LAUNCH Eve> 6.6.6.6|||"}, "Bob,Ann,Eve|Cy,;2");
        row("an ignored host", inBobsHut + QByteArrayList{"ignore bob", exit + "\n" + launch}, ",,,;0;You ignore Bob");
        row("stranger speaks for the host", inBobsHut + QByteArrayList{"Eve: ...TAVHUT1EXIT Bob> 1|||\n"
            "Eve: ...TAVHUT1LAUNCH Bob> 6.6.6.6|||", "Mal: ...TAVHUT1 Bob> 3|||"}, "Bob,Ann,,;2");
        row("host's lines privately, or as a notice", inBobsHut + QByteArrayList{
            ":BobOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVHUT1EXIT Bob> 1|||\n"
            ":BobOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVHUT1LAUNCH Bob> 6.6.6.6|||",
            ":BobOnTavNET!u@h NOTICE #TavarineNET_3 :...TAVHUT1LAUNCH Bob> 6.6.6.6|||"}, "Bob,Ann,,;2");
        row("claims on a held place, and on Ann's own", inBobsHut + QByteArrayList{"Cy: ...TAVHUT1 Cy> 3|||",
            "Eve: ...TAVHUT1 Eve> 2|||\nEve: ...TAVHUT1 Eve> 3|||\nEve: ...TAVHUT1 Eve> 1|||", "Eve: ...TAVHUT1EXIT Eve> 2|||",
            "Eve: ...TAVHUT1LAUNCH Eve> 6.6.6.6|||"}, "Bob,Ann,Cy,;2;Eve claims your place 2");
        row("claims sent to Ann alone", inBobsHut + QByteArrayList{":CyOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVHUT1 Cy> 3|||\n"
            ":MalOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVHUT1 Eve> 4|||"}, "Bob,Ann,Cy,;2");
        row("places past 4, and no places", inBobsHut + QByteArrayList{"Eve: ...TAVHUT1 Eve> 0|||\nEve: ...TAVHUT1 Eve> -1|||\n"
            "Eve: ...TAVHUT1 Eve> 12|||\nEve: ...TAVHUT1 Eve> 70000|||\nEve: ...TAVHUT1 Eve> x|||\nEve: ...TAVHUT1 Eve> 5|||"}, "Bob,Ann,,;2");
        row("not a plain address", inBobsHut + QByteArrayList{"Bob: ...TAVHUT1LAUNCH Bob> 127.0.0.1 ; rm -rf ~|||\n"
            "Bob: ...TAVHUT1LAUNCH Bob> -x|||\nBob: ...TAVHUT1LAUNCH Bob> |||"}, "Bob,Ann,,;2");
        row("the host Ann did not choose", {"settle", "Cy: ...TAVHUT1 Cy> 1|||\n" + hosted, "click", exit + "\n" + away}, "Cy,Ann,,;2");
        // The launches that count.
        row("right after someone else's QUIT", inBobsHut + QByteArrayList{":CyOnTavNET!u@h QUIT :bye", exit + "\n" + launch}, launched);
        row("right after Ann refreshed the hut", inBobsHut + QByteArrayList{"refresh", "Eve: ...TAVHUT1 Eve> 1|||", exit, launch}, launched);
        row("the host in other letters", inBobsHut + QByteArrayList{"bob: ...TAVHUT1EXIT bob> 1|||\nbob: ...TAVHUT1LAUNCH BOB> 10.1.2.3|||"}, launched);
        row("a stranger's claim after the answers are in", inBobsHut + QByteArrayList{evesHut, exit, launch}, launched);
        row("two took place 1 at once: Ann saw this one first", {"settle", hosted + "\nCy: ...TAVHUT1 Cy> 1|||", "click", exit, launch}, launched);
        row("the host's exit within the grace", inBobsHut + QByteArrayList{exit, "most of the grace", launch}, launched);
    }
    void hutConsent()
    {
        QFETCH(QByteArrayList, steps);
        QFETCH(QByteArray, after);
        Lobby lobby;
        lobby.joined();
        HutModel &hut = lobby.hut;
        const QHash<QByteArray, std::function<void()>> actions{{"click", [&] { hut.Player_Click(1, true, lobby.now); }},
            {"refresh", [&] { hut.Refresh_Click(lobby.now); }}, {"grace", [&] { lobby.skip(HutModel::ExitGraceMs); }},
            {"most of the grace", [&] { lobby.skip(HutModel::ExitGraceMs - 1); }},
            {"settle", [&] { lobby.skip(HutModel::AnswerWindowMs); }}, {"restore", [&] { lobby.skip(HutModel::RestoreMs); }},
            {"ignore bob", [&] { lobby.speakers.ignore("bob", true), hut.ignored("bob"); }}};
        for (const QByteArray &step : steps)
            actions.contains(step) ? actions[step]() : lobby.read(step);
        QByteArrayList places;
        for (int slot = 1; slot <= 4; ++slot)
            places.append(hut.claimants(slot).join('|'));
        const QByteArrayList expected = after.split(';');
        QCOMPARE(places.join(','), expected[0]);
        QCOMPARE(QByteArray::number(hut.MyHutSlot()), expected[1]);
        const QString told = (lobby.out.chat + lobby.out.launchProblems).join('\n');
        if (expected.size() > 2)  // a member that left was told why, or its game was asked to start
            QVERIFY2(told.contains(expected[2] == "launched" ? "the host started the game" : expected[2]), qPrintable(told));
        else
            QVERIFY2(lobby.out.launchProblems.isEmpty(), qPrintable(told));
        if (hut.MyHutSlot() == 0 && expected.size() > 2)  // and its exit went out
            QVERIFY(lobby.out.sent.join().contains(":...TAVHUT1EXIT Ann> 2|||\r\n"));
        QVERIFY(!lobby.out.closed);  // no game here: whatever came, Ann stays in the lobby
    }

    // Ann's place goes to a newcomer right after her TAVLIST, ahead of older answers; privately
    // while one line reaches them all, else once to the channel. As the session takes them:
    void hutAnswers()
    {
        Lobby lobby;
        lobby.joined().read("Bob: ...TAVHUT1 Bob> 1|||\n:OdaOnTavNET!u@h JOIN " + Ch);
        lobby.hut.Player_Click(1, true, lobby.now);
        const auto next = [&](int targets, int lines) {
            QByteArray sent;
            for (int n = 0; n < lines; ++n) {
                const QByteArray hut = lobby.hut.nextAnswer(targets);
                sent += !hut.isEmpty() ? hut : lobby.members.nextAnswer(targets, [&](const QByteArray &to) { return lobby.hut.owesAnswer(to); });
            }
            return sent;
        };
        lobby.read(":NedOnTavNET!u@h JOIN " + Ch);
        QCOMPARE(next(1, 3), "PRIVMSG NedOnTavNET :...TAVLIST|||Ann|||\r\nPRIVMSG NedOnTavNET :...TAVHUT1 Ann> 2|||\r\n"
                             "PRIVMSG OdaOnTavNET :...TAVLIST|||Ann|||\r\n");
        lobby.read(":PipOnTavNET!u@h JOIN " + Ch + "\n:RioOnTavNET!u@h JOIN " + Ch);
        QCOMPARE(next(1, 3), "PRIVMSG " + Ch + " :...TAVHUT1 Ann> 2|||\r\nPRIVMSG PipOnTavNET :...TAVLIST|||Ann|||\r\n"
                             "PRIVMSG RioOnTavNET :...TAVLIST|||Ann|||\r\n");
    }

    // Who is in the lobby, by the server's reports and the lobby's own lines, and whose names
    // are one under each way a server folds them.
    void members_data()
    {
        QTest::addColumn<QByteArray>("isupport");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("listed");
        const QByteArray names = ":irc.test.local 353 AnnOnTavNET = #TavarineNET_3 :";
        const auto come = [](const char *who) { return ":" + QByteArray(who) + "OnTavNET!u@h JOIN :#TavarineNET_3"; };
        QTest::newRow("status marks") << QByteArray() << QByteArrayList{names + "AnnOnTavNET @+BobOnTavNET ~Cy plain %DeeOnTavNET"} << QByteArray("Bob,Dee");
        QTest::newRow("marks the server announced") << QByteArray("PREFIX=(ov)@+") << QByteArrayList{names + "@BobOnTavNET %DeeOnTavNET"} << QByteArray("Bob,%Dee");
        QTest::newRow("another channel's names") << QByteArray() << QByteArrayList{":irc.test.local 353 AnnOnTavNET = #other :BobOnTavNET"} << QByteArray();
        QTest::newRow("comings and goings") << QByteArray() << QByteArrayList{names + "BobOnTavNET CyOnTavNET DeeOnTavNET EveOnTavNET",
            come("Fay"), ":CyOnTavNET!u@h PART #TavarineNET_3", ":x!u@h KICK #TavarineNET_3 DeeOnTavNET :out", ":EveOnTavNET!u@h QUIT :bye",
            ":BobOnTavNET!u@h PART #other", come("Fay")} << QByteArray("Bob,Fay");
        QTest::newRow("renames") << QByteArray() << QByteArrayList{names + "BobOnTavNET CyOnTavNET", ":BobOnTavNET!u@h NICK :BobbyOnTavNET",
            ":CyOnTavNET!u@h NICK :cy", ":cy!u@h NICK :CyOnTavNET"} << QByteArray("Bobby,Cy");
        QTest::newRow("own join starts the list anew") << QByteArray() << QByteArrayList{come("Bob"), come("Ann"), come("Cy")} << QByteArray("Cy");
        QTest::newRow("TAVQUIT, then listed again as he speaks") << QByteArray() << QByteArrayList{names + "BobOnTavNET CyOnTavNET DeeOnTavNET",
            "Bob: TAVQUIT|||Bob", "Cy: TAVQUIT|||Cy", "Mal: TAVQUIT|||Dee", "Dee: TAVQUIT|||Cy", "Cy: ...TAVCHAT Cy> back|||"} << QByteArray("Cy,Dee");
        QTest::newRow("listed again as he announces himself") << QByteArray() << QByteArrayList{names + "BobOnTavNET", "Bob: TAVQUIT|||Bob",
            ":BobOnTavNET!u@h PRIVMSG AnnOnTavNET :...TAVLIST|||Bob|||"} << QByteArray("Bob");
        // [Bob] and {bob} are one under rfc1459, Cy^ and cy~ too but for strict-rfc1459; under ascii each is a name of its own.
        // (The list's index hashes them as the server folds them: a hash that differed would list one twice.)
        for (const auto &[mapping, listed] : {std::pair{"ascii", "[Bob],Cy^,cy~,{BOB}"}, {"rfc1459", "Cy^,{BOB}"},
                                              {"strict-rfc1459", "Cy^,cy~,{BOB}"}})
            QTest::newRow(mapping) << "CASEMAPPING=" + QByteArray(mapping) << QByteArrayList{come("[Bob]"), come("{bob}"), come("Cy^"),
                come("cy~"), ":{BOB}OnTavNET!u@h NICK :{BOB}ONTAVNET"} << QByteArray(listed);
    }
    void members()
    {
        QFETCH(QByteArray, isupport);
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, listed);
        Lobby lobby(isupport);
        for (const QByteArray &line : lines)
            lobby.line(line);
        QCOMPARE(lobby.members.rows().join(','), listed);
    }

    // The stages and what the caption says of each (after "Tavarine IRC Client, ").
    void stages_data()
    {
        QTest::addColumn<QByteArrayList>("steps");  // a line from the server, or what happened to the link
        QTest::addColumn<ConnectionLife::Stage>("stage");
        QTest::addColumn<QString>("caption");
        using S = ConnectionLife::Stage;
        const QByteArray up = "connected", welcome = ":irc.test.local 001 AnnOnTavNET :Welcome", in = ":AnnOnTavNET!u@h JOIN :#TavarineNET_3";
        const QString out = "Connected, not in the lobby", inLobby = "Connected, Logged in As: Ann in Lobby: 3", gone = "Dis-Connected";
        QTest::newRow("dialing") << QByteArrayList{"connecting"} << S::Connecting << QString("Connecting");
        QTest::newRow("registering") << QByteArrayList{up} << S::Registering << out;
        QTest::newRow("welcomed") << QByteArrayList{up, welcome} << S::Joining << out;
        QTest::newRow("joined") << QByteArrayList{up, welcome, in} << S::Joined << inLobby;
        QTest::newRow("welcomed again") << QByteArrayList{up, welcome, in, welcome} << S::Joined << inLobby;
        QTest::newRow("kicked") << QByteArrayList{up, welcome, in, ":Eve!u@h KICK #TavarineNET_3 AnnOnTavNET :go"} << S::Kicked << out;
        QTest::newRow("another kicked") << QByteArrayList{up, welcome, in, ":Eve!u@h KICK #TavarineNET_3 BobOnTavNET :go"} << S::Joined << inLobby;
        QTest::newRow("refused at the door") << QByteArrayList{up, welcome, ":irc.test.local 474 AnnOnTavNET #TavarineNET_3 :Banned"} << S::Refused << out;
        QTest::newRow("another door") << QByteArrayList{up, welcome, ":irc.test.local 474 AnnOnTavNET #other :Banned"} << S::Joining << out;
        QTest::newRow("lost") << QByteArrayList{up, welcome, in, "lost"} << S::Reconnecting << gone;
        QTest::newRow("closed by the server") << QByteArrayList{up, welcome, in, "closed"} << S::Reconnecting << gone + " (Server has kicked you)";
        QTest::newRow("never reached") << QByteArrayList{"lost"} << S::Connecting << gone;
        QTest::newRow("closing") << QByteArrayList{up, welcome, in, "closing", "lost"} << S::Closing << QString("Not Connected");
    }
    void stages()
    {
        QFETCH(QByteArrayList, steps);
        Lobby l;
        for (const QByteArray &step : steps) {
            const QByteArray raw = step + "\r\n";
            const InboundLine line(raw, 0);
            if (step == "connecting" || step == "connected")
                l.life.socketState(step == "connected" ? 7 : 6);
            if (step == "connected")
                l.life.connected();
            else if (step == "lost" || step == "closed")
                l.life.socketState(0), l.life.lost(step == "lost" ? ConnectionLife::Loss::Error : ConnectionLife::Loss::ClosedByServer, 0.5, 0);
            else if (step == "closing")
                l.life.closing();
            else
                (void)(l.life.RegistrationStep(line, 0) && l.life.ChannelStateRule(line));
        }
        QTEST(l.life.stage(), "stage");
        QFETCH(QString, caption);
        QCOMPARE(l.life.caption(), "Tavarine IRC Client, " + caption);
    }

    // Each server in turn until one answers; a lost link comes back to the one that worked.
    void failOver()
    {
        Lobby l;
        ConnectionLife &life = l.life;
        QSignalSpy told(&life, &ConnectionLife::leftLobby);
        const QList<ServerAddress> list{{"a.test"}, {"b.test"}, {"c.test"}};
        life.setServers(list);
        QVERIFY(life.failOver("refused") && life.server() == list[1] && life.failOver("timed out") && life.server() == list[2]);
        QVERIFY(!life.failOver("unknown") && life.server() == list[0]);
        QCOMPARE(told.value(0).value(0).toString(), QString("No server could be reached (a.test: refused; b.test: timed out; c.test: unknown)"));
        QVERIFY(life.failOver("refused") && life.server() == list[1]);
        life.connected();  // b answers
        QVERIFY(life.failOver("refused") && life.server() == list[2] && life.failOver("refused"));
        QVERIFY(!life.failOver("refused") && life.server() == list[1] && told.size() == 1);  // been in: nothing more to tell
    }

    // The waits after lost links: from half to one and a half of 2 s, 4 s, 8 s ... at most 60 s,
    // whatever the draw; and 2 s again once back in.
    void backoff()
    {
        QRandomGenerator random(20261207);
        QList<double> draws{0, 0.5, 0.9999999};
        for (int n = 0; n < 1000; ++n)
            draws.append(random.generateDouble());
        Lobby l;
        ConnectionLife &life = l.life;
        life.connected();
        for (qsizetype i = 0; i < draws.size(); ++i) {
            const int attempt = int(i % 10), base = std::min(60000, 2000 << attempt);
            if (attempt == 0)
                life.joined();
            const int wait = life.lost(ConnectionLife::Loss::Error, draws[i], 1000);
            QVERIFY2(wait >= base / 2 && wait < base + base / 2, qPrintable(QStringLiteral("%1 after %2 losses").arg(wait).arg(attempt)));
            QCOMPARE(life.nextDue(), 1000 + wait);
        }
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
