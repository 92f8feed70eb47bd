#pragma once

#include "session/LobbyView.h"

#include <QStringList>

// A headless session's window: keeps the chat it was shown, answers no to links.
class RecordingView : public LobbyView {
public:
    QStringList chat;

    void replaceChat(const QString &line) override { chat = QStringList{line}; }
    void appendChat(const QString &line) override { chat.append(line); }
    void askOpenLink(const QString &, const QString &, std::function<void(bool)> answer) override { answer(false); }
};
