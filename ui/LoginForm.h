#pragma once

#include "net/ServerAddress.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class StretchedImage;

// The nickname window, the first the program shows.
class LoginForm : public QWidget {
    Q_OBJECT
public:
    explicit LoginForm(QWidget *parent = nullptr);

    QPushButton *Command2;  // "&Exit"
    QPushButton *Command1;  // "&Login", the default button
    QLineEdit *NICKNAMEBOX;
    StretchedImage *LOGO;
    QLabel *Label2;
    QLabel *Label1;
    StretchedImage *BG;
    QPushButton *ServerButton;  // "&Server…": the servers to try

    // The last nickname, filled in and selected so that typing replaces it.
    void setNickname(const QString &nickname);
    void setServers(const QList<ServerAddress> &servers) { m_servers = servers; }
    void ServerButton_Click();

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

signals:
    void loggedIn(const QString &nickname);
    void exitRequested();
    void serversChosen(const QList<ServerAddress> &servers);  // empty: the built-in one

private:
    QList<ServerAddress> m_servers;
};
