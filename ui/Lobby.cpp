#include "ui/Lobby.h"

#include "session/LobbySession.h"
#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/Controls.h"
#include "ui/LogFrm.h"
#include "ui/NewsForm.h"
#include "ui/Resource.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace {
QColor greyText()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

}  // namespace

Lobby::Lobby(LobbySession &session, Resource &store, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_session(session),
      m_store(store)
{
    setupWindow(this, "Lobby", QStringLiteral("TavarineClient"), {585, 268});
    setWindowIcon(Resource::applicationIcon());

    // Back to front.
    BG = makeControl<QLabel>(this, "BG", {0, -16, 585, 297});
    BG->setScaledContents(true);
    GFX1 = makeControl<QLabel>(this, "GFX1", {144, 8, 296, 230});
    setNaturalPicture(GFX1, Resource::picture(QStringLiteral("GFX1")));
    Label1 = makeControl<QLabel>(this, "Label1", {440, 8, 139, 13}, QStringLiteral("TavarineNET IRC Users"));
    Label1->setFont(boldFont());
    addHalo(Label1);
    LOGO = makeControl<QLabel>(this, "LOGO", {8, 8, 91, 87});
    LOGO->setScaledContents(true);
    Label2 = makeControl<QLabel>(this, "Label2", {448, 240, 119, 13}, QStringLiteral("Tavarine IRC Client Beta"));
    addHalo(Label2);

    ChatBox = makeControl<ChatView>(this, "ChatBox", {168, 32, 209, 177}, ChatLinesKept);
    setSpokenName(ChatBox, QStringLiteral("Chat"));
    ChatBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SendBox = makeControl<QLineEdit>(this, "SendBox", {144, 240, 233, 19});
    SendBox->setMaxLength(MaxTypedChars);
    SendBox->setAccessibleName(QStringLiteral("Message"));

    Send = makeControl<QPushButton>(this, "Send", {384, 240, 41, 17}, QStringLiteral("&Send"));
    Send->setEnabled(false);
    Send->setDefault(true);
    installDefaultButton(this, Send);
    buildConnectionPanel();
    Command2 = makeControl<QPushButton>(this, "Command2", {440, 224, 129, 13}, QStringLiteral("&Refresh Users"));
    USERLIST = makeControl<QListWidget>(this, "USERLIST", {440, 32, 129, 184});
    setSpokenName(USERLIST, QStringLiteral("Players in this lobby"));

    QPalette listColours = USERLIST->palette();
    listColours.setColor(QPalette::Text, QColor(0, 0, 255));
    USERLIST->setPalette(listColours);
    buildHutPanel();
    for (QWidget *w : {static_cast<QWidget *>(ChatBox), static_cast<QWidget *>(SendBox),
                       static_cast<QWidget *>(USERLIST)})
        styleFlatBox(w, greyText());

    setTabOrder(SendBox, ChatBox);
    setTabOrder(ChatBox, Send);
    setTabOrder(Send, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, USERLIST);
    setTabOrder(USERLIST, Player[0]);
    for (int i = 0; i < 3; ++i)
        setTabOrder(Player[i], Player[i + 1]);
    setTabOrder(Player[3], QuitButton);
    setTabOrder(QuitButton, Refresh);
    setTabOrder(Refresh, LaunchButton);

    m_chatFlush.setSingleShot(true);
    m_chatFlush.setTimerType(Qt::PreciseTimer);
    connect(&m_chatFlush, &QTimer::timeout, this, &Lobby::flushChat);
    connect(Send, &QPushButton::clicked, this, &Lobby::Send_Click);
    connect(Command2, &QPushButton::clicked, this, [this] {
        m_session.Command2_Click();
        flushChat();  // what the user did shows at once
    });
    connect(Command1, &QPushButton::clicked, this, &Lobby::Command1_Click);
    m_session.setView(this);
    centreOnScreen(this);
    Form_Load();
}

Lobby::~Lobby()
{
    delete m_logFrm;  // it reads the session's logs
    m_session.setView(nullptr);
}

void Lobby::buildConnectionPanel()
{
    Connection = makePanel(this, "Connection", {200, 80, 209, 65}, QStringLiteral("Connection"));
    bg3 = makeStretchedImage(Connection, "bg3", {0, 0, 281, 65}, Resource::picture(QStringLiteral("Button")));
    Label4 = makeControl<QLabel>(Connection, "Label4", {16, 8, 185, 33},
                                 QStringLiteral("Registering Your Client On the IRC Network"));
    Label4->setFont(boldFont(9.75));
    Label4->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setWordWrap(true);
    Command1 = makeControl<QPushButton>(Connection, "Command1", {64, 40, 81, 17}, QStringLiteral("View Log"));
}

void Lobby::buildHutPanel()
{
    HUTBOX = makePanel(this, "HUTBOX", {8, 112, 129, 145}, QStringLiteral("Hut"));
    // Back to front.
    HUTIMAGE = makeStretchedImage(HUTBOX, "HUTIMAGE", {0, 0, 129, 145}, Resource::picture(QStringLiteral("HUTIMAGE")));
    Refresh = makeControl<ClickArea>(HUTBOX, "Refresh", {94, 8, 27, 28});
    setNaturalPicture(Refresh, Resource::picture(QStringLiteral("Refresh")));
    Refresh->setAccessibleName(QStringLiteral("Refresh the hut"));
    BGM = makeControl<QLabel>(HUTBOX, "BGM", {16, 40, 105, 28});
    setNaturalPicture(BGM, Resource::picture(QStringLiteral("BGM")));
    LaunchButton = makeControl<ClickArea>(HUTBOX, "LaunchButton", {16, 80, 105, 28});
    setNaturalPicture(LaunchButton, Resource::picture(QStringLiteral("Button")));
    LaunchButton->setAccessibleName(QStringLiteral("Launch the game"));
    LaunchButton->hide();
    HostLabel = makeControl<QLabel>(HUTBOX, "HostLabel", {16, 88, 81, 25}, QStringLiteral("HOST"));
    HostLabel->setFont(boldFont());
    HostLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    HostLabel->setAttribute(Qt::WA_TransparentForMouseEvents);  // it lies over the launch button
    HostLabel->hide();
    for (int i = 3; i >= 0; --i) {
        Player[i] = makeControl<ClickArea>(HUTBOX, "Player", {24 + 16 * i, 43, 13, 21});
        Player[i]->setProperty("Index", i);
        Player[i]->setAccessibleName(QStringLiteral("Hut place %1").arg(i + 1));
        setNaturalPicture(Player[i], m_store.PlayerOUT);
        Player[i]->setAccessibleDescription(QStringLiteral("free"));
        connect(Player[i], &ClickArea::clicked, this, [this, i] { m_session.Player_Click(i); });
    }
    QuitButton = makeControl<ClickArea>(HUTBOX, "QuitButton", {96, 40, 25, 25});
    QuitButton->setAccessibleName(QStringLiteral("Leave the hut"));
    connect(QuitButton, &ClickArea::clicked, this, [this] { m_session.QuitButton_Click(); });
    connect(Refresh, &ClickArea::clicked, this, [this] {
        m_session.Refresh_Click();
        flushChat();
    });
    connect(LaunchButton, &ClickArea::clicked, this, [this] { m_session.LaunchButton_Click(); });
}

void Lobby::showPlace(int index, const Place &place)
{
    if (m_places[index] == place)
        return;  // the place timer repeats itself
    m_places[index] = place;
    // Not stretched: the image takes the size of its picture.
    if (place.kind == Place::Contested && m_contestedPlace.isNull())
        m_contestedPlace = Resource::picture(QStringLiteral("PlayerContested"));
    setNaturalPicture(Player[index], place.kind == Place::Free        ? m_store.PlayerOUT
                                     : place.kind == Place::Contested ? m_contestedPlace
                                                                      : m_store.PlayerIN);
    QString toolTip, description;
    switch (place.kind) {
    case Place::Free: description = QStringLiteral("free"); break;
    case Place::Mine: toolTip = QStringLiteral("You"); description = QStringLiteral("you"); break;
    case Place::Held: toolTip = description = place.holders.value(0); break;
    case Place::Contested:
        toolTip = QStringLiteral("Contested: ") + place.holders.join(QStringLiteral(", "));
        description = QStringLiteral("contested by ") + place.holders.join(QStringLiteral(" and "));
        break;
    }
    Player[index]->setToolTip(toolTip);
    Player[index]->setAccessibleDescription(description);
}

void Lobby::setHostControlsVisible(bool visible)
{
    LaunchButton->setVisible(visible);
    HostLabel->setVisible(visible);
}

void Lobby::showInHutMessage()
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                                QStringLiteral("You are Currently In A Hut, Please Exit The Hut Before Joining a new one"),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("InHutMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Lobby::showLoginForm()
{
    emit loginFormRequested();
}

void Lobby::closeLobby()
{
    close();
}

void Lobby::Form_Load()
{
    BG->setPixmap(m_store.BG);
    LOGO->setPixmap(m_store.LOGO);
    SendBox->setFocus();
}

void Lobby::Command1_Click()
{
    // Modal: the lobby takes no input while it is open, but its timers and socket go on.
    // No parent: it opens where the desktop puts new windows, not over the lobby.
    if (!m_logFrm) {
        m_logFrm = new LogFrm(m_session.state());
        m_logFrm->setWindowModality(Qt::ApplicationModal);
    }
    m_logFrm->show();
}

void Lobby::ChatBox_Change()
{
    // Keep the newest line in view.
    ChatBox->moveCaretToEnd();
}

void Lobby::Send_Click()
{
    if (m_session.Send_Click(SendBox->text())) {
        SendBox->clear();
        flushChat();  // the user's own line shows at once, behind what came before it
    }
}

void Lobby::setUserListRows(const QList<UserRow> &rows)
{
    USERLIST->clear();
    for (const UserRow &row : rows)
        USERLIST->addItem(row.ignored ? row.shown + QStringLiteral(" (ignored)") : row.shown);
}

void Lobby::beep()
{
    QApplication::beep();
}

NewsForm *Lobby::newsForm() const
{
    return m_newsForm;
}

void Lobby::showRoomMessage(const QString &text)
{
    if (!m_newsForm)
        m_newsForm = new NewsForm(this);
    m_newsForm->MSG->setPlainText(text);
    m_newsForm->show();
}

void Lobby::askOpenLink(const QString &, const QString &address, std::function<void(bool)> answer)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("TavarineNET IRC"),
                                QStringLiteral("A Link has been posted.. Visit Page:\n") + address + u'?',
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("LinkQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [box, answer](int) {
        answer(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
    });
    box->open();
}

void Lobby::openInBrowser(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));  // the desktop's own browser, as any link it opens
}

