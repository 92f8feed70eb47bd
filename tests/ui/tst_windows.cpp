// The real windows under the offscreen platform, clicked where a person clicks: at a point
// of the top-level window, the press going to whatever widget lies there.
#include "Fixtures.h"
#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/LinkHold.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/ServerDialog.h"
#include "ui/StartOptions.h"
#include "ui/WindowSet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextDocument>
#include <QTemporaryDir>

// Clicks the middle of the control (or of a part of it) as drawn, clipped by its parents, on
// whatever widget the window has at that point; returns that widget's name.
static QString clickAt(QWidget *control, QRect part = {}, Qt::MouseButton button = Qt::LeftButton)
{
    QRect r = part.isNull() ? control->rect() : part;
    for (QWidget *w = control; !w->isWindow(); w = w->parentWidget())
        r = r.translated(w->pos()) & w->parentWidget()->rect();
    QWidget *window = control->window(), *target = window->childAt(r.center());
    target = target ? target : window;
    if (button == Qt::LeftButton)
        QTest::mouseClick(target, button, {}, target->mapFrom(window, r.center()));
    else  // through the window, which turns a right press into a context menu request
        QTest::mouseClick(window->windowHandle(), button, {}, r.center());
    return target->objectName();
}

// Ann walks into lobby 3 by clicks; the server welcomes her, echoes her JOIN and sends the lines given.
static Lobby *joinLobby(WindowSet &windows, ScriptedServer &server, const QByteArray &lines)
{
    windows.start();
    QTest::keyClicks(windows.loginForm()->NICKNAMEBOX, QStringLiteral("Ann"));
    clickAt(windows.loginForm()->Command1);
    clickAt(windows.lobbySelect()->LobbySel[3]);
    if (!windows.session() || !server.waitFor("USER AnnOnTavNET"))
        return nullptr;
    server.hurried = &SessionProbe{*windows.session()}.socket();
    server.client->write(":irc.test.local 001 AnnOnTavNET :Welcome\r\n:AnnOnTavNET!u@h JOIN #TavarineNET_3\r\n" + lines);
    windows.lobby()->activateWindow();  // a desktop without a window manager activates nothing by itself
    return QTest::qWaitForWindowActive(windows.lobby()) && server.waitFor("MODE #TavarineNET_3\r\n") ? windows.lobby() : nullptr;
}

