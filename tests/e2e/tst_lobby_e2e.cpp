// Lobby commands between several sessions and other IRC clients, on a real server.
#include "Crowd.h"
#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "StandInLauncher.h"
#include "session/LobbySession.h"
#include "protocol/LobbyCommands.h"
#include "protocol/UserList.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace Crowd;

namespace {
bool ownNameListed(const LobbySession &s)
{
    return UserList::isListed(s.state().UserListText, s.state().Nickname);
}
}  // namespace

class TestLobbyE2E : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void userListsFillAndRebuild();
    void chatReachesEveryone();
    void roomMessagesAndLinks();

private:
    StandInLauncher launcher;  // first on PATH while the tests run
    std::unique_ptr<RealIrcServer> server;
};

void TestLobbyE2E::initTestCase()
{
    QVERIFY(launcher.isValid());
}

void TestLobbyE2E::init()
{
    server = std::make_unique<RealIrcServer>();
    QVERIFY2(server->start(), qPrintable(server->errorString()));
}

void TestLobbyE2E::userListsFillAndRebuild()
{
    Lobby lobby;
    QVERIFY(enter(lobby, *server, {"Ann", "bob", "jimbob", "Cy"}));
    for (auto &s : lobby.sessions)
        QVERIFY2(!ownNameListed(*s), s->state().Nickname);
    LobbySession &ann = lobby.at("Ann");
    ann.Timer2_Timer();
    QStringList rows = lobby.view("Ann").userListRows;
    rows.sort();
    QCOMPARE(rows, (QStringList{"Cy", "bob", "jimbob"}));

    ann.Command2_Click();
    QVERIFY(ann.state().UserListText.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(holdsOthers(ann, lobby.names), Wait);
    QVERIFY(!ownNameListed(ann));

    // Cy's window closes: the others rebuild their lists from the announcements.
    lobby.at("Cy").Form_Unload();
    const QByteArrayList stay{"Ann", "bob", "jimbob"};
    for (const QByteArray &name : stay) {
        const LobbySession &s = lobby.at(name);
        QTRY_VERIFY_WITH_TIMEOUT(!UserList::isListed(s.state().UserListText, "Cy") && holdsOthers(s, stay), Wait);
        QVERIFY(!ownNameListed(s));
    }

    // Anybody may post TAVQUIT; only the named entry goes, not jimbob that ends with it.
    PlainIrcClient dan("Dan");
    QVERIFY(enter(dan, *server));
    for (const QByteArray &name : stay)  // the announcements for Dan's arrival are through
        QVERIFY(dan.waitForReceived("...TAVLIST|||" + name + "|||", Wait));
    dan.sendRaw(LobbyCommands::tavQuit(Channel, "bob"));
    for (const QByteArray &name : stay) {
        const LobbySession &s = lobby.at(name);
        QTRY_VERIFY_WITH_TIMEOUT(s.state().InboundLog.text().contains("TAVQUIT|||bob"), Wait);
        QVERIFY(!UserList::isListed(s.state().UserListText, "bob"));
        QVERIFY(holdsOthers(s, {"Ann", "jimbob"}));
    }
}

void TestLobbyE2E::chatReachesEveryone()
{
    Lobby lobby;
    QVERIFY(enter(lobby, *server, {"Ann", "bob", "Cy"}));
    QVERIFY(lobby.at("Ann").Send_Click(QStringLiteral("hello")));
    QCOMPARE(lobby.view("Ann").chat.last(), QStringLiteral("Ann> hello"));
    for (const QByteArray name : {"bob", "Cy"})
        QTRY_VERIFY_WITH_TIMEOUT(lobby.view(name).chat.contains(QStringLiteral("Ann> hello")), Wait);

    QVERIFY(lobby.at("bob").Send_Click(QStringLiteral("Zoë grüßt")));
    QTRY_VERIFY_WITH_TIMEOUT(lobby.view("Ann").chat.contains(QStringLiteral("bob> Zoë grüßt")), Wait);

    // Another IRC client speaking the lobby's chat is shown and listed like a session.
    PlainIrcClient dan("Dan");
    QVERIFY(enter(dan, *server));
    dan.sendRaw(LobbyCommands::tavChat(Channel, "Dan", "hi"));
    for (auto &s : lobby.sessions) {
        QTRY_VERIFY_WITH_TIMEOUT(lobby.view(s->state().Nickname).chat.contains(QStringLiteral("Dan> hi")), Wait);
        QVERIFY(UserList::isListed(s->state().UserListText, "Dan"));
    }

    // Typed line breaks must not smuggle an IRC command onto Ann's connection.
    QVERIFY(lobby.at("Ann").Send_Click(QStringLiteral("x\r\nQUIT")));
    QCOMPARE(lobby.view("Ann").chat.last(), QStringLiteral("Ann> xQUIT"));
    QVERIFY(dan.waitForReceived(" :...TAVCHAT Ann> xQUIT|||\r\n", Wait));
    QVERIFY(lobby.at("Ann").Send_Click(QStringLiteral("still here")));
    for (const QByteArray name : {"bob", "Cy"}) {
        const RecordingView &view = lobby.view(name);
        QTRY_VERIFY_WITH_TIMEOUT(view.chat.contains(QStringLiteral("Ann> still here")), Wait);
        QVERIFY(view.chat.contains(QStringLiteral("Ann> xQUIT")));
    }
    for (auto &s : lobby.sessions) {
        QCOMPARE(s->socket().state(), int(LobbySocket::Connected));
        QVERIFY(!s->state().InboundLog.text().contains(" QUIT "));
        QVERIFY(holdsOthers(*s, lobby.names + QByteArrayList{"Dan"}));
    }
}

void TestLobbyE2E::roomMessagesAndLinks()
{
    Lobby lobby;
    QVERIFY(enter(lobby, *server, {"Ann", "bob"}));
    PlainIrcClient eve("Eve");
    QVERIFY(enter(eve, *server));

    eve.sendRaw(LobbyCommands::tavMsg(Channel, "Game night at 8"));
    for (auto &view : lobby.views) {
        QTRY_COMPARE_WITH_TIMEOUT(view->beeps, 1, Wait);
        QCOMPARE(view->roomMessage, QStringLiteral("Game night at 8\r\n\r\n"));
    }
    eve.sendRaw(LobbyCommands::tavMsg(Channel, "Moved to 9"));
    for (auto &view : lobby.views) {
        QTRY_COMPARE_WITH_TIMEOUT(view->beeps, 2, Wait);
        QCOMPARE(view->roomMessage, QStringLiteral("Moved to 9\r\n\r\n"));
    }

    // Asked everywhere; started only where the answer is yes, with exactly two arguments.
    const QString page = QStringLiteral("http://example.test/page");
    eve.sendRaw(LobbyCommands::tavLnk(Channel, page.toUtf8()));
    for (auto &view : lobby.views)
        QTRY_COMPARE_WITH_TIMEOUT(view->linksAsked, QStringList{page}, Wait);
    lobby.view("Ann").answerLinks = true;
    eve.sendRaw(LobbyCommands::tavLnk(Channel, page.toUtf8()));
    for (auto &view : lobby.views)
        QTRY_COMPARE_WITH_TIMEOUT(view->linksAsked.size(), 2, Wait);
    QVERIFY(launcher.waitForStarts(1, Wait));
    QCOMPARE(launcher.starts(), (QList<QStringList>{{"iexplore.exe", page}}));

    // Hostile links end only their own line: the chat line after them in the same write is shown.
    // ngircd cuts a line at a bare CR, so BEL stands for the control characters that get through.
    QByteArray hostile = "PRIVMSG " + Channel + " :...TAVLNK http://a\rb|||\r\n";
    for (const char *link : {"http://x/ ; rm -rf ~", "file:///etc/passwd", "-x", "http://a\ab"})
        hostile += LobbyCommands::tavLnk(Channel, link);
    eve.sendRaw(hostile + LobbyCommands::tavChat(Channel, "Eve", "still here"));
    for (auto &view : lobby.views) {
        QTRY_VERIFY_WITH_TIMEOUT(view->chat.contains(QStringLiteral("Eve> still here")), Wait);
        QCOMPARE(view->linksAsked.size(), 2);
    }
    // A later good link flushes out any start the hostile ones might have made.
    eve.sendRaw(LobbyCommands::tavLnk(Channel, "https://example.test/two"));
    QVERIFY(launcher.waitForStarts(2, Wait));
    QCOMPARE(launcher.starts(),
             (QList<QStringList>{{"iexplore.exe", page}, {"iexplore.exe", "https://example.test/two"}}));
}

QTEST_GUILESS_MAIN(TestLobbyE2E)
#include "tst_lobby_e2e.moc"
