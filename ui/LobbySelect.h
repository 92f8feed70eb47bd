#pragma once

#include <QWidget>
#include <array>

class ClickArea;
class QLabel;

// The lobby chooser: five click areas over a picture of five planets.
class LobbySelect : public QWidget {
    Q_OBJECT
public:
    explicit LobbySelect(QWidget *parent = nullptr);

    QLabel *Label1;
    std::array<ClickArea *, 5> LobbySel{};
    QLabel *Image1;

    void LobbySel_Click(int Index);
    // The lobby chosen last time has the focus when the window opens: Return or space takes it again.
    void preselect(int Index);

signals:
    void lobbyChosen(int lobby);
};
