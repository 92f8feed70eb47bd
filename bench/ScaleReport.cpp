// A scale run's figures: per run as it ends, one table for all, and the goals.
#include "ScaleRun.h"
#include "bench/Benchmarks.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

namespace scale {
namespace {
// Sorted, with "never" (-1) last.
std::vector<qint64> sortedTimes(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end(), [](qint64 a, qint64 b) { return (a < 0 ? INT64_MAX : a) < (b < 0 ? INT64_MAX : b); });
    return v;
}
}  // namespace

QByteArray timeText(qint64 ns)
{
    if (ns < 0)
        return "never";
    return ns < 10'000'000'000 ? QByteArray::number(ns / 1e6, 'f', 0) + " ms" : QByteArray::number(ns / 1e9, 'f', 1) + " s";
}

qint64 medianOf(const std::vector<qint64> &v)
{
    return v.empty() ? -1 : sortedTimes(v)[v.size() / 2];
}

QByteArray timesText(const std::vector<qint64> &v)
{
    if (v.empty())
        return "none";
    const std::vector<qint64> s = sortedTimes(v);
    const auto done = std::count_if(s.begin(), s.end(), [](qint64 t) { return t >= 0; });
    return "median " + timeText(s[s.size() / 2]) + ", worst " + timeText(s.back()) + " (" + QByteArray::number(done) + " of "
        + QByteArray::number(qsizetype(s.size())) + ")";
}

// The reasons the servers gave for closing client links, each once.
QStringList closeReasons(const QString &serverOutput)
{
    static const QRegularExpression closing(QStringLiteral("(?i)(flood|sendq|recvq|exhausted|excess|timeout)[^\\n]*"));
    QStringList out;
    for (auto it = closing.globalMatch(serverOutput); it.hasNext();) {
        QString reason = it.next().captured(0).trimmed();
        reason.replace(QRegularExpression(QStringLiteral("\\d+")), QStringLiteral("#"));
        if (!out.contains(reason))
            out.append(reason);
    }
    return out;
}

