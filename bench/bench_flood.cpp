// The program as a person runs it, under a chat flood: the window set that
// app/main.cpp builds, in a child process on Xvfb through xcb, reached by clicks
// and keys; a plain client sends lobby chat at about 4,000 lines/s. Memory, CPU,
// the longest stall of the event loop and the transcript, all taken in the child.
#include "SessionProbe.h"
#include "bench/Benchmarks.h"
#include "bench/ChatFlood.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <sys/prctl.h>

namespace {
const QByteArray Channel = "#TavarineNET_3";
constexpr int Lines = 100000;             // one measured stretch of the flood
const QList<int> MemoryMarks{Lines, 2 * Lines};  // readings in the child
constexpr ChatFlood::Pace FloodPace{4000, 10, 2000};
constexpr int PollMs = 100;    // the child reads the transcript's last line this often
constexpr int ProbeMs = 5;     // the child's event-loop probe
constexpr qint64 StretchLimitMs = 120000;
constexpr int CpuRuns = 3;  // of the program and of HexChat, taking turns

void say(const QByteArray &text)
{
    std::printf("%s\n", text.constData());
    std::fflush(stdout);
}

// --- the child: the program's windows, driven like a person ---

void clickAt(QWidget *window, QPoint p)
{
    QWidget *target = window->childAt(p);
    if (!target)
        target = window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, p));
}

QPoint centreIn(QWidget *window, QWidget *w)
{
    return w->mapTo(window, w->rect().center());
}

// The point of w nearest its centre that a click on the window would reach it at
// (controls made later can cover part of it); (-1, -1) when none does.
QPoint visibleCentre(QWidget *window, QWidget *w)
{
    const QPoint c = centreIn(window, w);
    const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    QPoint best(-1, -1);
    int bestDistance = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const int d = (x - c.x()) * (x - c.x()) + (y - c.y()) * (y - c.y());
            if ((bestDistance < 0 || d < bestDistance) && window->childAt(QPoint(x, y)) == w) {
                best = QPoint(x, y);
                bestDistance = d;
            }
        }
    }
    return best;
}

// The number n of the newest "bob> line n ..." in the box, -1 when it holds none.
int newestLineNumber(const ChatView *box)
{
    static const QString prefix = QStringLiteral("bob> line ");
    const QString text = box->line(box->lineCount() - 1);
    if (!text.startsWith(prefix))
        return -1;
    const qsizetype end = text.indexOf(u' ', prefix.size());
    return QStringView(text).sliced(prefix.size(), end - prefix.size()).toInt();
}

double processCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU from /proc/self/stat, then resident memory after giving freed heap back to the system.
QByteArray reading()
{
    const qint64 cpu = cpuMs(0);
    ::malloc_trim(0);
    return " cpu=" + QByteArray::number(cpu) + " rss=" + QByteArray::number(residentKb(0));
}

// A timer that should tick every ProbeMs; any longer wait is time the event loop did not turn.
class LoopProbe {
public:
    LoopProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(ProbeMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_lastNs = 0;
        m_longestNs = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    // The longest stall since the last call: the longest wait minus the interval.
    double takeLongestStallMs()
    {
        const double ms = std::max<qint64>(0, m_longestNs - qint64(ProbeMs) * 1000000) / 1e6;
        m_longestNs = 0;
        return ms;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// Read as a screen reader reads it: the whole text through the box's accessible interface.
QByteArray checkTranscript(ChatView *box, int last)
{
    QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(box);
    QAccessibleTextInterface *reader = shown ? shown->textInterface() : nullptr;
    if (!reader)
        return "transcript not ok: the box offers no text to a screen reader";
    const QStringList lines = reader->text(0, reader->characterCount()).split(u'\n');
    const int first = last - Lobby::ChatLinesKept + 1;
    QByteArray problem;
    if (lines.size() != Lobby::ChatLinesKept)
        problem = "it holds " + QByteArray::number(lines.size()) + " lines, not "
            + QByteArray::number(Lobby::ChatLinesKept);
    for (int i = 0; i < lines.size() && problem.isEmpty(); ++i) {
        const QByteArray want = ChatFlood::shownText(first + i);
        if (lines[i].toUtf8() != want)
            problem = "line " + QByteArray::number(i + 1) + " is \"" + lines[i].toUtf8().left(60) + "\" where \""
                + want + "\" belongs";
    }
    if (!problem.isEmpty())
        return "transcript not ok: " + problem;
    return "transcript ok: " + QByteArray::number(lines.size()) + " lines in order, \"" + lines.first().toUtf8()
        + "\" to \"" + lines.last().toUtf8() + "\"";
}

int childFailure(const QByteArray &what)
{
    say("error " + what);
    return 3;
}
}  // namespace

int benchWindowedReceive(int argc, char *argv[])
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: tavarine-bench --windowed-receive HOST PORT MARK[,MARK...] [--log] [--no-probe]\n");
        return 2;
    }
    const QString host = QString::fromLocal8Bit(argv[2]);
    const quint16 port = quint16(QByteArray(argv[3]).toUInt());
    QList<int> marks;
    for (const QByteArray &m : QByteArray(argv[4]).split(','))
        marks.append(m.toInt());
    QByteArrayList flags;
    for (int i = 5; i < argc; ++i)
        flags.append(argv[i]);
    const bool withLog = flags.contains("--log");
    const bool withProbe = !flags.contains("--no-probe");
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return childFailure("the platform is " + QGuiApplication::platformName().toUtf8() + ", not xcb");

