// Framing and dispatch of a large mixed corpus, against a plain memchr pass over the same bytes.
#include "bench/Benchmarks.h"
#include "net/LineFramer.h"
#include "session/LobbySession.h"

#include <cstdio>
#include <cstring>

namespace {
QByteArray corpus(int lines)
{
    static const char *const kinds[] = {
        ":bob!~bobOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT bob> anyone up for a game tonight?|||\r\n",
        ":eve!~eveOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVLIST|||eve|||\r\n",
        ":joe!~joeOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVHUT1 joe> 2|||\r\n",
        "PING :irc.test.local\r\n",
        ":irc.test.local 353 AnnOnTavNET = #TavarineNET_3 :AnnOnTavNET bobOnTavNET eveOnTavNET joeOnTavNET\r\n",
        ":kim!~kimOnTavNET@127.0.0.1 JOIN :#TavarineNET_3\r\n",
        ":irc.test.local NOTICE AnnOnTavNET :*** Server notice with some text in it\r\n",
        ":zoe!~zoeOnTavNET@127.0.0.1 PRIVMSG #TavarineNET_3 :...TAVCHAT zoe> Zo\xc3\xab says hi, a|||b is fine|||\r\n",
    };
    QByteArray out;
    for (int i = 0; i < lines; ++i)
        out += kinds[i % 8];
    return out;
}
}  // namespace

void benchInboundPath()
{
    const int lines = 500000;
    const QByteArray bytes = corpus(lines);
    const qsizetype chunk = 4096;  // about what one read brings under load

    qsizetype handled = 0;
    const qint64 dispatchNs = bestOf(3, [&] {
        LobbySession session("Ann", "#TavarineNET_3");
        LineFramer framer;
        QList<QByteArrayView> got;  // as the socket does it
        handled = 0;
        for (qsizetype pos = 0; pos < bytes.size(); pos += chunk) {
            const QByteArray raw = bytes.mid(pos, chunk);
            got.clear();
            framer.feed(raw, got);
            handled += got.size();
            session.Socket_DataArrival(raw, got);
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
}
