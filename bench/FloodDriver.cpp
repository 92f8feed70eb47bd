// The flood's parent side of one child: starts it, feeds it the flood and collects what it says.
#include "FloodRun.h"
#include "bench/Benchmarks.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>

namespace flood {
namespace {
qint64 field(const QByteArray &line, const QByteArray &key)
{
    const qsizetype at = line.indexOf(' ' + key + '=');
    return at < 0 ? -1 : line.mid(at + key.size() + 2).split(' ').value(0).toLongLong();
}

double fieldF(const QByteArray &line, const QByteArray &key)
{
    const qsizetype at = line.indexOf(' ' + key + '=');
    return at < 0 ? -1 : line.mid(at + key.size() + 2).split(' ').value(0).toDouble();
}
}  // namespace

WindowedRun runWindowed(const RealIrcServer &server, PlainIrcClient &sender, const QList<int> &marks, bool withLog,
                        bool withProbe, bool overTls)
{
    WindowedRun out;
    QTemporaryDir dir;
    QProcess child;
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(dir.filePath(QStringLiteral("stderr")));  // Qt's own warnings, for a failure
    const QString address = overTls ? QStringLiteral("ircs://localhost:%1").arg(server.tlsPort())
                                    : server.address().toString();
    QStringList args{QStringLiteral("--windowed-receive"), address, QString()};
    for (int m : marks)
        args.last() += (args.last().isEmpty() ? QString() : QStringLiteral(",")) + QString::number(m);
    if (overTls)
        args << QStringLiteral("--ca") << server.caFile();
    if (withLog)
        args.append(QStringLiteral("--log"));
    if (!withProbe)
        args.append(QStringLiteral("--no-probe"));
    const qsizetype seenFrom = sender.received.size();
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForStarted(10000)) {
        out.failure = "did not start: " + child.errorString().toUtf8();
        return out;
    }

    QByteArray pending;
    int confirmed = 0;
    bool ready = false;
    bool ended = false;
    const auto pump = [&] {
        pending += child.readAllStandardOutput();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0;) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            if (line.startsWith("got "))
                confirmed = std::max(confirmed, line.mid(4).toInt());
            else if (line.startsWith("ready")) {
                out.ready = {field(line, "cpu"), field(line, "rss"), -1, -1};
                out.idleCpuMs = fieldF(line, "idle");
                out.probedCpuMs = fieldF(line, "probed");
                ready = true;
            } else if (line.startsWith("mark "))
                out.marks.append({field(line, "cpu"), field(line, "rss"), fieldF(line, "stall"), field(line, "inlog")});
            else if (line.startsWith("note "))
                out.notes.append(line.mid(5));
            else if (line.startsWith("transcript "))
                out.transcript = line.mid(11);
            else if (line.startsWith("end"))
                ended = true;
            else if ((line.startsWith("error ") || line.startsWith("disconnected")) && out.failure.isEmpty())
                out.failure = line;
        }
    };
    const auto failed = [&] {
        pump();
        return !out.failure.isEmpty() || child.state() == QProcess::NotRunning;
    };
    const auto finish = [&](const QByteArray &why) {
        if (out.failure.isEmpty())
            out.failure = why;
        QFile err(dir.filePath(QStringLiteral("stderr")));
        if (err.open(QIODevice::ReadOnly)) {
            const QByteArray tail = err.readAll().trimmed().split('\n').last();
            if (!tail.isEmpty())
                out.failure += " (child: " + tail.left(160) + ")";
        }
        child.kill();
        child.waitForFinished(5000);
        return out;
    };

    if (!runUntil([&] { return failed() || (ready && sender.received.indexOf("...TAVLIST|||recv|||", seenFrom) >= 0); },
                  30000)
        || !ready)
        return finish("never ready in the channel");
    ChatFlood flood(sender, Channel, floodPace());
    for (int k = 0; k < marks.size(); ++k) {
        QElapsedTimer wall;
        wall.start();
        if (!flood.runTo(marks[k], [&] { pump(); return confirmed; }, failed, StretchLimitMs))
            return finish("confirmed " + QByteArray::number(confirmed) + " of " + QByteArray::number(marks[k])
                          + " lines (" + QByteArray::number(flood.sent()) + " sent)");
        out.stretchWallMs.append(wall.elapsed());
        if (!runUntil([&] { return failed() || out.marks.size() > k; }, 15000) || out.marks.size() <= k)
            return finish("no reading at line " + QByteArray::number(marks[k]));
    }
    if (!runUntil([&] { return failed() || ended; }, 30000) || !ended)
        return finish("no transcript check");
    child.waitForFinished(10000);
    return out;
}
}  // namespace flood
