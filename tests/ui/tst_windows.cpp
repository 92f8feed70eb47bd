// The real windows under the offscreen platform, clicked where a person clicks: at a point
// of the top-level window, the press going to whatever widget lies there.
#include "Fixtures.h"
#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/NewsForm.h"
#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

// Clicks the middle of the control as drawn (clipped by its parents) on whatever widget the
// window has at that point; returns that widget's name.
static QString clickAt(QWidget *control)
{
    QRect r = control->rect();
    for (QWidget *w = control; !w->isWindow(); w = w->parentWidget())
        r = r.translated(w->pos()) & w->parentWidget()->rect();
    QWidget *window = control->window(), *target = window->childAt(r.center());
    target = target ? target : window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, r.center()));
    return target->objectName();
}

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void clickThrough_data()
    {
        QTest::addColumn<QString>("control");  // window.name or window.name(index)
        QTest::addColumn<QByteArray>("effect");  // what shows the handler ran: a line sent, or a window state
        const QByteArray p = "PRIVMSG #TavarineNET_3 :...";
        auto row = [](const QString &control, const QByteArray &e) { QTest::newRow(qPrintable(control)) << control << e; };
        row("LoginForm.Command1", "LobbySelect shown");  // &Login
        row("LoginForm.Command2", "program ended");  // &Exit
        for (int i = 0; i < 5; ++i)
            row(QStringLiteral("LobbySelect.LobbySel(%1)").arg(i), "#TavarineNET_" + QByteArray::number(i));
        for (int i = 0; i < 4; ++i)
            row(QStringLiteral("Lobby.Player(%1)").arg(i), p + "TAVHUT1 Ann> " + QByteArray::number(i + 1) + "|||");
        row("Lobby.QuitButton", p + "TAVHUT1EXIT Ann> 1|||");  // in the hut
        row("Lobby.Refresh", p + "GETHUTLIST");
        row("Lobby.LaunchButton", p + "TAVHUT1LAUNCH Ann> 127.0.0.1|||");  // as host
        row("Lobby.Command2", p + "GETTAVLIST");  // &Refresh Users
        row("Lobby.Send", p + "TAVCHAT Ann> hi|||");
        row("Lobby.Command1", "LogFrm shown");  // View Log, on the Connection panel until the join
    }
    // Each row walks the window path by clicks as far as its window; the lobby rows join and
    // check the caption on the way.
    void clickThrough()
    {
        QFETCH(QString, control);
        QFETCH(QByteArray, effect);
        const QString name = control.section(u'.', 1).section(u'(', 0, 0);
        StandInLauncher launcher;  // the launch row starts the game
        ScriptedServer server;
        WindowSet windows(server.address());
        QSignalSpy ended(&windows, &WindowSet::programEnded);
        windows.start();
        QWidget *window = windows.loginForm();
        QTest::keyClicks(windows.loginForm()->NICKNAMEBOX, QStringLiteral("Ann"));
        if (!control.startsWith("LoginForm")) {
            clickAt(windows.loginForm()->Command1);
            QVERIFY((window = windows.lobbySelect()));
        }
        if (control.startsWith("Lobby.")) {
            clickAt(windows.lobbySelect()->LobbySel[3]);
            QVERIFY((window = windows.lobby()) && server.waitFor("USER AnnOnTavNET"));
            if (name != "Command1") {
                server.client->write(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
                QVERIFY(server.waitFor("MODE #TavarineNET_3\r\n"));
                server.client->write(":AnnOnTavNET!u@h JOIN :#TavarineNET_3\r\n");
                QTRY_VERIFY(windows.session()->life().inLobby());
                windows.session()->Timer1_Timer();
                QCOMPARE(window->windowTitle(), "Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3");
            }
            if (name == "QuitButton" || name == "LaunchButton") {
                windows.session()->Player_Click(0);  // the first place: the host's
                windows.session()->Timer1_Timer();
            }
            windows.lobby()->SendBox->setText(QStringLiteral("hi"));
        }
        // What the user did shows at once, behind the chat that came in before it.
        const QString own = !control.startsWith("Lobby.") ? QString()
                          : name == "Send" ? "Ann> hi"
                          : name == "Command2" ? " -=Refreshing User List=-"
                          : name == "Refresh" ? " -=Refreshing Hut #1=-" : QString();
        if (!own.isEmpty())
            windows.lobby()->appendChat(QStringLiteral("bob> before"));
        QStringList hit;  // the widget that got the click
        for (QWidget *w : window->findChildren<QWidget *>(name))
            if (!control.contains(u'(') || control.endsWith(QStringLiteral("(%1)").arg(w->property("Index").toInt())))
                hit << clickAt(w);
        QCOMPARE(hit.size(), 1);
        if (!own.isEmpty()) {
            const ChatView *box = windows.lobby()->ChatBox;
            QCOMPARE(box->line(box->lineCount() - 1), own);
            QCOMPARE(box->line(box->lineCount() - 2), QStringLiteral("bob> before"));
        }
        const bool ran = QTest::qWaitFor([&] {
            return effect.startsWith('#')         ? windows.session() && windows.session()->state().ChannelName == effect
                 : effect == "LobbySelect shown" ? windows.lobbySelect() != nullptr
                 : effect == "program ended"     ? !ended.isEmpty()
                 : effect == "LogFrm shown"      ? qobject_cast<LogFrm *>(QApplication::activeModalWidget())
                                                       && !QApplication::activeModalWidget()->parentWidget()  // a window of its own
                                                 : server.received.contains(effect);
        }, 10000);
        QVERIFY2(ran, qPrintable("the click went to " + hit[0]));
    }
    // A stranger posts 300 links at once: one question is open at a time, the others count as No.
    // Yes opens the link in the desktop's browser.
    void oneLinkQuestion()
    {
        StandInLauncher desktop;
        ScriptedServer server;
        WindowSet windows(server.address());
        windows.start();
        QTest::keyClicks(windows.loginForm()->NICKNAMEBOX, QStringLiteral("Ann"));
        clickAt(windows.loginForm()->Command1);
        clickAt(windows.lobbySelect()->LobbySel[3]);
        QVERIFY(server.waitFor("USER AnnOnTavNET"));
        QByteArray links = ":irc.test.local 001 AnnOnTavNET :Welcome\r\n";
        for (int n = 0; n < 300; ++n)
            links += ":m!u@h PRIVMSG #TavarineNET_3 :...TAVLNK http://a.test/" + QByteArray::number(n) + "|||\r\n";
        server.client->write(links);
        QTRY_VERIFY(windows.session()->state().InboundLog.text().contains("a.test/299|||"));
        const auto questions = [] {
            QList<QMessageBox *> open;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->objectName() == "LinkQuestion")
                    open += qobject_cast<QMessageBox *>(w);
            return open;
        };
        QCOMPARE(questions().size(), 1);
        QVERIFY(questions()[0]->text().contains("http://a.test/0?"));
        clickAt(questions()[0]->button(QMessageBox::No));
        QTRY_COMPARE(questions().size(), 0);
        server.client->write(":m!u@h PRIVMSG #TavarineNET_3 :...TAVLNK http://a.test/next|||\r\n");
        QTRY_COMPARE(questions().size(), 1);
        QVERIFY(questions()[0]->text().contains("http://a.test/next?"));
        if (QGuiApplication::platformName() == "offscreen")
            QSKIP("the offscreen platform opens no links: the run on Xvfb checks the browser");
        clickAt(questions()[0]->button(QMessageBox::Yes));
        QVERIFY(desktop.waitFor(1));
        QCOMPARE(desktop.starts(), QStringList{"xdg-open http://a.test/next"});
    }
    void sizesAndLog()
    {
        Resource store;
        LobbySession session("Ann", "#TavarineNET_3");
        Lobby lobby(session, store);
        LoginForm login(store);
        LobbySelect select;
        NewsForm news(nullptr);
        LogFrm log(session.state());
        for (const auto &[window, size] : {std::pair<QWidget *, QSize>{&login, {207, 104}}, {&select, {388, 132}},
                                           {&lobby, {585, 268}}, {&news, {312, 206}}, {&log, {306, 164}}})
            QCOMPARE(window->size(), size);
        // The log window: its load texts, then each tick mirrors the logs and undoes any typing.
        QVERIFY(log.Text1->toPlainText() == "Data IN" && log.Text2->toPlainText() == "Data Out");
        session.state().InboundLog += ":irc.test.local 001 AnnOnTavNET :Welcome\r\n\r\n";
        session.state().OutboundLog += "Sent Nickname and User Details\r\n";
        log.Timer1_Timer();
        QCOMPARE(log.Text1->toPlainText(), QStringLiteral(":irc.test.local 001 AnnOnTavNET :Welcome\n\n"));
        QTest::keyClicks(log.Text2, QStringLiteral("typed"));
        session.state().InboundLog += "PING :x\r\n\r\n";
        log.Timer1_Timer();
        QCOMPARE(log.Text1->toPlainText(), QStringLiteral(":irc.test.local 001 AnnOnTavNET :Welcome\n\nPING :x\n\n"));
        QCOMPARE(log.Text2->toPlainText(), QStringLiteral("Sent Nickname and User Details\n"));
        // A long evening: the log keeps its newest MiB from a line start; the box shows the newest lines,
        // and every tick, new lines or not, puts its caret and view back at the start. No undo piles up.
        for (int n = 0; session.state().InboundLog.total() < 3 << 20; ++n)
            session.state().InboundLog += "PING :" + QByteArray::number(n) + "\r\n";
        const QByteArray &kept = session.state().InboundLog.text();
        QVERIFY(kept.size() >= TrafficLog::Kept && kept.size() <= TrafficLog::Kept * 5 / 4 && kept.startsWith("PING :"));
        for (int tick = 0; tick < 2; ++tick) {
            log.Text1->moveCursor(QTextCursor::End);
            log.Timer1_Timer();
            QVERIFY(log.Text1->textCursor().position() == 0 && log.Text1->verticalScrollBar()->value() == 0);
        }
        QVERIFY(log.Text1->toPlainText().endsWith(kept.sliced(kept.lastIndexOf("PING", kept.size() - 3)).chopped(2) + "\n"));
        lobby.replaceChat(QStringLiteral("welcome"));
        lobby.appendChat(QStringLiteral("bob> hi"));
        QTRY_VERIFY(lobby.ChatBox->toPlainText().endsWith("bob> hi"));
        QVERIFY(!log.Text2->document()->isUndoAvailable());
    }
    // The pictures' focus mark, which no screen reader sees: the chooser opens looking as it
    // always did, and the lobby the arrow keys reach is marked.
    void focusMark()
    {
        LobbySelect select;
        select.show();
        QVERIFY(QTest::qWaitForWindowActive(&select));
        const QImage opened = select.grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        const QImage moved = select.grab().toImage();
        const QRect first = select.LobbySel[0]->geometry(), second = select.LobbySel[1]->geometry();
        QVERIFY(opened.copy(first) == moved.copy(first) && opened.copy(second) != moved.copy(second));
        // The chat box marks the focus with its caret.
        Resource store;
        LobbySession session("Ann", "#TavarineNET_3");
        Lobby lobby(session, store);
        lobby.show();
        QVERIFY(QTest::qWaitForWindowActive(&lobby));
        lobby.replaceChat(QStringLiteral("welcome"));
        const QImage unfocused = lobby.ChatBox->grab().toImage();
        lobby.ChatBox->setFocus();
        QTRY_VERIFY(lobby.ChatBox->grab().toImage() != unfocused);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
