// Every window's controls as the catalogue draws them, read off the real widgets.
#include "session/LobbySession.h"
#include "ui/ClickArea.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/NewsForm.h"
#include "ui/Resource.h"

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {
struct Row {
    const char *window;
    const char *control;  // "Name" or "Name(index)" for control arrays
    const char *kind;
    const char *container;
    QRect geometry;
    const char *text;  // caption, or nullptr where the control has none
    bool visible;
};

const Row Catalogue[] = {
    {"LoginForm", "Command2", "QPushButton", "LoginForm", {112, 64, 41, 25}, "&Exit", true},
    {"LoginForm", "Command1", "QPushButton", "LoginForm", {160, 64, 41, 25}, "&Login", true},
    {"LoginForm", "NICKNAMEBOX", "QLineEdit", "LoginForm", {64, 32, 137, 19}, "", true},
    {"LoginForm", "LOGO", "QLabel", "LoginForm", {0, 0, 57, 57}, nullptr, true},
    {"LoginForm", "Label2", "QLabel", "LoginForm", {8, 64, 97, 33}, nullptr, true},
    {"LoginForm", "Label1", "QLabel", "LoginForm", {64, 8, 59, 13}, "NickName", true},
    {"LoginForm", "BG", "QLabel", "LoginForm", {0, 0, 217, 137}, nullptr, true},
    {"LobbySelect", "Label1", "QLabel", "LobbySelect", {0, 104, 393, 33}, "SELECT YOUR LOBBY", true},
    {"LobbySelect", "LobbySel(4)", "ClickArea", "LobbySelect", {296, 16, 25, 25}, nullptr, true},
    {"LobbySelect", "LobbySel(3)", "ClickArea", "LobbySelect", {224, 32, 17, 25}, nullptr, true},
    {"LobbySelect", "LobbySel(2)", "ClickArea", "LobbySelect", {176, 16, 25, 17}, nullptr, true},
    {"LobbySelect", "LobbySel(1)", "ClickArea", "LobbySelect", {144, 24, 25, 17}, nullptr, true},
    {"LobbySelect", "LobbySel(0)", "ClickArea", "LobbySelect", {128, 64, 33, 33}, nullptr, true},
    {"LobbySelect", "Image1", "QLabel", "LobbySelect", {0, 0, 389, 104}, nullptr, true},
    {"Lobby", "HUTBOX", "QFrame", "Lobby", {8, 112, 129, 145}, nullptr, true},
    {"Lobby", "USERLIST", "QListWidget", "Lobby", {440, 32, 129, 184}, nullptr, true},
    {"Lobby", "Command2", "QPushButton", "Lobby", {440, 224, 129, 13}, "&Refresh Users", true},
    {"Lobby", "Connection", "QFrame", "Lobby", {200, 80, 209, 65}, nullptr, true},
    {"Lobby", "Send", "QPushButton", "Lobby", {384, 240, 41, 17}, "&Send", true},
    {"Lobby", "SendBox", "QLineEdit", "Lobby", {144, 240, 233, 19}, "", true},
    {"Lobby", "ChatBox", "QPlainTextEdit", "Lobby", {168, 32, 209, 177}, "", true},
    {"Lobby", "Label2", "QLabel", "Lobby", {448, 240, 119, 13}, "Tavarine IRC Client Beta", true},
    {"Lobby", "LOGO", "QLabel", "Lobby", {8, 8, 91, 87}, nullptr, true},
    {"Lobby", "Label1", "QLabel", "Lobby", {440, 8, 139, 13}, "TavarineNET IRC Users", true},
    {"Lobby", "GFX1", "QLabel", "Lobby", {144, 8, 296, 230}, nullptr, true},
    {"Lobby", "BG", "QLabel", "Lobby", {0, -16, 585, 297}, nullptr, true},
    {"Lobby", "QuitButton", "ClickArea", "HUTBOX", {96, 40, 25, 25}, nullptr, true},
    {"Lobby", "Player(0)", "ClickArea", "HUTBOX", {24, 43, 13, 21}, nullptr, true},
    {"Lobby", "Player(1)", "ClickArea", "HUTBOX", {40, 43, 13, 21}, nullptr, true},
    {"Lobby", "Player(2)", "ClickArea", "HUTBOX", {56, 43, 13, 21}, nullptr, true},
    {"Lobby", "Player(3)", "ClickArea", "HUTBOX", {72, 43, 13, 21}, nullptr, true},
    {"Lobby", "HostLabel", "QLabel", "HUTBOX", {16, 88, 81, 25}, "HOST", false},
    {"Lobby", "LaunchButton", "ClickArea", "HUTBOX", {16, 80, 105, 28}, nullptr, false},
    {"Lobby", "BGM", "QLabel", "HUTBOX", {16, 40, 105, 28}, nullptr, true},
    {"Lobby", "Refresh", "ClickArea", "HUTBOX", {94, 8, 27, 28}, nullptr, true},
    {"Lobby", "HUTIMAGE", "QLabel", "HUTBOX", {0, 0, 129, 145}, nullptr, true},
    {"Lobby", "Command1", "QPushButton", "Connection", {64, 40, 81, 17}, "View Log", true},
    {"Lobby", "Label4", "QLabel", "Connection", {16, 8, 185, 33}, "Registering Your Client On the IRC Network", true},
    {"Lobby", "bg3", "QLabel", "Connection", {0, 0, 281, 65}, nullptr, true},
    {"NewsForm", "MSG", "QPlainTextEdit", "NewsForm", {56, 32, 161, 129}, "", true},
    {"NewsForm", "BG", "QLabel", "NewsForm", {0, 0, 313, 207}, nullptr, true},
    {"LogFrm", "Text2", "QPlainTextEdit", "LogFrm", {8, 88, 289, 73}, "Data Out", true},
    {"LogFrm", "Text1", "QPlainTextEdit", "LogFrm", {8, 8, 289, 73}, "Data IN", true},
};

QString textOf(QWidget *w)
{
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *t = qobject_cast<QPlainTextEdit *>(w))
        return t->toPlainText();
    return {};
}

