#include "bench/ChatFlood.h"

#include "bench/Benchmarks.h"
#include "PlainIrcClient.h"
#include "RealIrcServer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

ChatFlood::ChatFlood(PlainIrcClient &sender, QByteArray channel, Pace pace)
    : m_sender(sender), m_channel(std::move(channel)), m_pace(pace)
{
}

QByteArray ChatFlood::shownText(int n)
{
    return "bob> line " + QByteArray::number(n) + " some text for the lobby to show";
}

QByteArray ChatFlood::line(int n) const
{
    return "PRIVMSG " + m_channel + " :...TAVCHAT " + shownText(n) + "|||\r\n";
}

bool ChatFlood::runTo(int to, const std::function<int()> &confirmed, const std::function<bool()> &failed,
                      qint64 limitMs)
{
    QElapsedTimer clock;
    clock.start();
    const int from = m_sent;
    // After a wait on the window, catch up at no more than twice the pace.
    const int perTickCap = std::max(1, 2 * m_pace.linesPerSecond * m_pace.tickMs / 1000);
    bool failure = false;
    runUntil([&] {
        const int done = confirmed();
        if (done >= to)
            return true;
        if (failed()) {
            failure = true;
            return true;
        }
        const qint64 due = from + clock.elapsed() * m_pace.linesPerSecond / 1000;
        const qint64 limit = std::min<qint64>({to, qint64(done) + m_pace.window, due, qint64(m_sent) + perTickCap});
        QByteArray batch;
        while (m_sent < limit) {
            ++m_sent;
            batch += line(m_sent);
            if (after)
                batch += after(m_sent);
        }
        if (!batch.isEmpty())
            m_sender.send(batch);
        return false;
    }, limitMs, m_pace.tickMs);
    return !failure && confirmed() >= to;
}

bool openFlood(RealIrcServer &server, PlainIrcClient &sender, const QByteArray &channel, bool withTls)
{
    if (!server.start({.defaultFlood = false, .tls = withTls ? RealIrcServer::Options::CaSigned
                                                              : RealIrcServer::Options::NoTls})) {
        std::printf("  skipped: %s\n", qPrintable(server.errorString().section(u'\n', 0, 0)));
        return false;
    }
    // The lobby believes "bob> ..." only from bob's own nickname.
    if (!sender.enter(server.port(), "bobOnTavNET", channel)) {
        std::printf("  skipped: the sender could not join\n");
        return false;
    }
    return true;
}
