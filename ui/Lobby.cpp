#include "ui/Lobby.h"

#include "launch/CommandLines.h"
#include "protocol/WireText.h"
#include "session/LobbySession.h"
#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/Controls.h"
#include "ui/LogFrm.h"
#include "ui/NewsForm.h"
#include "ui/Resource.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
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

constexpr int ChatBoxHeight = 177;
// Under the chat box, which gives up the room while the bar is shown: the bar hides nothing.
constexpr QRect LinkBarPlace{168, 176, 209, 62};
constexpr int ShownName = Qt::UserRole + 1;  // a user list row's name as shown; Qt::UserRole holds the wire name

// The room the link bar's text has left and right of its border.
constexpr int LinkTextWidth = LinkBarPlace.width() - 12;

// A message of the lobby's own. Not modal: the rules and the chat go on under it. Names in it are plain text.
void openMessage(QWidget *parent, const char *name, QMessageBox::Icon icon, const QString &text)
{
    auto *box = new QMessageBox(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setObjectName(QString::fromLatin1(name));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Whether the text names this player as a word of its own, in any case.
}  // namespace

Lobby::Lobby(LobbyControls &controls, const LobbyStatus &status, Resource &store, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_controls(controls),
      m_status(status), m_store(store)
{
    setupWindow(this, "Lobby", QStringLiteral("TavarineClient"), {585, 268});
    setWindowIcon(Resource::applicationIcon());

    // Back to front.
    BG = makeControl<StretchedImage>(this, "BG", {0, -16, 585, 297});
    GFX1 = makeStretchedImage(this, "GFX1", {144, 8, 296, 230}, QStringLiteral("GFX1"), false);
    Label1 = makeControl<QLabel>(this, "Label1", {440, 8, 139, 13}, QStringLiteral("TavarineNET IRC Users"));
    Label1->setFont(boldFont());
    addHalo(Label1);
    LOGO = makeControl<StretchedImage>(this, "LOGO", {8, 8, 91, 87});
    Label2 = makeControl<QLabel>(this, "Label2", {448, 240, 119, 13}, QStringLiteral("Tavarine IRC Client Beta"));
    addHalo(Label2);

    ChatBox = makeControl<ChatView>(this, "ChatBox", {168, 32, 209, ChatBoxHeight}, ChatLinesKept);
    setSpokenName(ChatBox, QStringLiteral("Chat"));
    ChatBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Opaque, so that its scroll bar's repaints under a flood do not repaint the artwork behind it.
    ChatBox->setAutoFillBackground(true);
    SendBox = makeControl<FlatLineEdit>(this, "SendBox", {144, 240, 233, 19});
    SendBox->setMaxLength(MaxTypedChars);
    SendBox->setAccessibleName(QStringLiteral("Message"));

    Send = makeControl<QPushButton>(this, "Send", {384, 240, 41, 17}, QStringLiteral("&Send"));
    Send->setEnabled(false);
    Send->setDefault(true);
    installDefaultButton(this, Send);
    buildConnectionPanel();
    buildLinkBar();
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

    setTabOrder(SendBox, LinkOpen);  // the bar, while shown, is one Tab away from the chat line
    setTabOrder(LinkOpen, LinkDismiss);
    setTabOrder(LinkDismiss, ChatBox);
    setTabOrder(ChatBox, Send);
    setTabOrder(Send, Rejoin);
    setTabOrder(Rejoin, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, USERLIST);
    setTabOrder(USERLIST, Player[0]);
    USERLIST->installEventFilter(this);
    USERLIST->viewport()->installEventFilter(this);
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
        m_controls.Command2_Click();
        flushChat();  // what the user did shows at once
    });
    connect(Command1, &QPushButton::clicked, this, &Lobby::Command1_Click);
    m_clock.start();
    LinkHoldEnd.setSingleShot(true);
    LinkHoldEnd.setTimerType(Qt::PreciseTimer);  // not before the hold's end: no link is counted untold
    LinkHoldEnd.setInterval(int(LinkHold::HoldMs));
    connect(&LinkHoldEnd, &QTimer::timeout, this, &Lobby::LinkHoldEnd_Timer);
    centreOnScreen(this);
    Form_Load();
}

Lobby::~Lobby()
{
    answerLink(false);
    delete m_logFrm;  // it reads the session's logs
}

