#include "protocol/IrcLine.h"

namespace {
// Words are short: a plain walk beats a library search.
QByteArrayView nextWord(QByteArrayView &rest)
{
    const char *p = rest.data();
    const char *const end = p + rest.size();
    while (p < end && *p == ' ')
        ++p;
    const char *const word = p;
    while (p < end && *p != ' ')
        ++p;
    const QByteArrayView found(word, p - word);
    rest = p < end ? QByteArrayView(p + 1, end - p - 1) : QByteArrayView();
    return found;
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
    while (!line.isEmpty()) {
        while (line.startsWith(' '))
            line = line.sliced(1);
        if (line.isEmpty())
            break;
        if (line.startsWith(':')) {
            msg.params.append(line.sliced(1));
            break;
        }
        msg.params.append(nextWord(line));
    }
    return msg;
}

QByteArrayView IrcLine::senderNick() const
{
    const qsizetype bang = prefix.indexOf('!');
    return bang < 0 ? prefix : prefix.first(bang);
}
