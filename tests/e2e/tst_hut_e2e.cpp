// The hut and the game launch between several sessions and other IRC clients, on a real server.
#include "Crowd.h"
#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "StandInLauncher.h"
#include "session/LobbySession.h"
#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"
#include "protocol/UserList.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace Crowd;

namespace {
QByteArrayList places(const LobbySession &s)
{
    const auto &hut = s.state().HutSlots;
    return {hut[0], hut[1], hut[2], hut[3]};
}

// Each place as the view shows it: its tooltip when taken, "-" when free, "*" for the own place `own`.
QStringList shown(const RecordingView &v, int own = -1)
{
    QStringList out;
    for (int i = 0; i < 4; ++i)
        out << (!v.taken[i] ? QStringLiteral("-") : i == own ? QStringLiteral("*") : v.toolTips[i]);
    return out;
}

QStringList expected(const QByteArrayList &holders, const QByteArray &self, const QString &ownMark = "You")
{
    QStringList out;
    for (const QByteArray &h : holders)
        out << (h.isEmpty() ? QStringLiteral("-") : h == self ? ownMark : QString::fromUtf8(h));
    return out;
}

const QByteArrayList NoOne(4);
}  // namespace

class TestHutE2E : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void placesAgreeAndHostLaunches();
    void launchLineFromAnyoneIsObeyedOnlyByMembers();

private:
    std::unique_ptr<StandInLauncher> launcher;  // first on PATH before any session starts
    std::unique_ptr<RealIrcServer> server;
};

void TestHutE2E::init()
{
    launcher = std::make_unique<StandInLauncher>();
    QVERIFY(launcher->isValid());
    server = std::make_unique<RealIrcServer>();
    QVERIFY2(server->start(), qPrintable(server->errorString()));
}

void TestHutE2E::cleanup()
{
    server.reset();
    launcher.reset();
}