void Lobby::buildConnectionPanel()
{
    Connection = makePanel(this, "Connection", {200, 80, 209, 65}, QStringLiteral("Connection"), QAccessible::AlertMessage);
    bg3 = makeStretchedImage(Connection, "bg3", {0, 0, 281, 65}, QStringLiteral("Button"));
    Label4 = makeControl<QLabel>(Connection, "Label4", {16, 8, 185, 33});
    Label4->setTextFormat(Qt::PlainText);  // a server's or a player's reason is never markup
    Label4->setFont(boldFont(9.75));
    setTextColour(Label4, QColor(0, 0, 255));
    Label4->setAlignment(Qt::AlignCenter);
    showConnectionText(QStringLiteral("Registering Your Client On the IRC Network"));
    // Not "&Rejoin": Alt+R is "&Refresh Users" already.
    Rejoin = makeControl<QPushButton>(Connection, "Rejoin", {16, 40, 81, 17}, QStringLiteral("Re&join"));
    Rejoin->hide();
    connect(Rejoin, &QPushButton::clicked, this, [this] { m_controls.Rejoin_Click(); });
    Command1 = makeControl<QPushButton>(Connection, "Command1", {64, 40, 81, 17}, QStringLiteral("View Log"));
}

void Lobby::buildLinkBar()
{
    LinkBar = makePanel(this, "LinkBar", LinkBarPlace, QStringLiteral("Posted link"), QAccessible::AlertMessage);
    LinkBar->setFrameStyle(QFrame::Box | QFrame::Plain);
    LinkBar->setAutoFillBackground(true);
    QPalette colours = LinkBar->palette();
    colours.setColor(QPalette::Window, QColor(255, 246, 222));
    colours.setColor(QPalette::WindowText, Qt::black);
    LinkBar->setPalette(colours);
    LinkText = makeControl<QLabel>(LinkBar, "LinkText", {6, 3, LinkTextWidth, 16});
    LinkHost = makeControl<QLabel>(LinkBar, "LinkHost", {6, 19, LinkTextWidth, 16});
    LinkHost->setFont(boldFont());
    LinkPath = makeControl<QLabel>(LinkBar, "LinkPath", {6, 19, LinkTextWidth, 16});
    for (QLabel *label : {LinkText, LinkHost, LinkPath})
        label->setTextFormat(Qt::PlainText);  // a name or an address is never markup
    // No letter answers it, and a click never takes the focus from the chat line.
    LinkOpen = makeControl<QPushButton>(LinkBar, "LinkOpen", {88, 38, 55, 19}, QStringLiteral("Open"));
    LinkOpen->setAccessibleName(QStringLiteral("Open link"));
    LinkDismiss = makeControl<QPushButton>(LinkBar, "LinkDismiss", {147, 38, 57, 19}, QStringLiteral("Dismiss"));
    LinkDismiss->setAccessibleName(QStringLiteral("Dismiss link"));
    for (QPushButton *button : {LinkOpen, LinkDismiss})
        button->setFocusPolicy(Qt::TabFocus);
    LinkBar->hide();
    m_linkArming.setSingleShot(true);
    m_linkArming.setInterval(LinkArmingMs);
    connect(&m_linkArming, &QTimer::timeout, LinkOpen, [this] { LinkOpen->setEnabled(true); });
    connect(LinkOpen, &QPushButton::clicked, this, [this] { answerLink(true); });
    connect(LinkDismiss, &QPushButton::clicked, this, [this] {
        m_linkHold.dismissed(m_clock.elapsed());
        LinkHoldEnd.start();
        answerLink(false);
    });
}

void Lobby::buildHutPanel()
{
    HUTBOX = makePanel(this, "HUTBOX", {8, 112, 129, 145}, QStringLiteral("Hut"));
    // Back to front.
    HUTIMAGE = makeStretchedImage(HUTBOX, "HUTIMAGE", {0, 0, 129, 145}, QStringLiteral("HUTIMAGE"));
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
        connect(Player[i], &ClickArea::clicked, this, [this, i] { m_controls.Player_Click(i); });
    }
    QuitButton = makeControl<ClickArea>(HUTBOX, "QuitButton", {96, 40, 25, 25});
    QuitButton->setAccessibleName(QStringLiteral("Leave the hut"));
    connect(QuitButton, &ClickArea::clicked, this, [this] { m_controls.QuitButton_Click(); });
    connect(Refresh, &ClickArea::clicked, this, [this] {
        m_controls.Refresh_Click();
        flushChat();
    });
    connect(LaunchButton, &ClickArea::clicked, this, [this] { m_controls.LaunchButton_Click(); });
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
    Player[index]->setToolTip(plainToolTip(toolTip));
    Player[index]->setAccessibleDescription(description);
}