QWidget *find(QWidget *window, const QString &control)
{
    const qsizetype paren = control.indexOf(u'(');
    const QString name = control.left(paren);
    for (QWidget *w : window->findChildren<QWidget *>(name)) {
        if (paren < 0 || w->property("Index").toInt() == control.mid(paren + 1).chopped(1).toInt())
            return w;
    }
    return nullptr;
}

QStringList focusChain(QWidget *window)
{
    QStringList names;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == window && !w->objectName().isEmpty())
            names.append(w->objectName());
    return names;
}
}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void controls_data();
    void controls();
    void windows();
    void focusOrder();
    void playerTakesThePictureSize();
    void logWindow();

private:
    Resource *store = nullptr;
    LobbySession *session = nullptr;
    QMap<QString, QWidget *> windowsByName;
};

void TestCatalogue::initTestCase()
{
    store = new Resource;
    session = new LobbySession("Ann", "#TavarineNET_3");
    auto *lobby = new Lobby(*session, *store);
    windowsByName = {{"LoginForm", new LoginForm(*store)},
                     {"LobbySelect", new LobbySelect},
                     {"Lobby", lobby},
                     {"NewsForm", new NewsForm(lobby)},
                     {"LogFrm", new LogFrm(session->state(), lobby)}};
}

void TestCatalogue::cleanupTestCase()
{
    for (const char *topLevel : {"LoginForm", "LobbySelect", "Lobby"})
        delete windowsByName.value(topLevel);
    delete session;
    delete store;
}

void TestCatalogue::controls_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(Catalogue)); ++i)
        QTest::newRow(qPrintable(QStringLiteral("%1.%2").arg(Catalogue[i].window, Catalogue[i].control))) << i;
}

void TestCatalogue::controls()
{
    QFETCH(int, row);
    const Row &r = Catalogue[row];
    QWidget *window = windowsByName.value(QString::fromLatin1(r.window));
    QWidget *w = find(window, QString::fromLatin1(r.control));
    QVERIFY(w);
    QVERIFY2(w->inherits(r.kind), w->metaObject()->className());
    QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(r.container));
    QCOMPARE(w->geometry(), r.geometry);
    if (r.text)
        QCOMPARE(textOf(w), QString::fromLatin1(r.text));
    QCOMPARE(!w->isHidden(), r.visible);
}

