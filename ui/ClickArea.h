#pragma once

#include <QLabel>

// An image control: shows a picture (or nothing) and reports clicks.
// Without a picture it draws nothing and is only a click area.
// To the keyboard and to screen readers it is a push button: Tab reaches it, it
// draws its own focus mark, space or Return presses it, the arrow keys move
// through its control array. A click does not take the focus, and the mark shows
// only once the keyboard is used, so the mouse leaves the look as it was.
class ClickArea : public QLabel {
    Q_OBJECT
public:
    explicit ClickArea(QWidget *parent = nullptr);

    // What a click, a key and a screen reader's press action all do.
    void press();

signals:
    void clicked();

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool focusNeighbour(int step);
    bool m_keyboardUsed = false;
};