    // As app/main.cpp builds it, with the bench's server in place of the built-in one.
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    QApplication::setDesktopFileName(QStringLiteral("tavarine-lobby"));
    QApplication::setWindowIcon(Resource::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    WindowSet windows({host, port});
    QObject::connect(&windows, &WindowSet::programEnded, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.start();

    // The nickname: click into the box, type, click Login.
    LoginForm *login = windows.loginForm();
    if (!QTest::qWaitForWindowExposed(login, 10000))
        return childFailure("LoginForm never came on screen");
    clickAt(login, centreIn(login, login->NICKNAMEBOX));
    QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : login->focusWidget();
    if (!focused)
        return childFailure("nothing has the focus in LoginForm");
    QTest::keyClicks(focused, QStringLiteral("recv"));
    if (login->NICKNAMEBOX->text() != QLatin1String("recv"))
        return childFailure("the typed nickname did not reach NICKNAMEBOX");
    clickAt(login, centreIn(login, login->Command1));

    // Lobby 3.
    LobbySelect *select = windows.lobbySelect();
    if (!select || !QTest::qWaitForWindowExposed(select, 10000))
        return childFailure("LobbySelect never came on screen");
    const QPoint planet = visibleCentre(select, select->LobbySel[3]);
    if (planet.x() < 0)
        return childFailure("LobbySel(3) cannot be clicked");
    clickAt(select, planet);
    Lobby *lobby = windows.lobby();
    if (!lobby)
        return childFailure("the click on LobbySel(3) opened no lobby");
    const LobbySession *session = windows.session();
    QObject::connect(&SessionProbe{*session}.socket(), &LobbySocket::stateChanged, qApp, [&](int state) {
        if (state == LobbySocket::Closing || state == LobbySocket::Error) {
            say("disconnected after line " + QByteArray::number(newestLineNumber(lobby->ChatBox)));
            QCoreApplication::exit(3);
        }
    });

    if (withLog) {
        if (!QTest::qWaitForWindowExposed(lobby, 10000))
            return childFailure("Lobby never came on screen");
        if (lobby->Connection->isVisible()) {
            clickAt(lobby, centreIn(lobby, lobby->Command1));
            say("note View Log clicked on the Connection panel before the welcome was handled");
        } else {
            lobby->Command1_Click();
            say("note the welcome came before the lobby window was on screen: the log window was opened by "
                "calling Lobby::Command1_Click()");
        }
        // A window of its own: found among the top-level windows, not under the lobby.
        LogFrm *log = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *found = qobject_cast<LogFrm *>(w))
                    log = found;
            return log != nullptr;
        }, 10000);
        if (!log || !QTest::qWaitForWindowExposed(log, 10000))
            return childFailure("the log window never came on screen");
    }
    if (!QTest::qWaitFor([&] { return lobby->Connection->isHidden(); }, 15000))
        return childFailure("the lobby never joined");

    LoopProbe probe;
    QTimer poll;
    poll.setInterval(PollMs);
    int shown = -1;
    qsizetype nextMark = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int n = newestLineNumber(lobby->ChatBox);
        if (n != shown) {
            shown = n;
            say("got " + QByteArray::number(n));
        }
        if (nextMark < marks.size() && n == marks[nextMark]) {
            say("mark " + QByteArray::number(n) + reading() + " inlog="
                + QByteArray::number(session->inboundLog().text().size())
                + (withProbe ? " stall=" + QByteArray::number(probe.takeLongestStallMs(), 'f', 1) : QByteArray()));
            if (++nextMark == marks.size()) {
                poll.stop();
                probe.stop();
                say(checkTranscript(lobby->ChatBox, n));
                say("end");
                QCoreApplication::exit(0);
            }
        }
    });
    // The join's replies and the lobby's own announcements first; then a second of idling
    // without the probe and one with it show what each costs by itself.
    QTimer::singleShot(1000, [&] {
        const double idleStart = processCpuMs();
        QTimer::singleShot(1000, [&, idleStart] {
            const double probeStart = processCpuMs();
            if (withProbe)
                probe.start();
            QTimer::singleShot(1000, [&, idleStart, probeStart] {
                const double end = processCpuMs();
                say("ready" + reading() + " idle=" + QByteArray::number(probeStart - idleStart, 'f', 1)
                    + (withProbe ? " probed=" + QByteArray::number(end - probeStart, 'f', 1) : QByteArray()));
                probe.takeLongestStallMs();
                poll.start();
            });
        });
    });
    QTimer::singleShot(300000, [] {
        say("error the child's time ran out");
        QCoreApplication::exit(1);
    });
    return QApplication::exec();
}

