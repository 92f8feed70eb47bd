#pragma once

#include "session/LobbyView.h"

#include <array>

// A LobbyView that remembers what the session showed, for headless sessions.
struct RecordingView : LobbyView {
    QString caption, refusal, roomMessage, outOfLobby, server;  // outOfLobby: the reason shown, while out
    QStringList chat, userListRows, linksAsked, browsed, launchProblems, hutMessages;
    bool joinedLook = false, hostControls = false, closed = false, answerLinks = false, canRejoin = false;
    int inHutMessages = 0;
    std::array<Place, 4> places{};

    bool taken(int i) const { return places.at(i).kind != Place::Free; }

    void setCaption(const QString &c) override { caption = c; }
    void showRegistrationRefused(const QString &reason) override { refusal = reason; }
    void showJoined() override
    {
        joinedLook = true;
        outOfLobby.clear();
    }
    void showOutOfLobby(const QString &reason, bool rejoin) override
    {
        outOfLobby = reason;
        canRejoin = rejoin;
    }
    void replaceChat(const QString &line) override { chat = QStringList{line}; }
    void appendChat(const QString &line) override { chat.append(line); }
    void setHostControlsVisible(bool visible) override { hostControls = visible; }
    void setUserListRows(const QList<UserRow> &rows) override
    {
        userListRows.clear();
        for (const UserRow &row : rows)
            userListRows.append(row.ignored ? row.shown + (row.ignoreFollowedRename ? " (ignored, renamed)" : " (ignored)") : row.shown);
    }
    void showRoomMessage(const QString &text) override { roomMessage = text; }
    void showPlace(int i, const Place &place) override { places.at(i) = place; }
    void showInHutMessage() override { ++inHutMessages; }
    void showHutMessage(const QString &text) override { hutMessages.append(text); }
    void closeLobby() override { closed = true; }
    void askOpenLink(const QString &, const QString &address, std::function<void(bool)> answer) override
    {
        linksAsked.append(address);
        answer(answerLinks);
    }
    void openInBrowser(const QString &address) override { browsed.append(address); }
    void showLaunchProblem(const QString &text) override { launchProblems.append(text); }
    void showServer(const QString &s) override { server = s; }
};
