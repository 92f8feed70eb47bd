#pragma once

#include "session/LobbyView.h"

#include <QStringList>
#include <array>

// A LobbyView that remembers what the session showed, for headless tests.
class RecordingView : public LobbyView {
public:
    QString caption;
    QString refusal;
    bool joinedLook = false;
    QStringList chat;
    bool hostControls = false;
    QStringList userListRows;
    int beeps = 0;
    QString roomMessage;
    QStringList linksAsked;
    bool answerLinks = false;  // the answer given to every link question
    std::array<bool, 4> taken{};
    std::array<QString, 4> toolTips;
    int inHutMessages = 0;
    bool loginShown = false;
    bool closed = false;

    void setCaption(const QString &c) override { caption = c; }
    void showRegistrationRefused(const QString &reason) override { refusal = reason; }
    void showJoined() override { joinedLook = true; }
    void replaceChat(const QString &line) override { chat = QStringList{line}; }
    void appendChat(const QString &line) override { chat.append(line); }
    void setHostControlsVisible(bool visible) override { hostControls = visible; }
    void setUserListRows(const QStringList &rows) override { userListRows = rows; }
    void clearUserList() override { userListRows.clear(); }
    void beep() override { ++beeps; }
    void showRoomMessage(const QString &text) override { roomMessage = text; }
    void setPlayer(int i, bool t) override { taken.at(i) = t; }
    void setPlayerToolTip(int i, const QString &text) override { toolTips.at(i) = text; }
    void showInHutMessage() override { ++inHutMessages; }
    void showLoginForm() override { loginShown = true; }
    void closeLobby() override { closed = true; }
    void askOpenLink(const QString &address, std::function<void(bool)> answer) override
    {
        linksAsked.append(address);
        answer(answerLinks);
    }
};
