#include "protocol/IrcLine.h"

namespace {
QByteArrayView nextWord(QByteArrayView &rest)
{
    while (rest.startsWith(' '))
        rest = rest.sliced(1);
    const qsizetype sp = rest.indexOf(' ');
    const QByteArrayView word = sp < 0 ? rest : rest.first(sp);
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
        msg.prefix = nextWord(line).sliced(1).toByteArray();
    msg.command = nextWord(line).toByteArray().toUpper();
    while (!line.isEmpty()) {
        while (line.startsWith(' '))
            line = line.sliced(1);
        if (line.isEmpty())
            break;
        if (line.startsWith(':')) {
            msg.params.append(line.sliced(1).toByteArray());
            break;
        }
        msg.params.append(nextWord(line).toByteArray());
    }
    return msg;
}

QByteArrayView IrcLine::senderNick() const
{
    const qsizetype bang = prefix.indexOf('!');
    return bang < 0 ? QByteArrayView(prefix) : QByteArrayView(prefix).first(bang);
}