void LobbyRun::summarise()
{
    Figures &f = m_fig;
    std::vector<double> heard;
    for (const Player *p : m_newcomers) {
        if (!p->classic && !p->leaving && p->toHear > 0)
            heard.push_back(1.0 - double(p->missingAnswers.size()) / p->toHear);
        if (!p->classic && p->leaving && p->hutNs < 0)
            ++f.hutLeft;
        else if (!p->classic)
            f.hutNs.push_back(p->hutNs);
        if (p->leaving && p->listNs < 0) {
            ++f.leftIncomplete;
            continue;
        }
        (p->classic ? f.classicListNs : f.listNs).push_back(p->listNs);
        if (!p->classic)
            f.answeredNs.push_back(p->answeredNs), f.butCutNs.push_back(p->butCutNs), f.cut += p->cut;
    }
    std::sort(heard.begin(), heard.end());
    f.heardShare = heard.empty() ? 0 : heard[heard.size() / 2];
    const double arrivals = std::max(1, f.arrivals), departures = std::max(1, f.departures);
    double readsA = 0, readsD = 0, sendsA = 0, sendsD = 0, trafficRead = 0, trafficWritten = 0;
    for (const auto &p : m_players) {
        if (p->bystander) {
            ++f.bystanders;
            readsA += p->lines[Arrival] + p->lines[Announcement] + p->lines[Answer] + p->lines[ClassicSays] / 2.0;
            readsD += p->lines[Departure] + p->lines[ClassicSays] / 2.0;
            // What it wrote: answers, notices after quits (seen by a player of either server) and pongs.
            const qint64 written = p->after.linesWritten - p->before.linesWritten;
            const int notices = m_notices[p.get() == m_players[0].get()].value(p->nick);
            sendsA += written - notices - p->lines[PingLine];
            sendsD += notices;
            trafficRead += p->after.linesRead - p->before.linesRead;
            trafficWritten += written;
        }
        f.bytesPerArrival += p->bytes[Arrival] + p->bytes[Announcement] + p->bytes[Answer] + p->bytes[ClassicSays] / 2.0;
        f.joinBytes += p->bytes[Arrival], f.announceBytes += p->bytes[Announcement], f.answerBytes += p->bytes[Answer];
        f.bytesPerDeparture += p->bytes[Departure] + p->bytes[ClassicSays] / 2.0;
        f.otherBytesPerEvent += p->bytes[PingLine] + p->bytes[OtherLine];
        f.rampAnswerBytes += p->bytes[RampAnswer];
        if (p->dropped)
            ++(p->classic ? f.classicDropped : f.dropped);
    }
    const double b = std::max(1, f.bystanders);
    f.readsPerArrival = readsA / b / arrivals, f.readsPerDeparture = readsD / b / departures;
    f.sendsPerArrival = sendsA / b / arrivals, f.sendsPerDeparture = sendsD / b / departures;
    f.trafficReadPerEvent = trafficRead / b / (arrivals + departures);
    f.trafficWrittenPerEvent = trafficWritten / b / (arrivals + departures);
    f.bytesPerArrival /= arrivals, f.bytesPerDeparture /= departures, f.otherBytesPerEvent /= arrivals + departures;
    f.joinBytes /= arrivals, f.announceBytes /= arrivals, f.answerBytes /= arrivals;

    if (f.drainS >= 0)
        std::printf("    the answers to the ramp's newcomers were out %.0f s after it\n", f.drainS);
    std::printf("    joined in %.1f s; churn %d s: %d arrivals, %d departures, %d bystanders throughout\n", f.rampS, f.churnS,
                f.arrivals, f.departures, f.bystanders);
    std::printf("    newcomer's list complete, from its JOIN: %s", timesText(f.listNs).constData());
    if (f.classics)
        std::printf("; classic peers': %s", timesText(f.classicListNs).constData());
    if (f.cut)
        std::printf("\n      the server cut %d names off newcomers' names lists (\"[CUT]\"); apart from them: %s", f.cut,
                    timesText(f.butCutNs).constData());
    if (f.hutFormed) {
        const auto never = std::count(f.hutNs.begin(), f.hutNs.end(), -1);
        // Answers that fall behind show as a wait growing with the arrivals.
        const auto half = f.hutNs.begin() + qsizetype(f.hutNs.size() / 2);
        std::printf("\n    newcomer knows the hut (%s in places 1 to 3, all agreed %.1f s after the first click), from its JOIN: %s;"
                    " %lld never by the restart, %d quit first\n      the first half of the arrivals: median %s; the second: %s",
                    f.hutTruth.constData(), f.hutFormMs / 1e3, timesText(f.hutNs).constData(), static_cast<long long>(never),
                    f.hutLeft, timeText(medianOf(std::vector<qint64>(f.hutNs.begin(), half))).constData(),
                    timeText(medianOf(std::vector<qint64>(half, f.hutNs.end()))).constData());
        if (f.hutBrokeNs >= 0)
            std::printf("\n      its holders no longer agreed on it %.1f s into the churn (%s)", f.hutBrokeNs / 1e9, f.hutBrokeAt);
    } else {
        std::printf("\n    newcomer knows the hut: no hut was formed");
    }
    std::printf("\n    newcomer told by every other player (TAVLIST to it or the channel): %s; by the restart a newcomer had"
                " heard from %.0f %% of them (median)\n", timesText(f.answeredNs).constData(), f.heardShare * 100);
    std::printf("    per bystander, lines read / sent: per arrival %.2f / %.2f, per departure %.2f / %.2f"
                " (traffic(): %.2f read, %.2f sent per event)\n", f.readsPerArrival, f.sendsPerArrival, f.readsPerDeparture,
                f.sendsPerDeparture, f.trafficReadPerEvent, f.trafficWrittenPerEvent);
    std::printf("    server bytes out: %.1f kB per arrival = %.0f B x players (JOIN, names: %.0f; the newcomer's TAVLIST: %.0f;"
                " answers: %.0f), %.1f kB per departure = %.0f B x players; other %.1f kB per event\n", f.bytesPerArrival / 1e3,
                f.bytesPerArrival / f.n, f.joinBytes / f.n, f.announceBytes / f.n, f.answerBytes / f.n, f.bytesPerDeparture / 1e3,
                f.bytesPerDeparture / f.n, f.otherBytesPerEvent / 1e3);
    if (f.rampAnswerBytes > 0)
        std::printf("      besides: answers to the ramp's players, still owed, %.1f kB a second of the churn\n",
                    f.rampAnswerBytes / 1e3 / f.churnS);
    std::printf("    dropped: %d sessions%s", f.dropped, f.classics ? QByteArray(", " + QByteArray::number(f.classicDropped) + " classic peers").constData() : "");
    if (f.firstDrop)
        std::printf(" (first during the %s)", f.firstDrop);
    std::printf("; lists sampled during the churn: %d of %d empty\n", f.emptySamples, f.samples);
    if (!f.serverSaid.isEmpty())
        std::printf("      the server to the first: %s\n", f.serverSaid.left(140).constData());
    if (f.dropped + f.classicDropped > 0)
        for (const QString &reason : closeReasons(m_server[0].output() + m_server[1].output()).mid(0, 4))
            std::printf("      server: %s\n", qPrintable(reason.left(140)));
    std::printf("    restart of the second server: %d of %d back in the lobby and listed on the first after %s (median %s);"
                " all in the lobby after %s\n", f.back, f.backOf, f.backNs < 0 ? "timeout" : timeText(f.backNs).constData(),
                timeText(f.backMedianNs).constData(), f.inLobbyNs < 0 ? "timeout" : timeText(f.inLobbyNs).constData());
    if (f.kind == RealIrcServer::NgIrcd)
        std::printf("    server link lost (the first server's log): %d in the ramp, %d in the churn, %d from the restart on\n",
                    m_linkBreaks[1] - m_linkBreaks[0], m_linkBreaks[2] - m_linkBreaks[1], m_linkBreaks[3] - m_linkBreaks[2]);
    std::printf("    CPU: bench %.1f s (%.0f ms a player), servers %.1f s; during the churn bench %.0f %%, servers %.0f %% of a core;"
                " bench resident %.0f MB\n", f.benchCpuS, f.benchCpuS * 1e3 / f.n, f.serverCpuS, f.benchChurnShare * 100,
                f.serverChurnShare * 100, f.benchMb);
    std::fflush(stdout);
}

