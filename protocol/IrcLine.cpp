#include "protocol/IrcLine.h"

#include <QtEndian>

#include <cstring>

// The command's bytes as one number, upper-cased, as Name makes it: eight bytes read at once
// where the line holds them, the letters upper-cased together.
quint64 IrcLine::codeOf(QByteArrayView command, const char *lineEnd)
{
    const qsizetype n = command.size();
    if (n > 8 || n == 0)
        return 0;
    quint64 w = 0;
    if (lineEnd - command.data() >= 8)
        w = qFromLittleEndian<quint64>(command.data()) & (n == 8 ? ~0ull : (1ull << (8 * n)) - 1);
    else
        for (qsizetype i = 0; i < n; ++i)
            w |= quint64(quint8(command[i])) << (8 * i);
    constexpr quint64 ones = 0x0101010101010101ull, high = ones * 0x80;
    const quint64 low = w & ~high;  // no carry from one byte to the next below
    const quint64 lower = (low + ones * (0x80 - 'a')) & ~(low + ones * (0x7f - 'z')) & ~w & high;
    return w - (lower >> 2);  // each of a to z down by 32
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
    msg.command = cut();
    msg.m_code = codeOf(msg.command, end);
    while (p < end) {
        skipBlanks();
        if (p == end)
            break;
        // The trailing one, blanks and all; after fourteen others the rest is the last one
        // whether or not it has its colon, as the protocol has it.
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
