// The program as a person runs it, under a chat flood: the window set that
// app/main.cpp builds, in a child process on Xvfb through xcb, reached by clicks
// and keys; a plain client sends lobby chat at about 4,000 lines/s. Memory, CPU,
// the longest stall of the event loop and the transcript, all taken in the child; CPU over TLS too.
#include "FloodRun.h"
#include "bench/Benchmarks.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "ui/Lobby.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>

using namespace flood;

namespace {
double mb(qint64 kb)
{
    return kb / 1024.0;
}

QByteArray fixed(double v, int decimals = 1)
{
    return QByteArray::number(v, 'f', decimals);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n == 0 ? -1 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printMemory(const char *label, const WindowedRun &r)
{
    if (!r.failure.isEmpty()) {
        std::printf("  %-18s no figure: %s\n", label, r.failure.constData());
        return;
    }
    const double first = mb(r.marks[0].rssKb - r.ready.rssKb);
    const double second = mb(r.marks[1].rssKb - r.marks[0].rssKb);
    std::printf("  %-18s %.1f MB after the join, %.1f MB after 100,000 lines, %.1f MB after 200,000\n", label,
                mb(r.ready.rssKb), mb(r.marks[0].rssKb), mb(r.marks[1].rssKb));
    // Judged in the order they are printed.
    const char *firstVerdict = judge("flood", "memory growth, first 100,000 lines, " + QByteArray(label),
                                     "+" + fixed(first) + " MB", "<= 4 MB", first <= 4);
    const char *secondVerdict = judge("flood", "memory growth, next 100,000 lines, " + QByteArray(label),
                                      (second < 0 ? "" : "+") + fixed(second) + " MB", "<= +1 MB", second <= 1);
    std::printf("  %-18s +%.1f MB over the first 100,000 (goal <= 4: %s), %+.1f MB over the next 100,000 "
                "(goal <= +1: %s)\n", "", first, firstVerdict, second, secondVerdict);
    std::printf("  %-18s the session's InboundLog alone: %.1f MB after 100,000 lines, %.1f MB after 200,000\n", "",
                mb(r.marks[0].inboundLogBytes / 1024), mb(r.marks[1].inboundLogBytes / 1024));
}

double usPerLine(qint64 cpuMs)
{
    return cpuMs * 1000.0 / floodLines();
}

void printCpu(const char *label, qint64 cpuMs, qint64 wallMs)
{
    std::printf("  %-34s %6lld ms, %6.1f us/line (%.0f lines/s)\n", label, static_cast<long long>(cpuMs),
                usPerLine(cpuMs), wallMs > 0 ? floodLines() * 1000.0 / wallMs : 0.0);
}

qint64 cpuOf(const WindowedRun &r)
{
    return r.failure.isEmpty() ? r.marks[0].cpuMs - r.ready.cpuMs : -1;
}

// The windowed program's runs against HexChat's, which took turns; the goal is on the median
// ratio. Returns the program's figures in us/line.
QList<double> printCpuRuns(const QList<WindowedRun> &cpuRuns, const QList<FloodFigures> &hexRuns, bool hexchat,
                           const char *over, const QByteArray &goal)
{
    QList<double> ratios;
    QList<double> ours;
    for (int run = 0; run < cpuRuns.size(); ++run) {
        const WindowedRun &r = cpuRuns[run];
        if (!r.failure.isEmpty()) {
            std::printf("  run %d: windowed program: no figure: %s\n", run + 1, r.failure.constData());
            continue;
        }
        ours.append(usPerLine(cpuOf(r)));
        std::printf("  run %d: windowed program %6.1f us/line (%.0f lines/s)", run + 1, ours.last(),
                    floodLines() * 1000.0 / r.stretchWallMs[0]);
        if (!hexchat) {
            std::printf("\n");
        } else if (!hexRuns[run].failure.isEmpty()) {
            std::printf("; HexChat: no figure: %s\n", hexRuns[run].failure.constData());
        } else {
            const double theirs = usPerLine(hexRuns[run].cpuStreamMs);
            ratios.append(ours.last() / theirs);
            std::printf(", HexChat %6.1f us/line (%.0f lines/s): ratio %.3f\n", theirs,
                        floodLines() * 1000.0 / hexRuns[run].wallMs, ratios.last());
        }
    }
    if (!hexchat)
        std::printf("  HexChat: skipped, not installed (apt-get install hexchat)\n");
    if (!ratios.isEmpty()) {
        const double r = median(ratios);
        std::printf("  ratio windowed program / HexChat%s, median of %lld runs: %.3f (goal <= 0.15: %s)\n", over,
                    static_cast<long long>(ratios.size()), r,
                    judge("flood", goal, fixed(r, 3), "<= 0.15", r <= 0.15 && ratios.size() == cpuRunCount()));
    }
    return ours;
}
}  // namespace

bool benchFlood()
{
    std::printf("flood: the program's window set (as app/main.cpp builds it) in a child process, %s;\n"
                "  reached like a person: nickname typed into NICKNAMEBOX, clicks on Login and LobbySel(3).\n"
                "  A plain client \"bob\" sends lobby chat lines through one ngircd (flood limits lifted) at\n"
                "  %d lines/s, at most %d lines ahead of what the child confirmed (the newest line of its\n"
                "  ChatBox, read every %d ms). Figures taken in the child: VmRSS from /proc/PID/status after\n"
                "  malloc_trim(0) (freed heap goes back to the system first), utime+stime from /proc/PID/stat.\n"
                "  HexChat (its window on the same X server) and weechat-headless take the same flood and\n"
                "  confirm by answering a CTCP PING every %d lines. The program and HexChat take it over TLS too.\n",
                windowPlatformText().constData(), floodPace().linesPerSecond, floodPace().window, PollMs, PeerProbeEvery);
    std::fflush(stdout);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("  skipped: no Xvfb, and these figures are taken on a real X server only\n");
        return false;
    }
    RealIrcServer server;
    PlainIrcClient sender;
    if (!openFlood(server, sender, Channel, true))
        return false;
    // CPU: the program and HexChat take turns, so a change of load on the machine hits both;
    // each round plain, then over TLS.
    // TAV_FLOOD_WINDOWED=1: only the windowed program, plain: its CPU runs, the memory run with the
    // log window closed and the bare window, for comparing two builds of it side by side.
    const bool windowedOnly = qEnvironmentVariableIsSet("TAV_FLOOD_WINDOWED");
    const bool hexchat = !windowedOnly && hexchatAvailable();
    QList<WindowedRun> cpuRuns;
    QList<FloodFigures> hexRuns;
    QList<WindowedRun> tlsRuns;
    QList<FloodFigures> hexTlsRuns;
    for (int run = 0; run < cpuRunCount(); ++run) {
        cpuRuns.append(runWindowed(server, sender, {floodLines()}, false, false));
        if (hexchat)
            hexRuns.append(receiveFlood(FloodReceiver::HexChat, server, sender, Channel, floodLines(), floodPace()));
        if (windowedOnly)
            continue;
        tlsRuns.append(runWindowed(server, sender, {floodLines()}, false, false, true));
        if (hexchat)
            hexTlsRuns.append(
                receiveFlood(FloodReceiver::HexChat, server, sender, Channel, floodLines(), floodPace(), true));
    }
    const WindowedRun closed = runWindowed(server, sender, memoryMarks(), false);
    const WindowedRun open = [&] {
        WindowedRun skipped;
        skipped.failure = "skipped (TAV_FLOOD_WINDOWED)";
        return windowedOnly ? skipped : runWindowed(server, sender, memoryMarks(), true);
    }();
    QList<double> bareMb;
    for (int run = 0; run < cpuRunCount(); ++run)
        if (const qint64 kb = bareWindowResidentKb(); kb > 0)
            bareMb.append(mb(kb));
    const bool weechat = !windowedOnly && weechatAvailable();
    const FloodFigures peer = weechat ? receiveFlood(FloodReceiver::Weechat, server, sender, Channel, floodLines(), floodPace())
                                      : FloodFigures{};
    FloodFigures headless;
    if (windowedOnly)
        headless.failure = "skipped (TAV_FLOOD_WINDOWED)";
    else
        headless = receiveFlood(FloodReceiver::Session, server, sender, Channel, floodLines(), floodPace());

