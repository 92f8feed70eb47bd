#include "ui/Lobby.h"

#include "core/LobbySession.h"
#include "ui/ClickArea.h"
#include "ui/Controls.h"
#include "ui/Resource.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
void setBase(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

QColor greyText()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

QFont bold(QFont font, qreal pointSize = 0)
{
    font.setBold(true);
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    return font;
}
}  // namespace

Lobby::Lobby(LobbySession &session, Resource &store, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_session(session),
      m_store(store)
{
    setObjectName(QStringLiteral("Lobby"));
    setWindowTitle(QStringLiteral("TavarineClient"));
    setFixedSize(585, 268);
    setAttribute(Qt::WA_DeleteOnClose);

    // Back to front.
    BG = makeControl<QLabel>(this, "BG", {0, -16, 585, 297});
    BG->setScaledContents(true);
    GFX1 = makeControl<QLabel>(this, "GFX1", {144, 8, 296, 230});
    GFX1->setPixmap(Resource::picture(QStringLiteral("GFX1"), {296, 230}));
    Label1 = makeControl<QLabel>(this, "Label1", {440, 8, 139, 13}, QStringLiteral("TavarineNET IRC Users"));
    Label1->setFont(bold(font()));
    LOGO = makeControl<QLabel>(this, "LOGO", {8, 8, 91, 87});
    LOGO->setScaledContents(true);
    Label2 = makeControl<QLabel>(this, "Label2", {448, 240, 119, 13}, QStringLiteral("Tavarine IRC Client Beta"));

    ChatBox = makeControl<QPlainTextEdit>(this, "ChatBox", {168, 32, 209, 177});
    ChatBox->setReadOnly(true);
    ChatBox->setFrameShape(QFrame::Box);
    ChatBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ChatBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ChatBox->setMaximumBlockCount(ChatLinesKept);  // older lines scroll away; appends stay cheap
    SendBox = makeControl<QLineEdit>(this, "SendBox", {144, 240, 233, 19});
    SendBox->setFrame(false);
    Send = makeControl<QPushButton>(this, "Send", {384, 240, 41, 17}, QStringLiteral("&Send"));
    Send->setEnabled(false);
    Send->setDefault(true);
    buildConnectionPanel();
    Command2 = makeControl<QPushButton>(this, "Command2", {440, 224, 129, 13}, QStringLiteral("&Refresh Users"));
    USERLIST = makeControl<QListWidget>(this, "USERLIST", {440, 32, 129, 184});
    USERLIST->setFrameShape(QFrame::Box);
    QPalette listColours = USERLIST->palette();
    listColours.setColor(QPalette::Text, QColor(0, 0, 255));
    USERLIST->setPalette(listColours);
    buildHutPanel();
    for (QWidget *w : {static_cast<QWidget *>(ChatBox), static_cast<QWidget *>(SendBox),
                       static_cast<QWidget *>(USERLIST)})
        setBase(w, greyText());

    setTabOrder(SendBox, ChatBox);
    setTabOrder(ChatBox, Send);
    setTabOrder(Send, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, USERLIST);

    connect(ChatBox, &QPlainTextEdit::textChanged, this, &Lobby::ChatBox_Change);
    connect(SendBox, &QLineEdit::returnPressed, this, [this] {
        if (Send->isEnabled())
            Send->click();
    });
    m_session.setView(this);
    Form_Load();
}

void Lobby::buildConnectionPanel()
{
    Connection = makeControl<QFrame>(this, "Connection", {200, 80, 209, 65});
    bg3 = makeStretchedImage(Connection, "bg3", {0, 0, 281, 65}, Resource::picture(QStringLiteral("Button"), {105, 28}));
    Label4 = makeControl<QLabel>(Connection, "Label4", {16, 8, 185, 33},
                                 QStringLiteral("Registering Your Client On the IRC Network"));
    Label4->setFont(bold(font(), 9.75));
    Label4->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setWordWrap(true);
    Command1 = makeControl<QPushButton>(Connection, "Command1", {64, 40, 81, 17}, QStringLiteral("View Log"));
}

void Lobby::buildHutPanel()
{
    HUTBOX = makeControl<QFrame>(this, "HUTBOX", {8, 112, 129, 145});
    HUTIMAGE = makeStretchedImage(HUTBOX, "HUTIMAGE", {0, 0, 129, 145}, Resource::picture(QStringLiteral("HUTIMAGE"), {129, 145}));
}

void Lobby::Form_Load()
{
    BG->setPixmap(m_store.BG);
    LOGO->setPixmap(m_store.LOGO);
}

void Lobby::ChatBox_Change()
{
    // Keep the newest line in view.
    ChatBox->moveCursor(QTextCursor::End);
    ChatBox->ensureCursorVisible();
}

void Lobby::setCaption(const QString &caption)
{
    setWindowTitle(caption);
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
        setBase(w, Qt::white);
}

void Lobby::replaceChat(const QString &line)
{
    ChatBox->setPlainText(line);
}

void Lobby::appendChat(const QString &line)
{
    ChatBox->appendPlainText(line);
}

void Lobby::closeEvent(QCloseEvent *event)
{
    m_session.setView(nullptr);
    m_session.Form_Unload();
    event->accept();
    emit unloaded();
}