// --- the parent ---

namespace {
struct Reading {
    qint64 cpuMs = -1;
    qint64 rssKb = -1;
    double stallMs = -1;
    qint64 inboundLogBytes = -1;  // the session's InboundLog, as the program keeps it
};

struct WindowedRun {
    Reading ready;
    double idleCpuMs = -1;    // over one idle second after the join
    double probedCpuMs = -1;  // over the next, with the probe running
    QList<Reading> marks;
    QList<qint64> stretchWallMs;
    QByteArrayList notes;
    QByteArray transcript;
    QByteArray failure;
};

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

// One child; with the probe unless asked, since its wake-ups cost CPU of their own.
WindowedRun runWindowed(const RealIrcServer &server, PlainIrcClient &sender, const QList<int> &marks, bool withLog,
                        bool withProbe = true)
{
    WindowedRun out;
    QTemporaryDir dir;
    QProcess child;
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(dir.filePath(QStringLiteral("stderr")));  // Qt's own warnings, for a failure
    QStringList args{QStringLiteral("--windowed-receive"), server.host(), QString::number(server.port()),
                     QString()};
    for (int m : marks)
        args.last() += (args.last().isEmpty() ? QString() : QStringLiteral(",")) + QString::number(m);
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
    ChatFlood flood(sender, Channel, FloodPace);
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
    return cpuMs * 1000.0 / Lines;
}

void printCpu(const char *label, qint64 cpuMs, qint64 wallMs)
{
    std::printf("  %-34s %6lld ms, %6.1f us/line (%.0f lines/s)\n", label, static_cast<long long>(cpuMs),
                usPerLine(cpuMs), wallMs > 0 ? Lines * 1000.0 / wallMs : 0.0);
}

qint64 cpuOf(const WindowedRun &r)
{
    return r.failure.isEmpty() ? r.marks[0].cpuMs - r.ready.cpuMs : -1;
}
}  // namespace