QByteArray runName(const Figures &f)
{
    return QByteArray(kindName(f.kind)) + ' ' + (f.n >= 1000 ? "1,000" : QByteArray::number(f.n)) + (f.classics ? " classic" : "");
}

void printSummary(const std::vector<Figures> &all)
{
    std::printf("scale summary (list ms: newcomer's list complete from its JOIN, median/worst; hut ms: its table shows every\n"
                "  held place and its holder, median/worst; lines per bystander read/sent;\n"
                "  bytes out per event and per event and player; back: s until the restarted half is back and listed)\n");
    std::printf("  %-18s %6s %13s %13s %14s %11s %11s %8s %8s %6s %6s %7s %6s %9s %9s %5s\n", "run", "churn", "list ms", "hut ms",
                "classic list", "per arrival", "per depart", "kB/arr", "kB/dep", "B/a/N", "B/d/N", "dropped", "back",
                "bench ms", "CPU b/s %", "empty");
    for (const Figures &f : all) {
        if (!f.ran)
            continue;
        const auto ms = [](qint64 ns) { return ns < 0 ? QByteArray("never") : QByteArray::number(ns / 1e6, 'f', 0); };
        const std::vector<qint64> list = sortedTimes(f.listNs), classic = sortedTimes(f.classicListNs);
        const QByteArray listText = list.empty() ? "-" : ms(list[list.size() / 2]) + '/' + ms(list.back());
        const QByteArray classicText = classic.empty() ? "-" : ms(classic[classic.size() / 2]) + '/' + ms(classic.back());
        const std::vector<qint64> hut = sortedTimes(f.hutNs);
        const QByteArray hutText = !f.hutFormed ? "no hut" : hut.empty() ? "-" : ms(hut[hut.size() / 2]) + '/' + ms(hut.back());
        std::printf("  %-18s %5ds %13s %13s %14s %5.2f/%-5.2f %5.2f/%-5.2f %8.1f %8.1f %6.0f %6.0f %3d/%-3d %6s %9.0f %4.0f/%-4.0f %5d\n",
                    runName(f).constData(), f.churnS, listText.constData(), hutText.constData(), classicText.constData(), f.readsPerArrival,
                    f.sendsPerArrival, f.readsPerDeparture, f.sendsPerDeparture, f.bytesPerArrival / 1e3, f.bytesPerDeparture / 1e3,
                    f.bytesPerArrival / f.n, f.bytesPerDeparture / f.n, f.dropped, f.classicDropped,
                    f.backNs < 0 ? "t/o" : QByteArray::number(f.backNs / 1e9, 'f', 1).constData(), f.benchCpuS * 1e3 / f.n,
                    f.benchChurnShare * 100, f.serverChurnShare * 100, f.emptySamples);
    }
}

