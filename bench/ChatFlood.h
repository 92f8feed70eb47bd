#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

struct PlainIrcClient;
class RealIrcServer;

// Lobby chat lines from one sender, paced by the clock and never more than a window
// ahead of what the receiver has confirmed, so the server's queue towards a slow
// receiver stays small and no receiver is dropped for falling behind.
class ChatFlood {
public:
    struct Pace {
        int linesPerSecond = 4000;
        int tickMs = 10;
        int window = 2000;  // lines sent but not yet confirmed
    };

    ChatFlood(PlainIrcClient &sender, QByteArray channel, Pace pace);

    // Line n as a receiver's transcript shows it.
    static QByteArray shownText(int n);
    QByteArray line(int n) const;
    // Bytes sent right after line n, such as a probe the receiver answers.
    std::function<QByteArray(int)> after;

    // Sends up to line `to`; true once confirmed() reaches it, false when failed()
    // holds or limitMs passes.
    bool runTo(int to, const std::function<int()> &confirmed, const std::function<bool()> &failed, qint64 limitMs);
    int sent() const { return m_sent; }
    const Pace &pace() const { return m_pace; }

private:
    PlainIrcClient &m_sender;
    QByteArray m_channel;
    Pace m_pace;
    int m_sent = 0;
};

// What one receiver cost while a flood came in (bench_peer.cpp).
struct FloodFigures {
    qint64 cpuStreamMs = -1;  // from the first line sent until the last was confirmed
    qint64 cpuTotalMs = -1;   // since the process started
    qint64 wallMs = -1;       // first line sent until all were handled
    qint64 peakKb = -1;
    qint64 joinedKb = -1;     // resident once it joined, before the first line
    qint64 endKb = -1;        // resident once all were handled
    QByteArray failure;
};

// Another client confirms the lines it has handled by answering a CTCP PING this often.
constexpr int PeerProbeEvery = 500;

enum class FloodReceiver {
    Session,         // our session without windows, in a child process
    Weechat,         // weechat-headless with its default plugins
    WeechatIrcOnly,  // weechat-headless with its irc plugin only
    HexChat,         // HexChat, its window on the bench's X server
};

// Joins a fresh receiver to `channel`, feeds it `lines` chat lines through `sender` and
// measures it; the receiver ends with the call. overTls: HexChat dials the server's TLS port
// and is given the server's CA (the others always dial the plain port).
FloodFigures receiveFlood(FloodReceiver receiver, const RealIrcServer &server, PlainIrcClient &sender,
                          const QByteArray &channel, int lines, const ChatFlood::Pace &pace, bool overTls = false);
bool weechatAvailable();
bool hexchatAvailable();
// A server with flood limits lifted and the sender "bob" in the channel; says why not when it fails.
// withTls: TLS on its tlsPort() too, signed by the run's CA; the sender stays on the plain port.
bool openFlood(RealIrcServer &server, PlainIrcClient &sender, const QByteArray &channel, bool withTls = false);
