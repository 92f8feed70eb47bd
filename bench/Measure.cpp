// What the benches read of processes from /proc, and the event loop they wait in.
#include "bench/Benchmarks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <unistd.h>

bool runUntil(const std::function<bool()> &done, qint64 timeoutMs, int pollMs)
{
    if (done())
        return true;
    if (timeoutMs <= 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    bool ok = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            ok = true;
            loop.quit();
        } else if (deadline.hasExpired()) {
            loop.quit();
        }
    });
    poll.start(pollMs);
    loop.exec();
    return ok;
}

namespace {
QByteArray procFile(qint64 pid, const char *name)
{
    const QString path = pid ? QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name))
                             : QStringLiteral("/proc/self/") + QLatin1String(name);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/PID/stat after the command name: [0] is field 3 (state).
QByteArrayList statFields(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 ? QByteArrayList() : stat.mid(close + 2).split(' ');
}

qint64 statusKb(qint64 pid, const QByteArray &key)
{
    for (const QByteArray &line : procFile(pid, "status").split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

}  // namespace

qint64 peakMemoryKb(qint64 pid)
{
    return statusKb(pid, "VmHWM:");
}

qint64 residentKb(qint64 pid)
{
    return statusKb(pid, "VmRSS:");
}

qint64 cpuMs(qint64 pid)
{
    const QByteArrayList f = statFields(procFile(pid, "stat"));
    if (f.size() < 13)
        return -1;
    return (f[11].toLongLong() + f[12].toLongLong()) * 1000 / ::sysconf(_SC_CLK_TCK);  // utime + stime
}

QList<qint64> childPids(const QByteArray &command)
{
    QList<qint64> out;
    const qint64 self = ::getpid();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QByteArray stat = procFile(pid, "stat");
        const qsizetype open = stat.indexOf('(');
        const qsizetype close = stat.lastIndexOf(')');
        if (open < 0 || close < open || stat.mid(open + 1, close - open - 1) != command)
            continue;
        const QByteArrayList f = statFields(stat);
        if (f.size() > 1 && f[1].toLongLong() == self)
            out.append(pid);
    }
    return out;
}
