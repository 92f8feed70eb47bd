// The hut of a scale run: three sampled players hold places 1 to 3 through the churn, and each
// newcomer is timed until its own table shows exactly them.
#include "SessionProbe.h"
#include "ScaleRun.h"
#include "bench/Benchmarks.h"

#include <cstdio>

namespace scale {
bool LobbyRun::knowsHut(const Player &p) const
{
    const HutModel &hut = SessionProbe{*p.session}.hut();
    for (int slot = 1; slot <= HutModel::Places; ++slot) {
        const QByteArray &holder = m_hut[slot - 1];
        if (holder.isEmpty() ? !hut.claimants(slot).isEmpty() : hut.claimants(slot) != QByteArrayList{holder})
            return false;
    }
    return true;
}

// As the window's clicks do: the host takes place 1, makes the hut channel and closes it; each
// member takes its place once it sees him there, and is in once he has invited it. Every step
// waits on what the sessions show, never on a clock.
void LobbyRun::formHut(qint64 limitMs)
{
    std::vector<Player *> seat;
    for (const auto &p : m_players)
        if (p->sampled && p->session && present(*p) && seat.size() < HolderCount)
            seat.push_back(p.get());
    if (seat.size() < HolderCount) {
        std::printf("    no hut: only %d sampled players in the lobby\n", int(seat.size()));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const auto hutOf = [](const Player *p) -> const HutModel & { return SessionProbe{*p->session}.hut(); };
    const QByteArray host = seat[0]->name;
    seat[0]->session->Player_Click(0);
    const bool hosting = runUntil([&] {
        return hutOf(seat[0]).inHutChannel() && hutOf(seat[0]).attestedHost() == host;  // its operator: it invites
    }, limitMs, 20);
    bool clicked[HolderCount] = {true};
    const bool seated = hosting && runUntil([&] {
        for (size_t k = 1; k < seat.size(); ++k)
            if (!clicked[k] && hutOf(seat[k]).HutSlots()[0] == host)
                clicked[k] = true, seat[k]->session->Player_Click(int(k));
        for (size_t k = 1; k < seat.size(); ++k)
            if (!clicked[k] || hutOf(seat[k]).MyHutSlot() != int(k) + 1 || !hutOf(seat[k]).inHutChannel())
                return false;
        return true;
    }, std::max<qint64>(1, limitMs - clock.elapsed()), 20);
    for (size_t k = 0; k < seat.size(); ++k)
        m_hut[k] = seat[k]->name, m_holders[k] = seat[k];
    // Everybody in the hut agrees before the newcomers come.
    const bool agreed = seated && runUntil([&] {
        return std::all_of(seat.begin(), seat.end(), [&](const Player *p) { return knowsHut(*p); });
    }, std::max<qint64>(1, limitMs - clock.elapsed()), 20);
    m_fig.hutFormed = agreed;
    m_fig.hutFormMs = clock.elapsed();
    m_fig.hutTruth = m_hut[0] + ", " + m_hut[1] + ", " + m_hut[2];
    if (!agreed)
        std::printf("    no hut after %.1f s: %s\n", clock.elapsed() / 1e3,
                    !hosting ? "the host did not make the hut channel" : !seated ? "a member did not get its place and the invitation"
                                                                         : "its players did not agree on it");
}

// The holders still agree (on the sampling tick, while newcomers are timed): a hut that fell
// apart is no newcomer's fault.
void LobbyRun::watchHut()
{
    if (!m_tracking || !m_fig.hutFormed || m_fig.hutBrokeNs >= 0)
        return;
    for (const Player *p : m_holders)
        if (!present(*p) || !knowsHut(*p)) {
            m_fig.hutBrokeNs = m_clock.nsecsElapsed() - m_churn0;
            m_fig.hutBrokeAt = m_phase;
            return;
        }
}
}  // namespace scale
