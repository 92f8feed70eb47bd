#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <array>
#include <cstdint>

// The hut as this client sees it: who claims each place, this player's own place, and
// the host this member chose. Knows no socket and no window: every call says what
// changed, and the session sends the lines and shows the places.
//
// A member follows exactly the host it saw in place 1 when it took its place; another
// player's line can end that choice (the host leaves, exits without launching, or his
// place turns out contested) but never put someone else in his stead. Answers to this
// client's own JOIN or Refresh come in any order, so while they are coming a second
// claim on a held place contests it instead of losing to whoever spoke first; outside
// that window the first claim this client saw holds.
class HutModel {
public:
    static constexpr int Places = 4;      // slots 1 to 4 are shown
    static constexpr int TableSize = 11;  // slots 5 to 11 exist only in the table

    // Why this member left the hut without being asked.
    enum class Why { None, HostLeftLobby, HostLeftHut, HostContested, HostIgnored };
    struct Change {
        bool places = false;      // what places 1 to 4 show changed
        int left = 0;             // this member left this place: its exit goes out
        Why why = Why::None;
        QByteArray host;          // the host it followed
        QByteArray claimsMine;    // another player claims this player's own place
        bool hostExited = false;  // the host this member follows exited place 1: a launch may follow
    };
    enum class Join { Joined, AlreadyIn, Taken, NoHost, HostContested };

    HutModel() = default;
    explicit HutModel(QByteArray self) : m_self(std::move(self)) {}

    // Slot n's holder at n - 1: of a contested place, the first claim seen.
    const std::array<QByteArray, TableSize> &HutSlots() const { return m_holders; }
    std::int16_t MyHutSlot() const { return m_mine; }
    const QByteArrayList &claimants(int slot) const { return m_claims[slot - 1]; }
    bool contested(int slot) const { return m_claims[slot - 1].size() > 1; }
    const QByteArray &host() const { return m_host; }
    bool isHost() const { return m_mine == 1; }

    // This player's own actions.
    Join join(int slot);
    int leave();  // the place left (0: none); the exit carries it
    // Forgets places 1 to 4, this player's own entry too until restoreOwn(); the host
    // this member chose stays, and the answers race for a while.
    void refresh();
    bool restoreOwn();  // true when the own place had to be put back

    // While the answers to this client's JOIN or Refresh are coming.
    void openAnswers();
    void closeAnswers() { m_answersOpen = false; }
    bool answersOpen() const { return m_answersOpen; }

    // Another player's lines, each already shown to be his, from a player in the channel.
    Change claim(QByteArrayView name, int slot);
    Change exit(QByteArrayView name, int slot);
    // Left the channel, changed nickname, or is ignored: his claims count no more.
    Change gone(QByteArrayView name, Why why = Why::HostLeftLobby);
    // The grace after the host's exit ran out without a launch.
    Change hostExitGraceOver();
    // A launch from this player starts this member's game.
    bool launchCounts(QByteArrayView name) const;

private:
    bool is(QByteArrayView a, QByteArrayView b) const;
    bool isMyHost(QByteArrayView name) const { return !m_host.isEmpty() && is(name, m_host); }
    bool drop(QByteArrayView name, int slot);  // true when it was a claimant there
    void setHolder(int slot);
    Change leaveBecause(Why why);

    QByteArray m_self;
    std::array<QByteArrayList, TableSize> m_claims;
    std::array<QByteArray, TableSize> m_holders;
    std::int16_t m_mine = 0;
    QByteArray m_host;             // the host this member chose
    bool m_hostSettled = false;    // chosen before the answers now coming: not put in question by them
    bool m_hostExited = false;     // his exit came; his launch counts for the grace
    bool m_answersOpen = false;
};
