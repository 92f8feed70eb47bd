// The real windows, clicked and typed into under the offscreen platform.
#include "ScriptedServer.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LoginForm.h"
#include "ui/NewsForm.h"
#include "ui/ClickArea.h"
#include "ui/WindowSet.h"

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int Wait = 10000;
}

class TestWindowPath : public QObject {
    Q_OBJECT
private slots:
    void nicknameLobbyAndConnectedCaption();
    void loginRefusesWhatNoServerTakes();
    void exitEndsTheProgram();
};

void TestWindowPath::nicknameLobbyAndConnectedCaption()
{
    ScriptedServer server;
    QVERIFY(server.listen());
    WindowSet windows({server.host(), server.port()});
    QSignalSpy ended(&windows, &WindowSet::programEnded);
    windows.start();
    QPointer<LoginForm> login = windows.loginForm();
    QVERIFY(QTest::qWaitForWindowExposed(login));

    QTest::keyClick(login->NICKNAMEBOX, Qt::Key_Return);  // empty: nothing happens
    QVERIFY(login->isVisible() && !windows.lobbySelect());

    QTest::keyClicks(login->NICKNAMEBOX, QStringLiteral("Ann"));
    QTest::keyClick(login->NICKNAMEBOX, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!login, Wait);  // unloaded
    LobbySelect *select = windows.lobbySelect();
    QVERIFY(select && select->isVisible());

    QPointer<LobbySelect> selectGuard = select;
    QTest::mouseClick(select->LobbySel[3], Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!selectGuard, Wait);
    Lobby *lobby = windows.lobby();
    QVERIFY(lobby && lobby->isVisible());
    QCOMPARE(windows.session()->state().ChannelName, QByteArray("#TavarineNET_3"));
    QVERIFY(lobby->Connection->isVisible());
    QVERIFY(!lobby->Send->isEnabled());

    QVERIFY(server.waitForReceived("USER AnnOnTavNET", Wait));
    QTest::keyClicks(lobby->SendBox, QStringLiteral("early"));
    QTest::keyClick(lobby->SendBox, Qt::Key_Return);  // Send is not enabled yet
    QCOMPARE(lobby->SendBox->text(), QStringLiteral("early"));
    lobby->SendBox->clear();
    server.send(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(lobby->Send->isEnabled(), Wait);
    QVERIFY(!lobby->Connection->isVisible());
    QCOMPARE(lobby->ChatBox->palette().color(QPalette::Base), QColor(Qt::white));
    QTRY_COMPARE_WITH_TIMEOUT(lobby->windowTitle(),
                              QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3"), Wait);


    // Chat: Enter sends, the line is echoed and the box emptied.
    server.clearReceived();
    QTest::keyClicks(lobby->SendBox, QStringLiteral("hello"));
    QTest::keyClick(lobby->SendBox, Qt::Key_Return);
    QVERIFY(server.waitForReceived("PRIVMSG #TavarineNET_3 :...TAVCHAT Ann> hello|||\r\n", Wait));
    QVERIFY(lobby->SendBox->text().isEmpty());
    QVERIFY(lobby->ChatBox->toPlainText().endsWith(QStringLiteral("\nAnn> hello")));
    QCOMPARE(lobby->ChatBox->textCursor().position(), lobby->ChatBox->document()->characterCount() - 1);

    // Room messages: shown modeless, the second replacing the first.
    server.send(":d!d@h PRIVMSG #TavarineNET_3 :...TAVMSG first|||\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(lobby->newsForm() && lobby->newsForm()->isVisible(), Wait);
    server.send(":d!d@h PRIVMSG #TavarineNET_3 :...TAVMSG second one|||\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(lobby->newsForm()->MSG->toPlainText(), QStringLiteral("second one\n\n"), Wait);

    // A posted link is asked about with Yes and No; No starts nothing.
    server.send(":d!d@h PRIVMSG #TavarineNET_3 :...TAVLNK http://example.test/x|||\r\n");
    QMessageBox *question = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((question = lobby->findChild<QMessageBox *>(QStringLiteral("LinkQuestion"))), Wait);
    QCOMPARE(question->windowTitle(), QStringLiteral("TavarineNET IRC"));
    QCOMPARE(question->text(), QStringLiteral("A Link has been posted.. Visit Page:\nhttp://example.test/x?"));
    QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    question->button(QMessageBox::No)->click();

    lobby->close();
    QCOMPARE(ended.count(), 1);
    QVERIFY(server.waitForDisconnected(Wait));
    QVERIFY(!server.received().contains("QUIT"));
}

void TestWindowPath::loginRefusesWhatNoServerTakes()
{
    WindowSet windows({QStringLiteral("127.0.0.1"), 1});
    windows.start();
    LoginForm *login = windows.loginForm();
    QTest::keyClicks(login->NICKNAMEBOX, QStringLiteral("Ann Lee"));
    QTest::mouseClick(login->Command1, Qt::LeftButton);
    auto *box = login->findChild<QMessageBox *>(QStringLiteral("NicknameRefused"));
    QVERIFY(box && box->isVisible());
    QVERIFY(box->text().contains(QStringLiteral("[ ] \\ ` _ ^ { | } -")));
    QVERIFY(login->isVisible() && !windows.lobbySelect());
    box->accept();
}

void TestWindowPath::exitEndsTheProgram()
{
    WindowSet windows({QStringLiteral("127.0.0.1"), 1});
    QSignalSpy ended(&windows, &WindowSet::programEnded);
    windows.start();
    QTest::mouseClick(windows.loginForm()->Command2, Qt::LeftButton);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!windows.lobbySelect() && !windows.lobby());
}

QTEST_MAIN(TestWindowPath)
#include "tst_window_path.moc"
