#pragma once

#include "net/ServerAddress.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

// The servers to try, in order, one address a line. OK takes them only when every line is an
// address; else the first that is not is named beside the list, with why, and the dialog stays.
class ServerDialog : public QDialog {
    Q_OBJECT
public:
    ServerDialog(const QList<ServerAddress> &servers, QWidget *parent = nullptr);

    QPlainTextEdit *ServerList;
    QLabel *Refusal;
    QList<ServerAddress> servers() const { return m_servers; }  // after OK; empty: the built-in one

    void accept() override;

private:
    QList<ServerAddress> m_servers;
};
