#pragma once

#include "core/LobbyView.h"

#include <QStringList>

// A LobbyView that remembers what the session showed, for headless tests.
class RecordingView : public LobbyView {
public:
    QString caption;
    QString refusal;
    bool joinedLook = false;
    QStringList chat;
    bool hostControls = false;

    void setCaption(const QString &c) override { caption = c; }
    void showRegistrationRefused(const QString &reason) override { refusal = reason; }
    void showJoined() override { joinedLook = true; }
    void replaceChat(const QString &line) override { chat = QStringList{line}; }
    void appendChat(const QString &line) override { chat.append(line); }
    void setHostControlsVisible(bool visible) override { hostControls = visible; }
};
