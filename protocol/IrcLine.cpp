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
    if (line.startsWith(':'))
        msg.prefix = nextWord(line).sliced(1);
    msg.command = nextWord(line);
    msg.paramText = line;
    return msg;
}

namespace {
// Calls take(parameter) for each in turn until it returns false.
template <class Take>
void eachParam(QByteArrayView rest, Take &&take)
{
    while (!rest.isEmpty()) {
        while (rest.startsWith(' '))
            rest = rest.sliced(1);
        if (rest.isEmpty())
            break;
        if (rest.startsWith(':')) {
            take(rest.sliced(1));
            break;
        }
        if (!take(nextWord(rest)))
            break;
    }
}
}  // namespace

IrcLine::Params IrcLine::params() const
{
    Params all;
    eachParam(paramText, [&all](QByteArrayView p) {
        all.append(p);
        return true;
    });
    return all;
}

QByteArrayView IrcLine::param(qsizetype i) const
{
    QByteArrayView found;
    qsizetype n = 0;
    eachParam(paramText, [&](QByteArrayView p) {
        if (n++ != i)
            return true;
        found = p;
        return false;
    });
    return found;
}

QByteArrayView IrcLine::senderNick() const
{
    const void *bang = prefix.isEmpty() ? nullptr : std::memchr(prefix.data(), '!', size_t(prefix.size()));
    return bang ? prefix.first(static_cast<const char *>(bang) - prefix.data()) : prefix;
}