void TestHutE2E::placesAgreeAndHostLaunches()
{
    Lobby lobby;
    QVERIFY(enter(lobby, *server, {"Ann", "Bob", "Cy", "Dee"}));
    for (auto &s : lobby.sessions)
        s->Timer5.stop();  // own places come back only when the test restores them
    LobbySession &ann = lobby.at("Ann"), &bob = lobby.at("Bob"), &dee = lobby.at("Dee");
    RecordingView &annView = lobby.view("Ann"), &bobView = lobby.view("Bob"), &deeView = lobby.view("Dee");

    ann.Player_Click(0);
    bob.Player_Click(2);
    lobby.at("Cy").Player_Click(3);
    const QByteArrayList all{"Ann", "", "Bob", "Cy"};
    for (std::size_t i = 0; i < lobby.sessions.size(); ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(places(*lobby.sessions[i]), all, Wait);
        QCOMPARE(shown(*lobby.views[i]), expected(all, lobby.names[i]));
    }
    ann.Timer1_Timer();
    bob.Timer1_Timer();
    QVERIFY(annView.hostControls && !bobView.hostControls);

    bob.Player_Click(1);  // already in the hut
    QCOMPARE(bobView.inHutMessages, 1);
    QCOMPARE(bob.state().MyHutSlot, 3);
    QCOMPARE(places(bob), all);
    QCOMPARE(shown(bobView), expected(all, "Bob"));

    // Refresh empties the panel at once; the members' answers fill it again.
    dee.Refresh_Click();
    QCOMPARE(places(dee), NoOne);
    QCOMPARE(shown(deeView), QStringList(4, "-"));
    QTRY_COMPARE_WITH_TIMEOUT(places(dee), all, Wait);
    QCOMPARE(shown(deeView), expected(all, "Dee"));
    QVERIFY(!dee.state().InboundLog.text().contains("...TAVHUT1 Bob> 2|||"));  // Bob's answer followed any such claim

    ann.Refresh_Click();
    QTRY_COMPARE_WITH_TIMEOUT(places(ann), (QByteArrayList{"", "", "Bob", "Cy"}), Wait);
    QVERIFY(!annView.taken[0]);
    ann.Timer5_Timer();
    QCOMPARE(places(ann), all);
    QCOMPARE(shown(annView), expected(all, "Ann"));

    // Cy's window closes: every panel is cleared and rebuilt from the members' re-announcements.
    lobby.at("Cy").Form_Unload();
    const QByteArrayList rest{"Ann", "", "Bob", ""};
    for (const QByteArray name : {"Ann", "Bob", "Dee"}) {
        LobbySession &s = lobby.at(name);
        const int own = s.state().MyHutSlot - 1;
        QByteArrayList others = rest;
        if (own >= 0)
            others[own].clear();
        QTRY_COMPARE_WITH_TIMEOUT(places(s), others, Wait);
        s.Timer5_Timer();
        QCOMPARE(places(s), rest);
        QCOMPARE(shown(lobby.view(name), own), expected(rest, name, "*"));
    }

    QSignalSpy annClosed(&ann, &LobbySession::lobbyClosed);
    QSignalSpy bobClosed(&bob, &LobbySession::lobbyClosed);
    QSignalSpy deeClosed(&dee, &LobbySession::lobbyClosed);
    ann.LaunchButton_Click();
    QVERIFY(launcher->waitForStarts(2, Wait));
    QStringList lines = launcher->commandLines();
    lines.sort();
    QCOMPARE(lines, (QStringList{"gxexec.exe tav3.exe /h tcp /nAnn /boundip 127.0.0.1",
                                 "gxexec.exe tav3.exe /j tcp 127.0.0.1 /nBob /boundip 127.0.0.1"}));
    QCOMPARE(annClosed.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(bobClosed.count(), 1, Wait);
    QVERIFY(annView.closed && bobView.closed);

    // The outsider stays: it sees both leave and still gets chat; a late start would be recorded by now.
    PlainIrcClient eve("Eve");
    QVERIFY(enter(eve, *server));
    eve.sendRaw(LobbyCommands::tavChat(Channel, "Eve", "anyone?"));
    QTRY_VERIFY_WITH_TIMEOUT(deeView.chat.contains("Eve> anyone?"), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(places(dee), NoOne, Wait);
    QCOMPARE(shown(deeView), QStringList(4, "-"));
    QCOMPARE(launcher->starts().size(), 2);
    QCOMPARE(deeClosed.count(), 0);
    QVERIFY(!deeView.closed && !deeView.loginShown);
    QVERIFY(dee.socket().isConnected());
}

void TestHutE2E::launchLineFromAnyoneIsObeyedOnlyByMembers()
{
    Lobby lobby;
    QVERIFY(enter(lobby, *server, {"Ann", "Bob", "Dee"}));
    PlainIrcClient mallory("Mallory");
    QVERIFY(enter(mallory, *server));
    LobbySession &ann = lobby.at("Ann"), &bob = lobby.at("Bob");
    QSignalSpy annClosed(&ann, &LobbySession::lobbyClosed);

    // Only Ann holds a place. Once she has launched, a second launch in the same write starts
    // nothing more; the chat after them shows the others have read both.
    ann.Player_Click(2);
    mallory.sendRaw(LobbyCommands::tavHut1Launch(Channel, "Mallory", "127.0.0.9")
                    + LobbyCommands::tavHut1Launch(Channel, "Mallory", "127.0.0.8")
                    + LobbyCommands::tavChat(Channel, "Mallory", "go"));
    QVERIFY(launcher->waitForStarts(1, Wait));
    for (const QByteArray name : {"Bob", "Dee"})
        QTRY_VERIFY_WITH_TIMEOUT(lobby.view(name).chat.contains("Mallory> go"), Wait);
    QCOMPARE(launcher->commandLines(),
             QStringList{"gxexec.exe tav3.exe /j tcp 127.0.0.9 /nAnn /boundip 127.0.0.1"});
    QCOMPARE(annClosed.count(), 1);
    QCOMPARE(ann.socket().state(), int(LobbySocket::Closed));
    for (const QByteArray name : {"Bob", "Dee"}) {
        QVERIFY(lobby.at(name).socket().isConnected());
        QVERIFY(!lobby.view(name).closed && !lobby.view(name).loginShown);
    }

    // A hostile address sent to a member is dropped; the same line with a plain address is obeyed.
    // Ann's departure clears Bob's panel, so Bob takes his place after it.
    QTRY_VERIFY_WITH_TIMEOUT(bob.state().InboundLog.text().contains(" QUIT :"), Wait);
    bob.Player_Click(1);
    const QByteArray toBob = RegistrationLines::ircNickname("Bob");
    mallory.sendRaw(LobbyCommands::tavHut1Launch(toBob, "Mallory", "127.0.0.1; rm -rf ~")
                    + LobbyCommands::tavChat(toBob, "Mallory", "still there?"));
    QTRY_VERIFY_WITH_TIMEOUT(lobby.view("Bob").chat.contains("Mallory> still there?"), Wait);
    QCOMPARE(bob.state().MyHutSlot, 2);
    QCOMPARE(bob.state().HutSlots[1], QByteArray("Bob"));
    QVERIFY(bob.socket().isConnected());
    QVERIFY(!lobby.view("Bob").closed && !lobby.view("Bob").loginShown);
    QCOMPARE(launcher->starts().size(), 1);

    mallory.sendRaw(LobbyCommands::tavHut1Launch(toBob, "Mallory", "127.0.0.2"));
    QVERIFY(launcher->waitForStarts(2, Wait));
    QCOMPARE(launcher->commandLines().last(), "gxexec.exe tav3.exe /j tcp 127.0.0.2 /nBob /boundip 127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(lobby.view("Bob").closed, Wait);
}

QTEST_GUILESS_MAIN(TestHutE2E)
#include "tst_hut_e2e.moc"
