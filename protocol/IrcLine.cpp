#include "protocol/IrcLine.h"

#include <cstring>
#include <string_view>

namespace {
QByteArrayView nextWord(QByteArrayView &rest)
{
    qsizetype start = 0;
    while (start < rest.size() && rest[start] == ' ')
        ++start;
    const std::string_view text(rest.data(), size_t(rest.size()));
    const qsizetype sp = qsizetype(text.find(' ', size_t(start)));  // straight to memchr
    const QByteArrayView word = sp < 0 ? rest.sliced(start) : rest.sliced(start, sp - start);
    rest = sp < 0 ? QByteArrayView() : rest.sliced(sp + 1);
    return word;
}
}  // namespace

IrcLine IrcLine::parse(QByteArrayView line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    IrcLine msg;
    if (line.startsWith('@'))
        nextWord(line);  // message tags carry nothing the lobby uses
    if (line.startsWith(':')) {
        msg.prefix = nextWord(line).sliced(1);
        const void *bang = std::memchr(msg.prefix.data(), '!', size_t(msg.prefix.size()));
        msg.m_nick = bang ? msg.prefix.first(static_cast<const char *>(bang) - msg.prefix.data()) : msg.prefix;
    }
    msg.command = nextWord(line);
    if (msg.command.size() <= 8)
        for (char c : msg.command)
            msg.m_code = msg.m_code << 8 | upper(c);
    while (!line.isEmpty()) {
        while (line.startsWith(' '))
            line = line.sliced(1);
        if (line.startsWith(':')) {
            msg.m_params.append(line.sliced(1));  // the trailing one, blanks and all
            break;
        }
        if (!line.isEmpty())
            msg.m_params.append(nextWord(line));
    }
    return msg;
}
