#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The room message window: one message at a time, the newest replacing the last.
class NewsForm : public QWidget {
    Q_OBJECT
public:
    explicit NewsForm(QWidget *owner);

    QPlainTextEdit *MSG;
    QLabel *BG;
};