void judgeScale(const std::vector<Figures> &all)
{
    int empty = 0, samples = 0;
    for (const Figures &f : all) {
        if (!f.ran)
            continue;
        empty += f.emptySamples, samples += f.samples;
        if (f.n < 1000)
            continue;
        const QByteArray run = runName(f);
        const qint64 median = medianOf(f.listNs);
        judge("scale", run + ": newcomer's list complete, median", timeText(median), "<= 5 s", median >= 0 && median <= 5'000'000'000);
        const qint64 hutMedian = medianOf(f.hutNs), hutWorst = f.hutNs.empty() ? -1 : sortedTimes(f.hutNs).back();
        judge("scale", run + ": newcomer knows the hut, median / worst", f.hutFormed ? timeText(hutMedian) + " / " + timeText(hutWorst)
              : QByteArray("no hut"), "<= 2 s / 5 s", f.hutFormed && hutMedian >= 0 && hutMedian <= 2'000'000'000 && hutWorst >= 0
              && hutWorst <= 5'000'000'000);
        judge("scale", run + ": sessions dropped (classic peers)",
              QByteArray::number(f.dropped) + " (" + QByteArray::number(f.classicDropped) + ")", "0", f.dropped == 0);
        judge("scale", run + ": restart, all back and listed", f.backNs < 0 ? "timeout" : timeText(f.backNs), "<= 120 s",
              f.backNs >= 0 && f.backNs <= 120'000'000'000);
    }
    for (RealIrcServer::Kind kind : {RealIrcServer::NgIrcd, RealIrcServer::InspIRCd}) {
        double perArrival = 0, perDeparture = 0;
        const Figures *small = nullptr, *large = nullptr;
        for (const Figures &f : all) {
            if (!f.ran || f.kind != kind || f.classics)
                continue;
            perArrival = std::max(perArrival, f.sendsPerArrival), perDeparture = std::max(perDeparture, f.sendsPerDeparture);
            if (!small || f.n < small->n)
                small = &f;
            if (!large || f.n > large->n)
                large = &f;
        }
        if (!small)
            continue;
        const QByteArray name = kindName(kind);
        judge("scale", name + ": lines a bystander sends per arrival / departure, most", QByteArray::number(perArrival, 'f', 2) + " / "
              + QByteArray::number(perDeparture, 'f', 2), "<= 1 / 0", perArrival <= 1.0 && perDeparture < 0.005);
        if (small == large)
            continue;
        const double arrivals = (large->bytesPerArrival / large->n) / (small->bytesPerArrival / small->n);
        const double departures = (large->bytesPerDeparture / large->n) / (small->bytesPerDeparture / small->n);
        judge("scale", name + ": bytes per arrival / departure per player, " + runName(*large).split(' ')[1] + " against "
              + QByteArray::number(small->n), QByteArray::number(arrivals, 'f', 2) + " / " + QByteArray::number(departures, 'f', 2),
              "<= 1.25", arrivals <= 1.25 && departures <= 1.25);
    }
    judge("scale", "sampled lists empty during the churn, all runs", QByteArray::number(empty) + " of " + QByteArray::number(samples),
          "0", empty == 0);
}
}  // namespace scale