void TestCatalogue::windows()
{
    const QMap<QString, QPair<QString, QSize>> frames = {
        {"LoginForm", {"TavarineNET IRC - Login", {207, 104}}}, {"LobbySelect", {"Select Lobby", {388, 132}}},
        {"Lobby", {"TavarineClient", {585, 268}}},             {"NewsForm", {"Room Message", {312, 206}}},
        {"LogFrm", {"Connection Log", {306, 164}}}};
    for (auto it = frames.begin(); it != frames.end(); ++it) {
        QWidget *w = windowsByName.value(it.key());
        QCOMPARE(w->windowTitle(), it.value().first);
        QCOMPARE(w->size(), it.value().second);
        QCOMPARE(w->minimumSize(), w->maximumSize());  // fixed size
        QCOMPARE(w->windowType() == Qt::Tool, it.key() != "Lobby");  // only the lobby has a taskbar button
    }
    auto *lobby = static_cast<Lobby *>(windowsByName["Lobby"]);
    QVERIFY(!lobby->Send->isEnabled());
    QVERIFY(lobby->ChatBox->isReadOnly());
    QCOMPARE(lobby->USERLIST->palette().color(QPalette::Text), QColor(0, 0, 255));
    QVERIFY(lobby->ChatBox->palette().color(QPalette::Base) != QColor(Qt::white));
    QVERIFY(lobby->HostLabel->font().bold() && lobby->Label4->font().bold());
    QCOMPARE(lobby->Label4->font().pointSizeF(), 9.75);
    auto *news = static_cast<NewsForm *>(windowsByName["NewsForm"]);
    QCOMPARE(news->MSG->palette().color(QPalette::Base), QColor(Qt::black));
    QCOMPARE(news->MSG->palette().color(QPalette::Text), QColor(Qt::white));
}

void TestCatalogue::focusOrder()
{
    QCOMPARE(focusChain(windowsByName["LoginForm"]), (QStringList{"NICKNAMEBOX", "Command1", "Command2"}));
    QCOMPARE(focusChain(windowsByName["Lobby"]),
             (QStringList{"SendBox", "ChatBox", "Send", "Command1", "Command2", "USERLIST"}));
    QCOMPARE(focusChain(windowsByName["LogFrm"]), (QStringList{"Text1", "Text2"}));
}

void TestCatalogue::playerTakesThePictureSize()
{
    auto *lobby = static_cast<Lobby *>(windowsByName["Lobby"]);
    lobby->setPlayer(2, true);
    QCOMPARE(lobby->Player[2]->geometry(), QRect(56, 43, 14, 22));
    lobby->setPlayer(2, false);
    QCOMPARE(lobby->Player[2]->geometry(), QRect(56, 43, 13, 21));
}

void TestCatalogue::logWindow()
{
    SharedState state;
    auto log = std::make_unique<LogFrm>(state);
    QCOMPARE(log->Text1->toPlainText(), QStringLiteral("Data IN"));
    QVERIFY(log->Timer1.isActive());
    QCOMPARE(log->Timer1.interval(), 1000);
    log->Timer1_Timer();
    QCOMPARE(log->Text1->toPlainText(), QString());  // nothing received yet
    state.OutboundLog += "Sent Nickname and User Details\r\n";
    log->Timer1_Timer();
    QCOMPARE(log->Text2->toPlainText(), QStringLiteral("Sent Nickname and User Details\n"));

    // Typing into a box is undone by the next tick.
    QTest::keyClicks(log->Text2, QStringLiteral("xyz"));
    log->Timer1_Timer();
    QCOMPARE(log->Text2->toPlainText(), QStringLiteral("Sent Nickname and User Details\n"));

    // A long log shows its newest part, from a line start.
    for (int i = 0; log->ShownBytes * 2 > state.InboundLog.text().size(); ++i)
        state.InboundLog += ":irc.test.local NOTICE * :line " + QByteArray::number(i) + "\r\n\r\n";
    log->Timer1_Timer();
    const QString shown = log->Text1->toPlainText();
    QVERIFY(shown.size() <= log->ShownBytes);
    QVERIFY(shown.startsWith(QStringLiteral(":irc.test.local NOTICE")) || shown.startsWith(u'\n'));
    QVERIFY(shown.endsWith(QStringLiteral("\n\n")));
    // What arrives later is added at the end; the box stays within its size.
    state.InboundLog += "newest line\r\n";
    log->Timer1_Timer();
    QVERIFY(log->Text1->toPlainText().endsWith(QStringLiteral("\n\nnewest line\n")));
    QVERIFY(log->Text1->document()->characterCount() <= log->ShownBytes);
    QCOMPARE(log->Text1->textCursor().position(), 0);

    // Each opening starts again from the load texts.
    log = std::make_unique<LogFrm>(state);
    QCOMPARE(log->Text1->toPlainText(), QStringLiteral("Data IN"));
    QCOMPARE(log->Text2->toPlainText(), QStringLiteral("Data Out"));
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
