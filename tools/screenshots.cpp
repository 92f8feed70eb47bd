// Renders every window as a player sees it and saves PNGs: scripts/screenshots.sh
// runs it under Xvfb so the pictures come from a real X server.
#include "session/LobbySession.h"
#include "SessionProbe.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/NewsForm.h"
#include "ui/Resource.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

namespace {
void save(QWidget *window, const QString &dir, const QString &name)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("%s was never exposed", qPrintable(name));
    QTest::qWait(200);  // let the X server finish drawing before reading its pixels
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    if (!shot.save(QDir(dir).filePath(name + QStringLiteral(".png"))))
        qWarning("could not save %s", qPrintable(name));
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(dir);
    Resource store;

    LoginForm login;
    login.NICKNAMEBOX->setText(QStringLiteral("Ann"));
    save(&login, dir, QStringLiteral("LoginForm"));
    LobbySelect select;
    save(&select, dir, QStringLiteral("LobbySelect"));

    StatusStub logs;
    logs.in += ":irc.test.local NOTICE * :*** Looking up your hostname...\r\n\r\n";
    logs.out += "Sent Nickname and User Details\r\n";
    LobbySession session("Ann", "#TavarineNET_3");  // not connected: what the window asks goes nowhere
    Lobby lobby(session, logs, store);
    lobby.setCaption(QStringLiteral("Tavarine IRC Client, Connecting"));
    save(&lobby, dir, QStringLiteral("Lobby-registering"));

    LogFrm log(logs, &lobby);
    log.Timer1_Timer();
    save(&log, dir, QStringLiteral("LogFrm"));
    log.hide();

    lobby.showJoined();
    lobby.setCaption(QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3"));
    lobby.replaceChat(ConnectionLife::WelcomeLine);
    for (const auto &[speaker, text] : {std::pair{"bob", "anyone up for a game?"}, {"Cy", "me! taking place 3, and bring the maps from last week"},
                                        {"Ann", "hosting now, join the hut"}})
        lobby.appendSaid(QString::fromUtf8(speaker), QString::fromUtf8(text));
    lobby.appendChat(QStringLiteral(" -=Refreshing Hut #1=-"));
    QList<LobbyView::UserRow> rows;
    for (const char *name : {"bob", "Cy", "jimbob", "Zoë"})
        rows.append({name, QString::fromUtf8(name), qstrcmp(name, "jimbob") == 0});
    lobby.setUserListRows(rows);
    lobby.showPlace(0, {LobbyView::Place::Mine, {}});
    lobby.showPlace(2, {LobbyView::Place::Held, {QStringLiteral("Cy")}});
    lobby.showPlace(1, {LobbyView::Place::Contested, {QStringLiteral("bob"), QStringLiteral("jimbob")}});
    lobby.setHostControlsVisible(true);
    lobby.SendBox->setText(QStringLiteral("ready when you are"));
    lobby.askOpenLink(QStringLiteral("Cy"), QStringLiteral("http://example.test/tournament"), [](bool) {});
    if (!QTest::qWaitFor([&] { return lobby.LinkOpen->isEnabled(); }))
        qWarning("the link bar's Open never armed");
    save(&lobby, dir, QStringLiteral("Lobby"));

    lobby.showRoomMessage(QStringLiteral("Tournament tonight at 20:00 in lobby 3. Sign up in the hut!\r\n\r\n"));
    save(lobby.newsForm(), dir, QStringLiteral("NewsForm"));
    return 0;
}