void Lobby::showLaunchProblem(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("LaunchProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Lobby::setCaption(const QString &caption)
{
    if (caption == windowTitle())
        return;  // the status timer repeats itself; only a change is news
    setWindowTitle(caption);
    // Qt does not tell screen readers that a title changed; the connection state is heard only so.
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

void Lobby::showRegistrationRefused(const QString &reason)
{
    Label4->setText(reason);
}

void Lobby::showJoined()
{
    Connection->hide();
    Send->setEnabled(true);
    for (QWidget *w : {static_cast<QWidget *>(ChatBox), static_cast<QWidget *>(SendBox),
                       static_cast<QWidget *>(USERLIST)})
        styleFlatBox(w, Qt::white);
}

void Lobby::replaceChat(const QString &line)
{
    m_pendingChat.clear();  // lines queued before the welcome would have gone with the old text
    m_pendingSpeakers.clear();
    m_chatFlush.stop();
    ChatBox->setText(line);
    ChatBox_Change();
}

void Lobby::appendSaid(const QString &speaker, const QString &text)
{
    appendChat(speaker + QStringLiteral("> ") + text);
    m_pendingSpeakers.last() = int(speaker.size());
}

void Lobby::appendChat(const QString &line)
{
    m_pendingChat.append(line);
    m_pendingSpeakers.append(0);
    if (m_chatFlush.isActive())
        return;
    const QScreen *shown = screen();
    const qreal hz = shown && shown->refreshRate() > 0 ? shown->refreshRate() : 60.0;
    // A line after a quiet spell shows at the next frame; under a flood the box updates ten
    // times a second, so each layout and repaint serves a tenth of a second's lines.
    const qint64 since = m_lastChatFlush.isValid() ? m_lastChatFlush.elapsed() : FloodUpdateMs;
    m_chatFlush.start(int(std::max<qint64>(qRound(1000.0 / hz), FloodUpdateMs - since)));
}

void Lobby::flushChat()
{
    m_chatFlush.stop();
    if (m_pendingChat.isEmpty())
        return;
    m_lastChatFlush.start();
    ChatBox->appendLines(m_pendingChat, m_pendingSpeakers);  // the box keeps the newest ChatLinesKept
    m_pendingChat.clear();
    m_pendingSpeakers.clear();
    ChatBox_Change();
}

void Lobby::closeEvent(QCloseEvent *event)
{
    m_session.setView(nullptr);
    m_session.Form_Unload();
    event->accept();
    emit unloaded();
}