    for (const QByteArray &note : open.notes)
        std::printf("  note, log window run: %s\n", note.constData());

    // As the child receives them: the server puts the sender's prefix in front.
    const QByteArray prefix = ":bobOnTavNET!~bobOnTavNET@127.0.0.1 ";
    const ChatFlood lines(sender, Channel, floodPace());
    qint64 bytes = 0;
    for (int n = 1; n <= memoryMarks().last(); ++n)
        bytes += prefix.size() + lines.line(n).size();
    std::printf("memory, resident (VmRSS); the 200,000 lines are %.1f MB of traffic (MB = 2^20 bytes):\n",
                bytes / 1048576.0);
    const double bare = median(bareMb);
    if (bare > 0)
        std::printf("  %-18s %.1f MB two seconds after it is shown (median of %lld runs, each after malloc_trim)\n",
                    "bare Qt window", bare, static_cast<long long>(bareMb.size()));
    if (closed.failure.isEmpty() && bare > 0) {
        const double over = mb(closed.ready.rssKb) - bare;
        std::printf("  %-18s %.1f MB after the join: %+.1f MB over the bare window (goal <= +4: %s)\n", "program",
                    mb(closed.ready.rssKb), over,
                    judge("flood", "memory after the join, over a bare Qt window", fixed(over, 1) + " MB", "<= +4 MB",
                          over <= 4));
    }
    printMemory("log window closed", closed);
    printMemory("log window open", open);
    for (qsizetype i = 0; i < hexRuns.size(); ++i)
        if (hexRuns[i].failure.isEmpty())
            std::printf("  %-18s %.1f MB after the join, %.1f MB after 100,000 lines (+%.1f MB), run %lld\n",
                        "HexChat", mb(hexRuns[i].joinedKb), mb(hexRuns[i].endKb),
                        mb(hexRuns[i].endKb - hexRuns[i].joinedKb), static_cast<long long>(i + 1));

