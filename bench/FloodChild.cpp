// The flood's child: the window set that app/main.cpp builds, reached by clicks and keys, which
// reports the newest chat line shown and, at each mark, its CPU, memory and longest stall.
#include "SessionProbe.h"
#include "FloodRun.h"
#include "bench/Benchmarks.h"

#include "ui/ChatView.h"
#include "ui/ClickArea.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QTemporaryDir>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <optional>

using namespace flood;

namespace {
void say(const QByteArray &text)
{
    std::printf("%s\n", text.constData());
    std::fflush(stdout);
}

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
    const std::optional<ServerAddress> address = argc < 4 ? std::nullopt
                                                           : ServerAddress::parse(QString::fromLocal8Bit(argv[2]));
    if (!address) {
        std::fprintf(stderr, "usage: tavarine-bench --windowed-receive ADDRESS MARK[,MARK...] [--log] [--no-probe] "
                             "[--ca FILE]\n");
        return 2;
    }
    QList<int> marks;
    for (const QByteArray &m : QByteArray(argv[3]).split(','))
        marks.append(m.toInt());
    QByteArrayList flags;
    for (int i = 4; i < argc; ++i)
        flags.append(argv[i]);
    const bool withLog = flags.contains("--log");
    const bool withProbe = !flags.contains("--no-probe");
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return childFailure("the platform is " + QGuiApplication::platformName().toUtf8() + ", not xcb");
    // The bench's CA, trusted the way a player's system would: in the default configuration,
    // which the socket reads on each try.
    if (const qsizetype at = flags.indexOf("--ca"); at >= 0) {
        const QList<QSslCertificate> ca = QSslCertificate::fromPath(QString::fromLocal8Bit(flags.value(at + 1)));
        if (ca.isEmpty())
            return childFailure("no CA certificate in " + flags.value(at + 1));
        QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
        trusted.addCaCertificates(ca);
        QSslConfiguration::setDefaultConfiguration(trusted);
    }

    // As app/main.cpp builds it, with the bench's server in place of the built-in one.
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    QApplication::setDesktopFileName(QStringLiteral("tavarine-lobby"));
    QApplication::setWindowIcon(Resource::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir config;  // each run a new player: no nickname remembered from the last
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    WindowSet windows({*address});
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
        return childFailure("the typed nickname did not reach NICKNAMEBOX: " + login->NICKNAMEBOX->text().toUtf8());
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
                + QByteArray::number(session->inboundLog().size())
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
