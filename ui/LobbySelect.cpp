#include "ui/LobbySelect.h"

#include "ui/ClickArea.h"
#include "ui/Controls.h"
#include "ui/Resource.h"

LobbySelect::LobbySelect(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setupWindow(this, "LobbySelect", QStringLiteral("Select Lobby"), {388, 132});
    Image1 = makeControl<QLabel>(this, "Image1", {0, 0, 389, 104});
    setNaturalPicture(Image1, Resource::picture(QStringLiteral("LobbySelect")));
    static constexpr QRect areas[5] = {
        {128, 64, 33, 33}, {144, 24, 25, 17}, {176, 16, 25, 17}, {224, 32, 17, 25}, {296, 16, 25, 25}};
    for (int i = 0; i < 5; ++i) {  // made back to front: LobbySel(4) lies in front
        LobbySel[i] = makeControl<ClickArea>(this, "LobbySel", areas[i]);
        LobbySel[i]->setProperty("Index", i);
        LobbySel[i]->setCursor(Qt::PointingHandCursor);
        LobbySel[i]->setAccessibleName(QStringLiteral("Lobby %1").arg(i));
        connect(LobbySel[i], &ClickArea::clicked, this, [this, i] { LobbySel_Click(i); });
    }
    Label1 = makeControl<QLabel>(this, "Label1", {0, 104, 393, 33}, QStringLiteral("SELECT YOUR LOBBY"));
    Label1->setFont(boldFont(13.5));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setAutoFillBackground(true);
    centreOnScreen(this);
}

void LobbySelect::LobbySel_Click(int Index)
{
    emit lobbyChosen(Index);
}

void LobbySelect::preselect(int Index)
{
    if (Index >= 0 && Index < int(LobbySel.size()))
        LobbySel[Index]->setFocus(Qt::OtherFocusReason);
}