class TestWindows : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;  // the player's settings of these runs
private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }
    void clickThrough_data()
    {
        QTest::addColumn<QString>("control");  // window.name or window.name(index)
        QTest::addColumn<QByteArray>("effect");  // what shows the handler ran: a line sent, or a window state
        QTest::addColumn<QString>("own");  // the user's own chat line, shown at once
        const QByteArray p = "PRIVMSG #TavarineNET_3 :...";
        auto row = [](const QString &c, const QByteArray &e, const QString &own = {}) { QTest::newRow(qPrintable(c)) << c << e << own; };
        row("LoginForm.Command1", "LobbySelect shown");  // &Login
        row("LoginForm.Command2", "program ended");  // &Exit
        for (int i = 0; i < 5; ++i)
            row(QStringLiteral("LobbySelect.LobbySel(%1)").arg(i), "#TavarineNET_" + QByteArray::number(i));
        for (int i = 0; i < 4; ++i)
            row(QStringLiteral("Lobby.Player(%1)").arg(i), p + "TAVHUT1 Ann> " + QByteArray::number(i + 1) + "|||");
        row("Lobby.QuitButton", p + "TAVHUT1EXIT Ann> 1|||");  // in the hut
        row("Lobby.Refresh", p + "GETHUTLIST", " -=Refreshing Hut #1=-");
        row("Lobby.LaunchButton", p + "TAVHUT1LAUNCH Ann> 127.0.0.1|||");  // as host
        row("Lobby.Command2", p + "GETTAVLIST", " -=Refreshing User List=-");  // &Refresh Users
        row("Lobby.Send", p + "TAVCHAT Ann> hi|||", "Ann> hi");
        row("Lobby.Command1", "LogFrm shown");  // View Log, on the Connection panel until the join
    }
    // Each row walks the window path by clicks as far as its window; the lobby rows join and
    // check the caption on the way.
    void clickThrough()
    {
        QFETCH(QString, control);
        QFETCH(QByteArray, effect);
        QFETCH(QString, own);
        const QString name = control.section(u'.', 1).section(u'(', 0, 0);
        StandInLauncher launcher;  // the launch row starts the game
        ScriptedServer server;
        WindowSet windows({server.address()});
        QSignalSpy ended(&windows, &WindowSet::programEnded);
        QWidget *window = nullptr;
        if (control.startsWith("Lobby.") && name != "Command1") {  // in the lobby, as the caption says
            const bool member = name == "Player" && !control.endsWith("(0)");  // a member's place: a host first
            QVERIFY((window = joinLobby(windows, server, member ? ":BobOnTavNET!u@h JOIN #TavarineNET_3\r\n:BobOnTavNET!u@h PRIVMSG "
                                                                  "#TavarineNET_3 :...TAVHUT1 Bob> 1|||\r\n" : "")));
            QCOMPARE(window->windowTitle(), "Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3");
            QTRY_VERIFY(!member || windows.lobby()->Player[0]->toolTip() == "Bob");
            if (name == "QuitButton" || name == "LaunchButton")
                clickAt(windows.lobby()->Player[0]);  // the first place: the host's
            windows.lobby()->SendBox->setText(QStringLiteral("hi"));
            windows.lobby()->appendChat(QStringLiteral("bob> before"));
        } else {
            windows.start();
            QTest::keyClicks(windows.loginForm()->NICKNAMEBOX, QStringLiteral("Ann"));
            window = windows.loginForm();
            if (!control.startsWith("LoginForm"))
                clickAt(windows.loginForm()->Command1), window = windows.lobbySelect();
            if (control.startsWith("Lobby."))  // View Log, on the Connection panel until the join
                clickAt(windows.lobbySelect()->LobbySel[3]), window = windows.lobby();
            QVERIFY(window);
        }
        QStringList hit;  // the widget that got the click
        for (QWidget *w : window->findChildren<QWidget *>(name))
            if (!control.contains(u'(') || control.endsWith(QStringLiteral("(%1)").arg(w->property("Index").toInt())))
                hit << clickAt(w);
        QCOMPARE(hit.size(), 1);
        if (!own.isEmpty())  // at once, behind the chat that came in before it
            QCOMPARE(windows.lobby()->ChatBox->toPlainText().section(u'\n', -2), "bob> before\n" + own);
        const bool ran = effect.startsWith("PRIVMSG") ? server.waitFor(effect) : QTest::qWaitFor([&] {
            return effect.startsWith('#')         ? windows.session() && SessionProbe{*windows.session()}.life().channel() == effect
                 : effect == "LobbySelect shown" ? windows.lobbySelect() != nullptr
                 : effect == "program ended"     ? !ended.isEmpty()
                                                 : qobject_cast<LogFrm *>(QApplication::activeModalWidget())  // LogFrm shown
                                                       && !QApplication::activeModalWidget()->parentWidget();  // a window of its own
        }, 10000);
        QVERIFY2(ran, qPrintable("the click went to " + hit[0]));
    }
    // A link comes while a line is being typed: the line goes on and out whole, and only a
    // deliberate press of Open (in the desktop's browser) or Dismiss answers the bar, which
    // shows the host whole. After Dismiss, links are held back and counted.
    void linkBar()
    {
        StandInLauncher desktop;
        ScriptedServer server;
        WindowSet windows({server.address()});
        QByteArray lines;
        for (const QByteArray name : {"m1", "m2", "m3"})
            lines += ":" + name + "OnTavNET!u@h JOIN #TavarineNET_3\r\n";
        Lobby *lobby = joinLobby(windows, server, lines);
        QVERIFY(lobby && QApplication::focusWidget() == lobby->SendBox);
        const auto post = [&](const QByteArray &name, const QString &said) {
            server.client->write(":" + name + "OnTavNET!u@h PRIVMSG #TavarineNET_3 :..." + said.toUtf8() + "|||\r\n");
        };
        QTest::keyClicks(lobby->SendBox, QStringLiteral("Do "));
        post("m1", "TAVLNK http://a.test/1");
        QTRY_VERIFY(lobby->LinkBar->isVisible());
        QCOMPARE(lobby->LinkText->text() + lobby->LinkHost->text() + lobby->LinkPath->text(), "m1 posted a link:a.test \u2014 /1");
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Open it or Dismiss it "));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(server.waitFor("...TAVCHAT Ann> Do Open it or Dismiss it |||\r\n"));
        QVERIFY(lobby->LinkBar->isVisible() && QApplication::focusWidget() == lobby->SendBox);
        QVERIFY(lobby->LinkBar->geometry().bottom() < lobby->SendBox->y()
                && !lobby->LinkBar->geometry().intersects(lobby->ChatBox->geometry()));
        QTRY_VERIFY(lobby->LinkOpen->isEnabled());
        clickAt(lobby->LinkOpen);
        QTRY_VERIFY(!lobby->LinkBar->isVisible());
        QCOMPARE(QApplication::focusWidget(), lobby->SendBox);
        // A long host is never cut: only the rest of the address is.
        const QString host = "bob-mirror.tavarine-lobby.example", rest = "/join/" + QString(40, u'7');
        post("m2", "TAVLNK http://" + host + rest);
        QTRY_VERIFY(lobby->LinkBar->isVisible());
        QVERIFY(lobby->LinkHost->text().remove(u'\n') == host && lobby->LinkHost->width() >= lobby->LinkHost->sizeHint().width());
        QVERIFY(lobby->LinkPath->text().startsWith(" \u2014 /join/7") && lobby->LinkPath->text().endsWith(u'\u2026'));
        QVERIFY(!lobby->LinkPath->geometry().intersects(lobby->LinkHost->geometry()) && lobby->LinkBar->rect().contains(lobby->LinkPath->geometry()));
        QCOMPARE(lobby->LinkBar->accessibleDescription(), "m2 posted a link: " + host + " \u2014 " + rest);
        clickAt(lobby->LinkDismiss);
        QTRY_VERIFY(!lobby->LinkBar->isVisible());
        post("m3", "TAVLNK http://a.test/3");
        post("m3", "TAVCHAT m3> after");
        QTRY_VERIFY(lobby->ChatBox->toPlainText().endsWith("m3> after"));
        QVERIFY(!lobby->LinkBar->isVisible());
        lobby->LinkHoldEnd_Timer();
        QTRY_VERIFY(lobby->ChatBox->toPlainText().endsWith(" -=1 more link held back=-"));
        if (QGuiApplication::platformName() == "offscreen")
            QSKIP("the offscreen platform opens no links: the run on Xvfb checks the browser");
        QVERIFY(desktop.waitFor(1));
        QCOMPARE(desktop.starts(), QStringList{"xdg-open http://a.test/1"});  // and nothing for the others
    }
    // Two players claim place 2 as Ann's JOIN is answered; she ignores one from his row's menu,
    // by a right click. Then the other puts her out: the
    // Connection panel says why, Send rests, and Rejoin asks to join again.
    void ignoredThenPutOut()
    {
        ScriptedServer server;
        WindowSet windows({server.address()});
        QByteArray lines;
        for (const QByteArray name : {"bob", "Cy"})
            lines += ":" + name + "OnTavNET!u@h JOIN #TavarineNET_3\r\n:" + name + "OnTavNET!u@h PRIVMSG #TavarineNET_3 :...TAVLIST|||"
                   + name + "|||\r\n:" + name + "OnTavNET!u@h PRIVMSG #TavarineNET_3 :...TAVHUT1 " + name + "> 2|||\r\n";
        Lobby *lobby = joinLobby(windows, server, lines);
        QVERIFY(lobby);
        QTRY_COMPARE(lobby->Player[1]->toolTip(), QStringLiteral("Contested: bob, Cy"));
        QCOMPARE(lobby->Player[1]->accessibleDescription(), QStringLiteral("contested by bob and Cy"));
        QVERIFY(lobby->Player[1]->pixmap().toImage() != Resource().PlayerIN.toImage());  // seen, not only told
        SessionProbe{*windows.session()}.skip(LobbyMembers::ListRedrawMs);
        QListWidget *list = lobby->USERLIST;
        QCOMPARE(list->count(), 2);
        const auto menu = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); };
        clickAt(list->viewport(), list->visualItemRect(list->item(1)), Qt::RightButton);
        QTRY_VERIFY(menu());
        QCOMPARE(menu()->actions().value(0)->text(), QStringLiteral("Ignore Cy"));
        QTest::mouseClick(menu(), Qt::LeftButton, {}, menu()->actionGeometry(menu()->actions()[0]).center());
        QTRY_COMPARE(list->item(1)->text(), QStringLiteral("Cy (ignored)"));
        QCOMPARE(lobby->Player[1]->toolTip(), QStringLiteral("bob"));  // his claim counts no more (the menu by keys: the keyboard round)
        QWidget *message = nullptr;
        clickAt(lobby->Player[2]);  // nobody hosts yet
        QTRY_VERIFY((message = lobby->findChild<QWidget *>("HutMessage")) && message->isVisible());
        message->close();
        // The reason is shown as its characters, cut to the panel, whole in its tooltip and to screen readers.
        const QString markup = "<b>x</b><img src=\"/etc/hostname\"><h1>big</h1>", reason = "bob put you out of the lobby: " + markup;
        server.client->write(":bobOnTavNET!u@h KICK #TavarineNET_3 AnnOnTavNET :" + markup.toUtf8() + "\r\n");
        QTRY_VERIFY(lobby->Connection->isVisible());
        QVERIFY(lobby->Rejoin->isVisible() && !lobby->Send->isEnabled());
        QLabel *label = lobby->Label4;
        QVERIFY(label->textFormat() == Qt::PlainText && label->text().contains("<b>x</b><img") && label->text().endsWith(u'\u2026'));
        QVERIFY(QRect({}, label->size()).contains(QRect({}, label->sizeHint())));  // nothing clipped
        QTextDocument tip;
        Qt::mightBeRichText(label->toolTip()) ? tip.setHtml(label->toolTip()) : tip.setPlainText(label->toolTip());
        QVERIFY(tip.toPlainText() == reason && label->accessibleName() == reason && lobby->Connection->accessibleDescription() == reason);
        QCOMPARE(clickAt(lobby->Rejoin), QStringLiteral("Rejoin"));
        QTRY_COMPARE(server.received.count("JOIN #TavarineNET_3\r\n"), 2);
        server.client->write(":AnnOnTavNET!u@h JOIN #TavarineNET_3\r\n");
        QTRY_VERIFY(!lobby->Connection->isVisible());
        QVERIFY(lobby->Send->isEnabled());
    }
    // The log window: each tick mirrors the logs, the first whole, then what came since, and
    // undoes any typing.
    void logWindow()
    {
        StatusStub session;
        LogFrm log(session);
        session.in += ":irc.test.local 001 AnnOnTavNET :Welcome\r\n\r\n";
        session.out += "Sent Nickname and User Details\r\n";
        log.Timer1_Timer();
        QTest::keyClicks(log.Text2, QStringLiteral("typed"));
        session.in += "PING :x\r\n\r\n";
        log.Timer1_Timer();
        QCOMPARE(log.Text1->toPlainText(), QStringLiteral(":irc.test.local 001 AnnOnTavNET :Welcome\n\nPING :x\n\n"));
        QCOMPARE(log.Text2->toPlainText(), QStringLiteral("Sent Nickname and User Details\n"));
        // A long evening: the log keeps its newest MiB from a line start; the box shows the newest lines,
        // and every tick, new lines or not, puts its caret and view back at the start. No undo piles up.
        for (int n = 0; session.in.total() < 3 << 20; ++n)
            session.in += "PING :" + QByteArray::number(n) + "\r\n";
        const QByteArray &kept = session.in.text();
        QVERIFY(kept.size() >= TrafficLog::Kept && kept.size() <= TrafficLog::Kept * 5 / 4 && kept.startsWith("PING :"));
        for (int tick = 0; tick < 2; ++tick) {
            log.Text1->moveCursor(QTextCursor::End);
            log.Timer1_Timer();
            QVERIFY(log.Text1->textCursor().position() == 0 && log.Text1->verticalScrollBar()->value() == 0);
        }
        QVERIFY(log.Text1->toPlainText().endsWith(kept.sliced(kept.lastIndexOf("PING", kept.size() - 3)).chopped(2) + "\n"));
        QVERIFY(!log.Text2->document()->isUndoAvailable());
    }
    // Alt+S opens the servers; a line that is no address is refused beside the list, with why,
    // and nothing changes until every line is one. The last nickname comes back selected.
    void serverDialog()
    {
        WindowSet windows;
        windows.settings().setNickname(QStringLiteral("Ann"));
        windows.start();
        QVERIFY(QTest::qWaitForWindowActive(windows.loginForm()));
        QTest::keyClick(windows.loginForm(), Qt::Key_S, Qt::AltModifier);
        ServerDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = windows.loginForm()->findChild<ServerDialog *>()) && dialog->ServerList->toPlainText() == builtInServer().toString());
        QWidget *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        dialog->ServerList->setPlainText("ircs://a.example\nlobby <b>x</b>\n");
        clickAt(ok);
        QCOMPARE(dialog->Refusal->text(), "Line 2, \"lobby <b>x</b>\": a server address has no spaces in it.");
        QVERIFY(dialog->isVisible() && PlayerSettings().servers().isEmpty());
        dialog->ServerList->setPlainText("ircs://a.example\n\n [::1]:7000 \n");
        clickAt(ok);
        QTRY_VERIFY(!windows.loginForm()->findChild<ServerDialog *>());
        const QList<ServerAddress> chosen{*ServerAddress::parse(u"ircs://a.example"), *ServerAddress::parse(u"[::1]:7000")};
        QVERIFY(windows.servers() == chosen && PlayerSettings().servers() == chosen);
        QCOMPARE(WindowSet().loginForm()->NICKNAMEBOX->selectedText(), "Ann");
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
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
