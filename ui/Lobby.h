#pragma once

#include "session/LobbyControls.h"
#include "session/LobbyView.h"
#include "ui/LinkHold.h"

#include <QPointer>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>

class ChatView;
class ClickArea;
class LogFrm;
class NewsForm;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class Resource;
class StretchedImage;

// The main window. Thin: forwards clicks to the session's handlers and shows
// what the session's rules tell it through LobbyView.
class Lobby : public QWidget, public LobbyView {
    Q_OBJECT
public:
    static constexpr int ChatLinesKept = 10000;
    // A few chat lines' worth: longer text goes out in pieces anyway.
    static constexpr int MaxTypedChars = 2000;

    Lobby(LobbyControls &controls, const LobbyStatus &status, Resource &store, QWidget *parent = nullptr);
    ~Lobby() override;

    QFrame *HUTBOX;
    ClickArea *QuitButton;
    std::array<ClickArea *, 4> Player{};
    QLabel *HostLabel;
    ClickArea *LaunchButton;
    QLabel *BGM;
    ClickArea *Refresh;
    StretchedImage *HUTIMAGE;
    QListWidget *USERLIST;
    QPushButton *Command2;  // "&Refresh Users"
    QFrame *Connection;
    QPushButton *Rejoin;    // "Re&join", while out of the lobby by a kick or a refusal
    QPushButton *Command1;  // "View Log"
    QLabel *Label4;
    QLabel *bg3;
    QPushButton *Send;
    QLineEdit *SendBox;
    ChatView *ChatBox;
    QLabel *Label2;
    StretchedImage *LOGO;
    QLabel *Label1;
    StretchedImage *GFX1;
    StretchedImage *BG;
    // A posted link, offered without taking the focus: what was typed goes on being typed.
    QFrame *LinkBar;
    QLabel *LinkText;  // who posted it
    QLabel *LinkHost;  // the host it opens, always whole
    QLabel *LinkPath;  // the rest of the address, cut to the room left
    QPushButton *LinkOpen;
    QPushButton *LinkDismiss;

    void Form_Load();
    void ChatBox_Change();
    void Send_Click();
    void Command1_Click();
    // The dismiss hold is over: the chat box tells how many links it held back.
    void LinkHoldEnd_Timer();
    QTimer LinkHoldEnd;  // single shot, LinkHold::HoldMs after Dismiss
    NewsForm *newsForm() const;

    // LobbyView
    void setCaption(const QString &caption) override;
    void showRegistrationRefused(const QString &reason) override;
    void showJoined() override;
    void showOutOfLobby(const QString &reason, bool canRejoin) override;
    void replaceChat(const QString &line) override;
    void appendChat(const QString &line) override;
    void appendSaid(const QString &speaker, const QString &text) override;
    void setHostControlsVisible(bool visible) override;
    void showPlace(int index, const Place &place) override;
    void showInHutMessage() override;
    void showHutMessage(const QString &text) override;
    void showLoginForm() override;
    void closeLobby() override;
    void setUserListRows(const QList<UserRow> &rows) override;
    void beep() override;
    void showRoomMessage(const QString &text) override;
    void askOpenLink(const QString &poster, const QString &address, std::function<void(bool)> answer) override;
    void openInBrowser(const QString &address) override;
    void showLaunchProblem(const QString &text) override;
    void askAttention() override;
    void showServer(const QString &server) override;
    void askTrust(const QString &server, const QString &reason, const QByteArray &fingerprint, const QByteArray &pinned,
                  std::function<void(bool)> answer) override;

signals:
    void loginFormRequested();
    void closed();  // by the player or by a launch: the session ends the lobby
    // The player trusts this certificate for this server ("host:port" as shown).
    void trusted(const QString &server, const QByteArray &fingerprint);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildConnectionPanel();
    void buildHutPanel();
    void buildLinkBar();
    void answerLink(bool open);
    void showLink(const QString &poster, const QString &address);
    void showConnectionText(const QString &text);
    void showUserMenu(QListWidgetItem *row, QPoint globalPos);

    LobbyControls &m_controls;
    const LobbyStatus &m_status;
    Resource &m_store;
    QPointer<NewsForm> m_newsForm;
    QPointer<LogFrm> m_logFrm;
    std::array<Place, 4> m_places{};
    QPixmap m_contestedPlace;  // drawn as a taken place, in another colour and marked
    std::function<void(bool)> m_linkAnswer;
    // Open answers no click for a moment after the bar appears: a click meant for the chat is no consent.
    static constexpr int LinkArmingMs = 600;
    QTimer m_linkArming;
    LinkHold m_linkHold;
    QElapsedTimer m_clock;  // the hold's time
    // Chat lines wait for the next frame of the screen, and under a flood for a tenth of a
    // second after the last update: however many reads brought them, they reach the box
    // in one edit and one repaint.
    static constexpr int FloodUpdateMs = 100;
    QStringList m_pendingChat;
    QList<int> m_pendingSpeakers;  // the speaker's name length of each pending line, 0 for notes
    QTimer m_chatFlush;
    QElapsedTimer m_lastChatFlush;
    void flushChat();
};
