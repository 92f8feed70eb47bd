#include "ui/LoginForm.h"

#include "protocol/Nickname.h"
#include "ui/Controls.h"
#include "ui/ServerDialog.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

LoginForm::LoginForm(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setupWindow(this, "LoginForm", QStringLiteral("TavarineNET IRC - Login"), {207, 104});
    BG = makeControl<StretchedImage>(this, "BG", {0, 0, 217, 137});
    Label1 = makeControl<QLabel>(this, "Label1", {64, 8, 59, 13}, QStringLiteral("NickName"));
    Label1->setFont(boldFont());
    setTextColour(Label1, Qt::black);
    Label2 = makeControl<QLabel>(this, "Label2", {8, 64, 97, 33},
                                 QStringLiteral("Lobby by the\nTavarine team"));
    addHalo(Label1);
    addHalo(Label2);
    LOGO = makeControl<StretchedImage>(this, "LOGO", {0, 0, 57, 57});
    NICKNAMEBOX = makeControl<FlatLineEdit>(this, "NICKNAMEBOX", {64, 32, 137, 19});
    styleFlatBox(NICKNAMEBOX);
    NICKNAMEBOX->setAccessibleName(QStringLiteral("Nickname"));
    Command1 = makeControl<QPushButton>(this, "Command1", {160, 64, 41, 25}, QStringLiteral("&Login"));
    Command1->setDefault(true);
    installDefaultButton(this, Command1);
    Command2 = makeControl<QPushButton>(this, "Command2", {112, 64, 41, 25}, QStringLiteral("&Exit"));
    ServerButton = makeControl<QPushButton>(this, "ServerButton", {128, 5, 73, 22}, QStringLiteral("&Server…"));
    ServerButton->setAccessibleName(QStringLiteral("Server"));
    ServerButton->setAccessibleDescription(QStringLiteral("Choose the servers to connect to"));
    ServerButton->setAutoDefault(false);
    setTabOrder(NICKNAMEBOX, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, ServerButton);

    connect(Command1, &QPushButton::clicked, this, &LoginForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &LoginForm::Command2_Click);
    connect(ServerButton, &QPushButton::clicked, this, &LoginForm::ServerButton_Click);
    centreOnScreen(this);
    Form_Load();
}

void LoginForm::Form_Load()
{
    BG->setArtwork(QStringLiteral("BG"));
    LOGO->setArtwork(QStringLiteral("LOGO"));
}

void LoginForm::Command1_Click()
{
    const QString nickname = NICKNAMEBOX->text();
    if (nickname.isEmpty())
        return;
    if (!Nickname::isRegistrable(nickname)) {
        // Said at once: no server would take it, and the lobby could never be joined.
        auto *box = new QMessageBox(QMessageBox::NoIcon, windowTitle(), Nickname::RefusalText,
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("NicknameRefused"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    emit loggedIn(nickname);
}

void LoginForm::Command2_Click()
{
    emit exitRequested();
}

void LoginForm::setNickname(const QString &nickname)
{
    NICKNAMEBOX->setText(nickname);
    NICKNAMEBOX->selectAll();
}

void LoginForm::ServerButton_Click()
{
    auto *dialog = new ServerDialog(m_servers, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_servers = dialog->servers();
        emit serversChosen(m_servers);
    });
    dialog->open();
}
