// Up to 1,000 players in one lobby on two linked real servers, coming and going: how soon a
// newcomer's list is complete, what each arrival and departure costs the others and the servers,
// whom the servers drop, and how the players of a restarted server come back.
#include "ScaleRun.h"
#include "bench/Benchmarks.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace scale;

namespace {
struct Plan {
    RealIrcServer::Kind kind;
    int n;
    bool classics;
    int churnS;
};
}  // namespace

bool benchScale()
{
    std::printf("scale: a lobby on two linked servers of one kind (default flood settings, the lobby's channels), half the\n"
                "  players on each: sessions of this program, no window (a RecordingView on the %d sampled), and with\n"
                "  'classic' 5 %% ClassicPeers. They join at 20 a second, then come and go (2 joins, 2 quits a second:\n"
                "  Form_Unload or deletion, a random player), then the second server restarts and its players come back\n"
                "  by themselves. Before the churn three sampled players take places 1 to 3 of the hut, as the window's\n"
                "  clicks do; a newcomer knows the hut when its table shows exactly them. Per bystander (a session there\n"
                "  through the churn) and per event; bytes = what every client of this process read, by what caused the\n"
                "  line (a classic peer's announcements half to arrivals, half to departures). CPU: utime + stime of this\n"
                "  process and of the two servers (/proc/PID/stat).\n", Sampled);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;  // the servers started from here inherit it
        ::setrlimit(RLIMIT_NOFILE, &files);
        std::printf("  open files: %llu\n", static_cast<unsigned long long>(files.rlim_cur));
    }
    const std::vector<Plan> tinyPlans{{RealIrcServer::NgIrcd, 20, true, 3}, {RealIrcServer::InspIRCd, 20, true, 3}};
    const std::vector<Plan> fullPlans{
        {RealIrcServer::NgIrcd, 100, false, 60},   {RealIrcServer::NgIrcd, 300, false, 60},
        {RealIrcServer::NgIrcd, 1000, false, 60},  {RealIrcServer::InspIRCd, 100, false, 30},
        {RealIrcServer::InspIRCd, 300, false, 30}, {RealIrcServer::InspIRCd, 1000, false, 30},
        {RealIrcServer::NgIrcd, 100, true, 30},    {RealIrcServer::NgIrcd, 300, true, 30},
        {RealIrcServer::InspIRCd, 100, true, 30},  {RealIrcServer::InspIRCd, 300, true, 30},
    };
    const std::vector<Plan> &plans = tiny() ? tinyPlans : fullPlans;
    const QByteArray only = qgetenv("TAV_SCALE_ONLY");  // "2,5": only the plans numbered so, from 0
    std::vector<Figures> all;
    QElapsedTimer whole;
    whole.start();
    for (const Plan &plan : plans) {
        if (!only.isEmpty() && !only.split(',').contains(QByteArray::number(&plan - plans.data())))
            continue;
        if (!RealIrcServer::available(plan.kind)) {
            std::printf("  %s: not installed\n", kindName(plan.kind));
            continue;
        }
        all.push_back(LobbyRun(plan.kind, plan.n, plan.classics, plan.churnS).run());
    }
    std::printf("  the part took %.0f s\n", whole.elapsed() / 1e3);
    printSummary(all);
    judgeScale(all);
    std::fflush(stdout);
    // A run whose newcomers never learn the hut measures nothing there: the part did not work.
    return std::all_of(all.begin(), all.end(), [](const Figures &f) { return f.complete && f.hutLearned(); });
}
