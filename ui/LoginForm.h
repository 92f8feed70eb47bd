#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class Resource;

// The nickname window, the first the program shows.
class LoginForm : public QWidget {
    Q_OBJECT
public:
    LoginForm(Resource &store, QWidget *parent = nullptr);

    QPushButton *Command2;  // "&Exit"
    QPushButton *Command1;  // "&Login", the default button
    QLineEdit *NICKNAMEBOX;
    QLabel *LOGO;
    QLabel *Label2;
    QLabel *Label1;
    QLabel *BG;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

signals:
    void loggedIn(const QString &nickname);
    void exitRequested();

private:
    Resource &m_store;
};
