// Server bytes, cut into reads, through the line framer and the rule table of a
// headless session (never connected, so nothing is sent).
//
// Input: byte 0 bit 0 puts the user in hut place 1 (so the hut and launch rules
// run), bits 1-5 give the largest read as 2^n bytes (n capped at 20), bit 7 also
// ends a read after every CR (a CR LF split across reads); byte 1 seeds the read
// sizes; the rest is what the server sent.
#include "net/LineFramer.h"
#include "SessionProbe.h"
#include "session/LobbySession.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // A launch or link line must never start a program: nothing is found on this PATH.
    static QTemporaryDir emptyDir;
    if (!emptyDir.isValid() || !qputenv("PATH", emptyDir.path().toUtf8()))
        std::abort();
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const bool inHut = data[0] & 1;
    const qsizetype maxRead = qsizetype(1) << std::min((data[0] >> 1) & 31, 20);
    const bool cutAfterCR = data[0] & 0x80;
    std::uint32_t rng = data[1];
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 2, qsizetype(size) - 2);

    LobbySession session("Ann", "#TavarineNET_3");
    if (inHut)
        SessionProbe{session}.hut().join(1, 0);  // the host: launches and queries reach their rules
    LineFramer framer;
    QByteArrayList all;
    for (qsizetype pos = 0; pos < bytes.size();) {
        rng = rng * 1103515245u + 12345u;
        qsizetype n = std::min(1 + qsizetype(rng >> 8) % maxRead, bytes.size() - pos);
        if (const qsizetype cr = cutAfterCR ? bytes.sliced(pos, n).indexOf('\r') : -1; cr >= 0)
            n = cr + 1;
        const QByteArray raw = bytes.sliced(pos, n).toByteArray();
        pos += n;
        const QByteArrayList lines = framer.feed(raw);
        for (const QByteArray &line : lines) {
            if (!line.endsWith("\r\n") || line.size() > LineFramer::MaxLineLength + 2)
                std::abort();
        }
        all += lines;
        SessionProbe{session}.feed(raw, lines);
    }
    SessionProbe{session}.skip(LobbyMembers::ListRedrawMs);  // the user list the lines built, read back into rows

    // Where the reads were cut must not change which lines come out.
    LineFramer whole;
    if (whole.feed(bytes) != all || whole.pendingSize() != framer.pendingSize())
        std::abort();
    return 0;
}
