#include "ui/ServerDialog.h"

#include "ui/Controls.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

ServerDialog::ServerDialog(const QList<ServerAddress> &servers, QWidget *parent) : QDialog(parent), m_servers(servers)
{
    setObjectName(QStringLiteral("ServerDialog"));
    setWindowTitle(QStringLiteral("Servers"));
    setFont(windowFont());
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Servers to try in turn, one a line: HOST[:PORT], or ircs://HOST[:PORT] for TLS.\n"
                                            "None: the built-in server."), this);
    label->setWordWrap(true);
    ServerList = new QPlainTextEdit(this);
    ServerList->setObjectName(QStringLiteral("ServerList"));
    ServerList->setTabChangesFocus(true);
    setSpokenName(ServerList, QStringLiteral("Servers, one a line"));
    label->setBuddy(ServerList);
    QStringList lines;
    for (const ServerAddress &server : servers)
        lines += server.toString();
    ServerList->setPlainText(lines.join(u'\n'));
    Refusal = new QLabel(this);
    Refusal->setObjectName(QStringLiteral("Refusal"));
    Refusal->setTextFormat(Qt::PlainText);  // it quotes what was typed
    Refusal->setWordWrap(true);
    setTextColour(Refusal, QColor(160, 0, 0));
    Refusal->setAccessibleName(QStringLiteral("Why the list was refused"));
    Refusal->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerDialog::reject);
    layout->addWidget(label);
    layout->addWidget(ServerList);
    layout->addWidget(Refusal);
    layout->addWidget(buttons);
    resize(360, 220);
}

void ServerDialog::accept()
{
    QList<ServerAddress> servers;
    const QStringList lines = ServerList->toPlainText().split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        QString why;
        if (const auto address = ServerAddress::parse(line, &why)) {
            servers += *address;
            continue;
        }
        Refusal->setText(QStringLiteral("Line %1, \"%2\": %3.").arg(i + 1).arg(line, why));
        Refusal->show();
        QAccessibleEvent shown(Refusal, QAccessible::Alert);
        QAccessible::updateAccessibility(&shown);
        ServerList->setFocus();
        return;
    }
    m_servers = servers;
    QDialog::accept();
}