    std::printf("CPU over %d lines at %d lines/s (utime+stime from the flood's first line to its last shown;\n"
                "  the windowed program in runs of its own without the stall probe, taking turns with HexChat):\n",
                floodLines(), floodPace().linesPerSecond);
    const QList<double> ours = printCpuRuns(cpuRuns, hexRuns, hexchat, "",
                                            "CPU a line, windowed program / HexChat (median of runs)");
    std::printf("CPU over %d lines over TLS at %d lines/s (the program dials ircs://localhost:%d, the run's CA added\n"
                "  to QSslConfiguration::defaultConfiguration() in its process; HexChat dials the same port with SSL\n"
                "  on and verifies against the run's CA, given as SSL_CERT_FILE; the sender stays on the plain port):\n",
                floodLines(), floodPace().linesPerSecond, server.tlsPort());
    printCpuRuns(tlsRuns, hexTlsRuns, hexchat, " over TLS", "CPU a line over TLS, windowed program / HexChat (median)");
    const double oursMedian = median(ours);
    if (!weechat)
        std::printf("  weechat-headless: skipped, not installed (apt-get install weechat-headless)\n");
    else if (!peer.failure.isEmpty())
        std::printf("  weechat-headless: no figure: %s\n", peer.failure.constData());
    else if (peer.cpuStreamMs > 0) {
        printCpu("second line: weechat-headless", peer.cpuStreamMs, peer.wallMs);
        if (oursMedian > 0)
            std::printf("  ratio windowed program (median) / weechat-headless: %.3f\n",
                        oursMedian / usPerLine(peer.cpuStreamMs));
    }
    if (headless.failure.isEmpty())
        printCpu("second line: session, no windows", headless.cpuStreamMs, headless.wallMs);
    else
        std::printf("  second line: session, no windows: no figure: %s\n", headless.failure.constData());
    if (!cpuRuns.isEmpty() && cpuRuns[0].failure.isEmpty())
        std::printf("  the idle windowed program before the flood: %.1f ms of CPU a second\n", cpuRuns[0].idleCpuMs);
    std::printf("  with the stall probe running (the memory runs; the probe alone costs %.1f ms a second):\n",
                closed.probedCpuMs - closed.idleCpuMs);
    for (const auto &[label, r] : {std::pair{"log window closed", &closed}, std::pair{"log window open", &open}})
        if (r->failure.isEmpty())
            printCpu(label, cpuOf(*r), r->stretchWallMs[0]);

    std::printf("responsiveness: longest stall of the child's event loop (a %d ms timer's longest wait minus %d ms):\n",
                ProbeMs, ProbeMs);
    for (const auto &[label, r] : {std::pair{"log window closed", &closed}, std::pair{"log window open", &open}}) {
        if (!r->failure.isEmpty())
            continue;
        const double worst = std::max(r->marks[0].stallMs, r->marks[1].stallMs);
        std::printf("  %-18s %.1f ms in the first 100,000 lines, %.1f ms in the next (goal < 50: %s)\n", label,
                    r->marks[0].stallMs, r->marks[1].stallMs,
                    judge("flood", "longest event-loop stall, " + QByteArray(label), fixed(worst) + " ms", "< 50 ms",
                          worst < 50));
    }
    std::printf("transcript: does ChatBox hold the newest %d lines, in order, once the flood is over\n"
                "  (read through its accessibility interface, as a screen reader reads it)?\n", Lobby::ChatLinesKept);
    bool allRight = true;
    int checked = 0;
    const auto transcript = [&](const QByteArray &label, const WindowedRun &r) {
        if (!r.failure.isEmpty())
            return;
        ++checked;
        allRight = allRight && r.transcript.startsWith("ok");
        std::printf("  %-19s %s\n", label.constData(), r.transcript.constData());
    };
    for (int run = 0; run < cpuRuns.size(); ++run)
        transcript("CPU run " + QByteArray::number(run + 1) + ", 100,000", cpuRuns[run]);
    for (int run = 0; run < tlsRuns.size(); ++run)
        transcript("TLS run " + QByteArray::number(run + 1) + ", 100,000", tlsRuns[run]);
    transcript("log closed, 200,000", closed);
    transcript("log open, 200,000", open);
    // TAV_FLOOD_WINDOWED leaves out the TLS runs, the log window and the session without windows.
    const int runs = windowedOnly ? cpuRunCount() + 1 : 2 * cpuRunCount() + 2;
    judge("flood", "transcript: the newest 10,000 lines in order, every run",
          QByteArray::number(checked) + (allRight ? " ok" : " not ok"), "all ok", allRight && checked == runs);
    std::fflush(stdout);
    return checked == runs && (windowedOnly || headless.failure.isEmpty());
}