void benchFlood()
{
    std::printf("flood: the program's window set (as app/main.cpp builds it) in a child process, %s;\n"
                "  reached like a person: nickname typed into NICKNAMEBOX, clicks on Login and LobbySel(3).\n"
                "  A plain client \"bob\" sends lobby chat lines through one ngircd (flood limits lifted) at\n"
                "  %d lines/s, at most %d lines ahead of what the child confirmed (the newest line of its\n"
                "  ChatBox, read every %d ms). Figures taken in the child: VmRSS from /proc/PID/status after\n"
                "  malloc_trim(0) (freed heap goes back to the system first), utime+stime from /proc/PID/stat.\n"
                "  HexChat (its window on the same X server) and weechat-headless take the same flood and\n"
                "  confirm by answering a CTCP PING every %d lines.\n",
                windowPlatformText().constData(), FloodPace.linesPerSecond, FloodPace.window, PollMs, PeerProbeEvery);
    std::fflush(stdout);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("  skipped: no Xvfb, and these figures are taken on a real X server only\n");
        return;
    }
    RealIrcServer server;
    PlainIrcClient sender;
    if (!openFlood(server, sender, Channel))
        return;
    // CPU: the program and HexChat take turns, so a change of load on the machine hits both.
    const bool hexchat = hexchatAvailable();
    QList<WindowedRun> cpuRuns;
    QList<FloodFigures> hexRuns;
    for (int run = 0; run < CpuRuns; ++run) {
        cpuRuns.append(runWindowed(server, sender, {Lines}, false, false));
        if (hexchat)
            hexRuns.append(receiveFlood(FloodReceiver::HexChat, server, sender, Channel, Lines, FloodPace));
    }
    const WindowedRun closed = runWindowed(server, sender, MemoryMarks, false);
    const WindowedRun open = runWindowed(server, sender, MemoryMarks, true);
    QList<double> bareMb;
    for (int run = 0; run < CpuRuns; ++run)
        if (const qint64 kb = bareWindowResidentKb(); kb > 0)
            bareMb.append(mb(kb));
    const bool weechat = weechatAvailable();
    const FloodFigures peer = weechat ? receiveFlood(FloodReceiver::Weechat, server, sender, Channel, Lines, FloodPace)
                                      : FloodFigures{};
    const FloodFigures headless = receiveFlood(FloodReceiver::Session, server, sender, Channel, Lines, FloodPace);

    for (const QByteArray &note : open.notes)
        std::printf("  note, log window run: %s\n", note.constData());

    // As the child receives them: the server puts the sender's prefix in front.
    const QByteArray prefix = ":bobOnTavNET!~bobOnTavNET@127.0.0.1 ";
    const ChatFlood lines(sender, Channel, FloodPace);
    qint64 bytes = 0;
    for (int n = 1; n <= MemoryMarks.last(); ++n)
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
                Lines, FloodPace.linesPerSecond);
    QList<double> ratios;
    QList<double> ours;
    for (int run = 0; run < CpuRuns; ++run) {
        const WindowedRun &r = cpuRuns[run];
        if (!r.failure.isEmpty()) {
            std::printf("  run %d: windowed program: no figure: %s\n", run + 1, r.failure.constData());
            continue;
        }
        ours.append(usPerLine(cpuOf(r)));
        std::printf("  run %d: windowed program %6.1f us/line (%.0f lines/s)", run + 1, ours.last(),
                    Lines * 1000.0 / r.stretchWallMs[0]);
        if (!hexchat) {
            std::printf("\n");
        } else if (!hexRuns[run].failure.isEmpty()) {
            std::printf("; HexChat: no figure: %s\n", hexRuns[run].failure.constData());
        } else {
            const double theirs = usPerLine(hexRuns[run].cpuStreamMs);
            ratios.append(ours.last() / theirs);
            std::printf(", HexChat %6.1f us/line (%.0f lines/s): ratio %.3f\n", theirs,
                        Lines * 1000.0 / hexRuns[run].wallMs, ratios.last());
        }
    }
    if (!hexchat)
        std::printf("  HexChat: skipped, not installed (apt-get install hexchat)\n");
    if (!ratios.isEmpty()) {
        const double r = median(ratios);
        std::printf("  ratio windowed program / HexChat, median of %lld runs: %.3f (goal <= 0.15: %s)\n",
                    static_cast<long long>(ratios.size()), r,
                    judge("flood", "CPU a line, windowed program / HexChat (median of runs)", fixed(r, 3), "<= 0.15",
                          r <= 0.15 && ratios.size() == CpuRuns));
    }
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
    transcript("log closed, 200,000", closed);
    transcript("log open, 200,000", open);
    judge("flood", "transcript: the newest 10,000 lines in order, every run",
          QByteArray::number(checked) + (allRight ? " ok" : " not ok"), "all ok", allRight && checked == CpuRuns + 2);
    std::fflush(stdout);
}
