// Framing and dispatch of a large mixed corpus, against a plain memchr pass over the same bytes.
#include "SessionProbe.h"
#include "bench/Benchmarks.h"
#include "net/LineFramer.h"
#include "session/LobbySession.h"

#include <QElapsedTimer>
#include <QLocale>

#include <cstdio>
#include <cstring>

namespace {
QByteArray corpus(int lines)
{
    static const char *const kinds[] = {
        ":bobOnTavNET!~bobOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT bob> anyone up for a game tonight?|||\r\n",
        ":eveOnTavNET!~eveOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVLIST|||eve|||\r\n",
        ":joeOnTavNET!~joeOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVHUT1 joe> 2|||\r\n",
        "PING :irc.test.local\r\n",
        ":irc.test.local 353 AnnOnTavNET = #TavarineNET_3 :AnnOnTavNET bobOnTavNET eveOnTavNET joeOnTavNET\r\n",
        ":kimOnTavNET!~kimOnTavNET@127.0.0.1 JOIN :#TavarineNET_3\r\n",
        ":irc.test.local NOTICE AnnOnTavNET :*** Server notice with some text in it\r\n",
        ":zoeOnTavNET!~zoeOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT zoe> Zo\xc3\xab says hi, a|||b is fine|||\r\n",
    };
    QByteArray out;
    for (int i = 0; i < lines; ++i)
        out += kinds[i % 8];
    return out;
}
}  // namespace

bool benchInboundPath()
{
    const int lines = sized(500000, 5000);
    const QByteArray bytes = corpus(lines);
    const qsizetype chunk = 4096;  // about what one read brings under load

    qsizetype handled = 0;
    const qint64 dispatchNs = bestOf(3, [&] {
        LobbySession session("Ann", "#TavarineNET_3");
        LineFramer framer;
        std::vector<QByteArrayView> got;  // as the socket does it
        handled = 0;
        for (qsizetype pos = 0; pos < bytes.size(); pos += chunk) {
            const QByteArray raw = bytes.mid(pos, chunk);
            got.clear();
            framer.feed(raw, got);
            handled += got.size();
            SessionProbe{session}.feed(raw, got);
        }
    });

    qsizetype found = 0;
    const qint64 memchrNs = bestOf(3, [&] {
        found = 0;
        const char *p = bytes.constData();
        const char *end = p + bytes.size();
        while ((p = static_cast<const char *>(std::memchr(p, '\n', end - p)))) {
            ++found;
            ++p;
        }
    });

    const double dispatchRate = handled / (dispatchNs / 1e9);
    const double memchrRate = found / (memchrNs / 1e9);
    std::printf("inbound path: %lld lines, %.1f MB in %lld-byte reads\n", static_cast<long long>(handled),
                bytes.size() / 1e6, static_cast<long long>(chunk));
    std::printf("  framing + dispatch: %12.0f lines/s\n", dispatchRate);
    std::printf("  memchr pass:        %12.0f lines/s\n", memchrRate);
    const double ratio = memchrRate / dispatchRate;
    std::printf("  ratio (memchr / ours): %.1f (goal <= 20: %s)\n", ratio,
                judge("inbound", "framing + dispatch, times slower than memchr", QByteArray::number(ratio, 'f', 1),
                      "<= 20", ratio <= 20));
    return true;
}

namespace {
// Each line as one read, the way a slow trickle arrives.
qint64 feedNs(LobbySession &session, const QByteArrayList &lines)
{
    QElapsedTimer t;
    t.start();
    for (const QByteArray &line : lines)
        SessionProbe{session}.feed(line, QByteArrayList{line});
    return t.nsecsElapsed();
}

// `count` players whose names are `nameBytes` long joining and announcing themselves, each
// from its own nickname.
QByteArrayList announcements(int count, qsizetype nameBytes)
{
    QByteArrayList lines;
    for (int i = 0; i < count; ++i) {
        QByteArray name = "x" + QByteArray::number(i);
        name += QByteArray(nameBytes - name.size(), 'x');
        const QByteArray prefix = ":" + name + "OnTavNET!~u@127.0.0.1 ";
        lines += prefix + "JOIN :#TavarineNET_3\r\n";
        lines += prefix + "PRIVMSG #TavarineNET_3 :...TAVLIST|||" + name + "|||\r\n";
    }
    return lines;
}
}  // namespace

// A crowd of strangers announcing long names, then chat from one of them: the list's
// look-ups must cost the same at 10,000 names as at 10.
bool benchHostileNames()
{
    std::printf("hostile names: a JOIN and a TAVLIST line each, from its own nickname, one read each\n");
    const int crowd = sized(10000, 200);
    const QByteArray crowdText = QLocale(QLocale::English).toString(crowd).toLatin1();  // "10,000"
    for (const qsizetype bytes : {qsizetype(304), LobbyMembers::MaxNameBytes}) {
        LobbySession session("Ann", "#TavarineNET_3");
        const QByteArrayList names = announcements(crowd, bytes);
        const qint64 ns = feedNs(session, names);
        std::printf("  %s names of %3lld bytes: taken in %6.1f ms, %5zu listed\n", crowdText.constData(), static_cast<long long>(bytes), ns / 1e6,
                    size_t(SessionProbe{session}.members().rows().size()));
    }
    double perLine[2] = {};
    for (const int size : {10, crowd}) {
        LobbySession session("Ann", "#TavarineNET_3");
        const QByteArrayList names = announcements(size, LobbyMembers::MaxNameBytes);
        feedNs(session, names);
        QByteArrayList chat;  // the newest arrival speaks: its name is looked up, and listed already
        const QByteArray speaker = names.last().mid(1, names.last().indexOf('!') - 1 - 8);
        for (int i = 0, n = sized(100000, 1000); i < n; ++i)
            chat += ":" + speaker + "OnTavNET!~u@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT " + speaker + "> hello|||\r\n";
        perLine[size == 10 ? 0 : 1] = bestOf(3, [&] { feedNs(session, chat); }) / 1e3 / chat.size();
    }
    std::printf("  a chat line after 10 / %s names: %.2f / %.2f us: %.2f (goal: about 1)\n", crowdText.constData(), perLine[0], perLine[1],
                perLine[1] / perLine[0]);
    return true;
}
