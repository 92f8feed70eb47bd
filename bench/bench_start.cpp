// From exec to the nickname window on screen, against a bare Qt window with the
// same title: both as child processes on Xvfb through xcb, timed the same way.
#include "bench/Benchmarks.h"

#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {
int runs()  // of each, after one unmeasured run of each
{
    return sized(9, 1);
}

qint64 monotonicNs()
{
    // CLOCK_MONOTONIC: one clock for the parent and its children.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Prints how long since startNs once the window is exposed and its first paint is done;
// or, for a memory reading, the resident size two seconds later, freed heap given back first.
class ShownWatch : public QObject {
public:
    ShownWatch(QWindow *window, qint64 startNs, bool memory)
        : m_window(window), m_startNs(startNs), m_memory(memory)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed() && !m_seen) {
            m_seen = true;
            // The expose is painted while it is handled; the next turn of the loop comes after.
            QTimer::singleShot(m_memory ? 2000 : 0, this, [this] {
                if (m_memory) {
                    ::malloc_trim(0);
                    std::printf("rss %lld\n", static_cast<long long>(residentKb(0)));
                } else {
                    std::printf("shown %lld\n", static_cast<long long>(monotonicNs() - m_startNs));
                }
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWindow *m_window;
    qint64 m_startNs;
    bool m_memory;
    bool m_seen = false;
};

// One child run of --show-window KIND; what it printed.
QByteArray runChild(const char *kind, const QStringList &extra)
{
    QProcess child;
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--show-window"), QLatin1String(kind), QString::number(monotonicNs())} + extra);
    if (!child.waitForFinished(20000)) {
        child.kill();
        child.waitForFinished(5000);
        return {};
    }
    return child.readAllStandardOutput();
}

// One child run: nanoseconds from just before its start until it reported its window shown; -1 on failure.
qint64 sample(const char *kind)
{
    const QByteArray out = runChild(kind, {});
    const qsizetype at = out.indexOf("shown ");
    return at < 0 ? -1 : out.mid(at + 6).trimmed().toLongLong();
}

double median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}
}  // namespace

qint64 bareWindowResidentKb()
{
    const QByteArray out = runChild("bare", {QStringLiteral("--memory")});
    const qsizetype at = out.indexOf("rss ");
    return at < 0 ? -1 : out.mid(at + 4).trimmed().toLongLong();
}

int benchShowWindow(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: tavarine-bench --show-window program|bare START_NS [--memory]\n");
        return 2;
    }
    const qint64 startNs = QByteArray(argv[3]).toLongLong();
    const bool memory = argc > 4 && QByteArray(argv[4]) == "--memory";
    if (QByteArray(argv[2]) == "bare") {
        QWidget window(nullptr, Qt::Tool);  // the nickname window's flags and size, nothing inside
        window.setWindowTitle(QStringLiteral("TavarineNET IRC - Login"));
        window.setFixedSize(207, 104);
        window.show();
        ShownWatch watch(window.windowHandle(), startNs, memory);
        return QApplication::exec();
    }
    // As app/main.cpp does it.
    QApplication::setApplicationName(QStringLiteral("TavarineNET IRC"));
    QApplication::setDesktopFileName(QStringLiteral("tavarine-lobby"));
    QApplication::setWindowIcon(Resource::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    WindowSet windows;
    windows.start();
    ShownWatch watch(windows.loginForm()->windowHandle(), startNs, memory);
    return QApplication::exec();
}

bool benchStart()
{
    std::printf("start: from exec until the window is exposed and painted, child processes on %s;\n"
                "  the program's window set (LoginForm) against a bare Qt window with the same title, flags and\n"
                "  size; %d runs of each, taken in turn after one unmeasured run of each\n",
                windowPlatformText().constData(), runs());
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("  skipped: no Xvfb, and this figure is taken on a real X server only\n");
        return false;
    }
    sample("program");
    sample("bare");
    std::vector<qint64> program;
    std::vector<qint64> bare;
    for (int i = 0; i < runs(); ++i) {
        for (auto [kind, into] : {std::pair{"program", &program}, std::pair{"bare", &bare}}) {
            const qint64 ns = sample(kind);
            if (ns < 0) {
                std::printf("  no figure: a %s run never showed its window\n", kind);
                return false;
            }
            into->push_back(ns);
        }
    }
    const auto best = [](const std::vector<qint64> &v) { return *std::min_element(v.begin(), v.end()) / 1e6; };
    std::printf("  nickname window (LoginForm): median %6.1f ms, best %6.1f ms\n", median(program) / 1e6, best(program));
    std::printf("  bare window:                 median %6.1f ms, best %6.1f ms\n", median(bare) / 1e6, best(bare));
    const double ratio = median(program) / median(bare);
    std::printf("  ratio of the medians: %.2f (goal <= 1.5: %s)\n", ratio,
                judge("start", "exec to window shown, nickname window / bare window", QByteArray::number(ratio, 'f', 2),
                      "<= 1.5", ratio <= 1.5));
    std::fflush(stdout);
    return true;
}
