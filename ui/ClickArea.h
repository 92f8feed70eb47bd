#pragma once

#include <QLabel>

// An image control: shows a picture (or nothing) and reports clicks.
// Without a picture it draws nothing and is only a click area.
class ClickArea : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
