#include "protocol/IrcLine.h"

#include <QtEndian>

#include <bit>
#include <cstring>

namespace {
constexpr quint64 Ones = 0x0101010101010101ull, High = Ones * 0x80;

// Each of a to z in the eight bytes down by 32, all at once.
quint64 upperCased(quint64 w)
{
    const quint64 low = w & ~High;  // no carry from one byte to the next below
    const quint64 lower = (low + Ones * (0x80 - 'a')) & ~(low + Ones * (0x7f - 'z')) & ~w & High;
    return w - (lower >> 2);
}
}  // namespace

// The command's bytes as one number, upper-cased, as Name makes it.
quint64 IrcLine::codeOf(QByteArrayView command)
{
    const qsizetype n = command.size();
    if (n > 8 || n == 0)
        return 0;
    quint64 w = 0;
    for (qsizetype i = 0; i < n; ++i)
        w |= quint64(quint8(command[i])) << (8 * i);
    return upperCased(w);
}

IrcLine IrcLine::parse(QByteArrayView line)
{
    IrcLine msg;
    if (line.isEmpty())
        return msg;
    const char *p = line.data();
    const char *end = p + line.size();
    if (end[-1] == '\n')  // a CR LF most of the time; any run of them is cut
        --end;
    while (end > p && (end[-1] == '\n' || end[-1] == '\r'))
        --end;
    const auto skipBlanks = [&p, end] {
        while (p < end && *p == ' ')
            ++p;
    };
    // Up to the next blank, which is passed over. Words are found by memchr: a prefix is long.
    const auto cut = [&p, end] {
        const char *start = p;
        const void *blank = std::memchr(p, ' ', size_t(end - p));
        p = blank ? static_cast<const char *>(blank) : end;
        const QByteArrayView word(start, p - start);
        if (p < end)
            ++p;
        return word;
    };
    if (p < end && *p == '@')
        cut();  // message tags carry nothing the lobby uses
    if (p < end && *p == ':') {
        ++p;
        msg.prefix = cut();
        const void *bang = std::memchr(msg.prefix.data(), '!', size_t(msg.prefix.size()));
        msg.m_nick = bang ? msg.prefix.first(static_cast<const char *>(bang) - msg.prefix.data()) : msg.prefix;
    }
    skipBlanks();
    if (end - p >= 8) {
        // The command and the blank after it are in the next eight bytes, most of the time:
        // read at once, the blank found among them without a call.
        const quint64 w = qFromLittleEndian<quint64>(p);
        const quint64 x = w ^ (Ones * ' ');
        if (const quint64 blanks = (x - Ones) & ~x & High) {  // the lowest is the first blank
            const int n = std::countr_zero(blanks) / 8;  // 1 to 7: p is not at a blank
            msg.command = QByteArrayView(p, n);
            msg.m_code = upperCased(w & ((1ull << (8 * n)) - 1));
            p += n + 1;
        }
    }
    if (msg.command.isNull()) {
        msg.command = cut();
        msg.m_code = codeOf(msg.command);
    }
    while (p < end) {
        skipBlanks();
        if (p == end)
            break;
        // The trailing one, blanks and all; past the room for them, the rest of the line.
        if (*p == ':' || msg.m_params.size() == MaxParams - 1) {
            if (*p == ':')
                ++p;
            msg.m_params.append(QByteArrayView(p, end - p));
            break;
        }
        msg.m_params.append(cut());
    }
    return msg;
}