void Lobby::setHostControlsVisible(bool visible)
{
    LaunchButton->setVisible(visible);
    HostLabel->setVisible(visible);
}

void Lobby::showInHutMessage()
{
    openMessage(this, "InHutMessage", QMessageBox::NoIcon,
                QStringLiteral("You are Currently In A Hut, Please Exit The Hut Before Joining a new one"));
}

void Lobby::showHutMessage(const QString &text)
{
    openMessage(this, "HutMessage", QMessageBox::NoIcon, text);
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
    BG->setArtwork(QStringLiteral("BG"));
    LOGO->setArtwork(QStringLiteral("LOGO"));
    SendBox->setFocus();
}

void Lobby::Command1_Click()
{
    // Modal: the lobby takes no input while it is open, but its timers and socket go on.
    // No parent: it opens where the desktop puts new windows, not over the lobby.
    if (!m_logFrm) {
        m_logFrm = new LogFrm(m_status);
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
    if (m_controls.Send_Click(SendBox->text())) {
        SendBox->clear();
        flushChat();  // the user's own line shows at once, behind what came before it
    }
}

void Lobby::setUserListRows(const QList<UserRow> &rows)
{
    // Rebuilt on every change: the row a keyboard user is on stays the current one.
    const QListWidgetItem *was = USERLIST->currentItem();
    const QByteArray current = was ? was->data(Qt::UserRole).toByteArray() : QByteArray();
    USERLIST->clear();
    for (const UserRow &row : rows) {
        const QString mark = row.ignoreFollowedRename ? QStringLiteral(" (ignored, renamed)") : QStringLiteral(" (ignored)");
        auto *item = new QListWidgetItem(row.ignored ? row.shown + mark : row.shown, USERLIST);
        item->setData(Qt::UserRole, row.name);
        item->setData(ShownName, row.shown);
        if (USERLIST->fontMetrics().horizontalAdvance(item->text()) > USERLIST->viewport()->width())
            item->setToolTip(plainToolTip(item->text()));  // the row shows it cut
        if (row.ignored) {
            QFont font = USERLIST->font();
            font.setItalic(true);
            item->setFont(font);
            item->setForeground(Qt::darkGray);
        }
        if (!current.isEmpty() && row.name == current)  // the very bytes the row was made from: no folding needed
            USERLIST->setCurrentItem(item);
    }
}

bool Lobby::eventFilter(QObject *watched, QEvent *event)
{
    // A row's menu: by a right click on it, or by the menu key or Shift+F10 on the current row.
    if (watched != USERLIST && watched != USERLIST->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn && watched == USERLIST && USERLIST->count() > 0
        && static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason) {
        // The keyboard lands on a row, the row its menu is for, and a screen reader hears that
        // row after the list's own focus news.
        if (!USERLIST->currentItem())
            USERLIST->setCurrentRow(0);
        QTimer::singleShot(0, USERLIST, [this] {
            if (USERLIST->hasFocus() && USERLIST->currentRow() >= 0) {
                QAccessibleEvent row(USERLIST, QAccessible::Focus);
                row.setChild(USERLIST->currentRow());
                QAccessible::updateAccessibility(&row);
            }
        });
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto *asked = static_cast<QContextMenuEvent *>(event);
        if (asked->reason() != QContextMenuEvent::Mouse) {
            showUserMenu(USERLIST->currentItem(), {});
        } else if (QListWidgetItem *row = USERLIST->itemAt(USERLIST->viewport()->mapFromGlobal(asked->globalPos()))) {
            USERLIST->setCurrentItem(row);
            showUserMenu(row, asked->globalPos());
        }
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier)
            || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            showUserMenu(USERLIST->currentItem(), {});
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Lobby::showUserMenu(QListWidgetItem *row, QPoint at)
{
    if (!row)
        return;
    const QByteArray name = row->data(Qt::UserRole).toByteArray();
    const bool ignored = m_status.isIgnored(name);
    QString shown = row->data(ShownName).toString();
    shown.replace(u'&', QStringLiteral("&&"));  // a name's letters are no shortcuts
    auto *menu = new QMenu(USERLIST);
    menu->setObjectName(QStringLiteral("UserMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(ignored ? QStringLiteral("Stop ignoring %1").arg(shown) : QStringLiteral("Ignore %1").arg(shown), this,
                    [this, name, ignored] { m_controls.IgnorePlayer(name, !ignored); });
    menu->popup(at.isNull() ? USERLIST->viewport()->mapToGlobal(USERLIST->visualItemRect(row).center()) : at);
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
    if (!m_newsForm) {
        m_newsForm = new NewsForm(this);
        // It comes whenever somebody posts one: the keys of a line being typed stay in the lobby.
        m_newsForm->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_newsForm->MSG->setPlainText(text);
    m_newsForm->show();
}

void Lobby::askOpenLink(const QString &poster, const QString &address, std::function<void(bool)> answer)
{
    // Held back after a Dismiss, or no host to show (nothing a browser would open): No.
    if (m_linkHold.holdBack(m_clock.elapsed()) || CommandLines::splitLink(address).host.isEmpty())
        return answer(false);
    answerLink(false);  // one question at a time: the one it replaces counts as No
    m_linkAnswer = std::move(answer);
    showLink(poster, address);
    LinkOpen->setEnabled(false);
    m_linkArming.start();
    ChatBox->resize(ChatBox->width(), std::max(0, LinkBar->y() - 3 - ChatBox->y()));
    LinkBar->show();
}

// The poster on the first line; then the host, whole even when it takes several lines, and
// beside it, or under it when no room is left, the rest of the address cut to fit. The bar
// grows upwards as far as its text needs.
void Lobby::showLink(const QString &poster, const QString &address)
{
    const CommandLines::LinkParts link = CommandLines::splitLink(address);
    const QFontMetrics metrics(LinkText->font());
    const int line = metrics.lineSpacing() + 2;
    const QString posted = QStringLiteral(" posted a link:");
    LinkText->setText(metrics.elidedText(poster, Qt::ElideRight, LinkTextWidth - metrics.horizontalAdvance(posted)) + posted);
    LinkText->setGeometry(6, 3, LinkTextWidth, line);
    LinkText->setAccessibleName(poster + posted);
    const QStringList hostLines = fittedLines(link.host, LinkHost->font(), LinkTextWidth);
    LinkHost->setText(hostLines.join(u'\n'));
    LinkHost->setAccessibleName(link.host);
    LinkHost->setGeometry({QPoint(6, 3 + line), LinkHost->sizeHint()});  // never less than its text
    int bottom = LinkHost->geometry().bottom() + 1;
    const QString dash = QStringLiteral(" \u2014 ");
    QPoint pathAt(LinkHost->geometry().right() + 1, bottom - LinkHost->height() / int(hostLines.size()));
    if (LinkTextWidth + 6 - pathAt.x() - metrics.horizontalAdvance(dash) < metrics.horizontalAdvance(QStringLiteral("/ab\u2026"))) {
        pathAt = {6, bottom};  // no room for even a little of the rest beside the host
        bottom += line;
    }
    const int room = LinkTextWidth + 6 - pathAt.x();
    LinkPath->setText(link.rest.isEmpty() ? QString() : dash + metrics.elidedText(link.rest, Qt::ElideRight, room - metrics.horizontalAdvance(dash)));
    LinkPath->setAccessibleName(link.rest);
    LinkPath->setGeometry(pathAt.x(), pathAt.y(), room, line);
    LinkBar->setToolTip(plainToolTip(address));
    LinkBar->setAccessibleDescription(poster + posted + u' ' + link.host + (link.rest.isEmpty() ? QString() : dash + link.rest));
    const int buttons = std::max(38, bottom + 3);
    LinkOpen->move(LinkOpen->x(), buttons);
    LinkDismiss->move(LinkDismiss->x(), buttons);
    const int height = buttons + 24;
    LinkBar->setGeometry(LinkBarPlace.x(), std::max(0, LinkBarPlace.bottom() + 1 - height), LinkBarPlace.width(), height);
}

void Lobby::LinkHoldEnd_Timer()
{
    const int held = m_linkHold.takeHeld();
    if (held == 1)
        appendChat(QStringLiteral(" -=1 more link held back=-"));
    else if (held > 1)
        appendChat(QStringLiteral(" -=%1 more links held back=-").arg(held));
}

void Lobby::askAttention()
{
    if (!isActiveWindow())
        QApplication::alert(this);
}

void Lobby::answerLink(bool open)
{
    if (!m_linkAnswer)
        return;
    const bool hadFocus = LinkBar->isAncestorOf(focusWidget());  // the window's focus, active or not
    LinkBar->hide();
    m_linkArming.stop();
    ChatBox->resize(ChatBox->width(), ChatBoxHeight);
    if (hadFocus)
        SendBox->setFocus(Qt::OtherFocusReason);
    std::exchange(m_linkAnswer, {})(open);
}

void Lobby::openInBrowser(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));  // the desktop's own browser, as any link it opens
}

void Lobby::showLaunchProblem(const QString &text)
{
    openMessage(this, "LaunchProblem", QMessageBox::Warning, text);
}

void Lobby::showServer(const QString &server)
{
    if (Connection->isVisible())
        showConnectionText(QStringLiteral("Registering Your Client On the IRC Network at ") + server);
    Connection->setToolTip(plainToolTip(QStringLiteral("Server: ") + server));
}

void Lobby::askTrust(const QString &server, const QString &reason, const QByteArray &fingerprint, const QByteArray &pinned,
                     std::function<void(bool)> answer)
{
    QString text = QStringLiteral("The certificate of %1 was refused: %2.\n\nIts SHA-256 fingerprint:\n%3")
                       .arg(server, reason, QString::fromLatin1(fingerprint));
    if (!pinned.isEmpty())
        text += QStringLiteral("\n\nThe one you trusted before:\n%1").arg(QString::fromLatin1(pinned));
    text += QStringLiteral("\n\nTrust this one certificate for this server only if you know it is the server's own.");
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::NoButton, this);
    box->setTextFormat(Qt::PlainText);
    box->setObjectName(QStringLiteral("TrustQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *trust = box->addButton(QStringLiteral("&Trust this certificate"), QMessageBox::AcceptRole);
    box->setDefaultButton(box->addButton(QStringLiteral("&Don't trust"), QMessageBox::RejectRole));
    connect(box, &QMessageBox::finished, this, [this, box, trust, server, fingerprint, answer] {
        const bool yes = box->clickedButton() == trust;
        if (yes)
            emit trusted(server, fingerprint);  // kept before the session dials again
        answer(yes);
    });
    askAttention();
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
    showOutOfLobby(reason, false);
}

void Lobby::showJoined()
{
    Connection->hide();
    Rejoin->hide();
    Command1->move(64, 40);
    Send->setEnabled(true);
    for (QWidget *w : {static_cast<QWidget *>(ChatBox), static_cast<QWidget *>(SendBox),
                       static_cast<QWidget *>(USERLIST)})
        styleFlatBox(w, Qt::white);
}

// The panel's few lines show what fits; the tooltip and screen readers get all of it.
void Lobby::showConnectionText(const QString &text)
{
    const int lines = std::max(1, Label4->height() / QFontMetrics(Label4->font()).lineSpacing());
    Label4->setText(fittedLines(WireText::shownChat(text), Label4->font(), Label4->width(), lines).join(u'\n'));
    Label4->setToolTip(plainToolTip(text));
    Label4->setAccessibleName(text);
    Connection->setAccessibleDescription(text);
}

void Lobby::showOutOfLobby(const QString &reason, bool canRejoin)
{
    showConnectionText(reason);
    Rejoin->setVisible(canRejoin);
    Command1->move(canRejoin ? 112 : 64, 40);
    Send->setEnabled(false);
    if (Connection->isVisible()) {
        // Already shown: a screen reader hears the new reason as it heard the panel come.
        QAccessibleEvent again(Connection, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&again);
    }
    Connection->show();
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
    // Made to its size at once: the transcript keeps 10,000 of these, and a string grown by
    // appending keeps room to grow.
    QString line;
    line.reserve(speaker.size() + 2 + text.size());
    line += speaker;
    line += QStringLiteral("> ");
    line += text;
    appendChat(line);
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
    answerLink(false);
    event->accept();
    emit closed();
}
