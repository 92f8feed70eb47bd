#include "ui/NewsForm.h"

#include "ui/Controls.h"

#include <QPlainTextEdit>

NewsForm::NewsForm(QWidget *owner) : QWidget(owner, Qt::Tool)
{
    setupWindow(this, "NewsForm", QStringLiteral("Room Message"), {312, 206});
    BG = makeStretchedImage(this, "BG", {0, 0, 313, 207}, QStringLiteral("NewsBG"));
    MSG = makeControl<QPlainTextEdit>(this, "MSG", {56, 32, 161, 129});
    MSG->setReadOnly(true);
    MSG->setTextInteractionFlags(MSG->textInteractionFlags() | Qt::TextSelectableByKeyboard);  // a caret marks the focus
    setSpokenName(MSG, QStringLiteral("Room message"));
    MSG->setFrameShape(QFrame::NoFrame);
    MSG->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSG->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette colours = MSG->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, Qt::white);
    MSG->setPalette(colours);
    if (owner)
        move(owner->geometry().center() - rect().center());
}
