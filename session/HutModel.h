#pragma once

#include "protocol/ServerInfo.h"
#include "session/Addressees.h"
#include "session/InboundLine.h"
#include "session/LobbyMembers.h"
#include "session/Outbox.h"
#include "session/Speakers.h"

#include <QByteArray>
#include <QByteArrayList>

#include <array>
#include <cstdint>

// The hut as this client sees it: who claims each place, this player's own place, the host
// this member chose and how long his launch still counts after his exit, the answers racing
// after this client's JOIN or Refresh, the claims on this player's place already told, and
// the hut-place answers owed to others. Time is passed in (nowMs), so every row of its
// table can be tried without a clock.
//
// A member follows exactly the host it saw in place 1 when it took its place; another
// player's line can end that choice (the host leaves, exits without launching, or his
// place turns out contested) but never put someone else in his stead. Answers to this
// client's own JOIN or Refresh come in any order, so while they are coming a second
// claim on a held place contests it instead of losing to whoever spoke first; outside
// that window the first claim this client saw holds.
//
// The server orders what no answer can: the hut's own channel (the lobby's name with
// "-hut"), made by whoever took place 1 first, has him as its operator. A newcomer asks
// the server who that is; a place-1 claim the witness contradicts counts for nothing.
// Without a witness (a classic host, or no hut channel) the rules above stand alone.
class HutModel {
public:
    static constexpr int Places = 4;      // slots 1 to 4 are shown
    static constexpr int TableSize = 11;  // slots 5 to 11 exist only in the table
    static constexpr qint64 ExitGraceMs = 10000;     // a launch still counts this long after the host's exit
    static constexpr qint64 AnswerWindowMs = 10000;  // answers to this client's JOIN or Refresh still racing
    static constexpr qint64 RestoreMs = 2000;        // the own place comes back after a refresh this often
    static inline const QString Moderated =
        QStringLiteral("The lobby is moderated and the channel does not hear you (an operator can give you a voice): ");

    // Why this member left the hut without being asked.
    enum class Why { None, HostLeftLobby, HostLeftHut, HostContested, HostIgnored, MadeFirst };
    struct Change {
        bool places = false;      // what places 1 to 4 show changed
        int left = 0;             // this member left this place: its exit goes out
        Why why = Why::None;
        QByteArray host;          // the host it followed
        QByteArray claimsMine;    // another player claims this player's own place
        bool joinedMine = false;  // another player took a place in this player's hut
        QByteArray seated;        // who took a place 2 to 4: the host lets him into the hut channel
    };
    enum class Join { Joined, AlreadyIn, Taken, NoHost, HostContested };

    HutModel(const ServerInfo &server, const LobbyMembers &members, const Speakers &speakers, Outbox &out,
             QByteArray nickname, QByteArray channel);

    // Slot n's holder at n - 1: of a contested place, the first claim seen.
    const std::array<QByteArray, TableSize> &HutSlots() const { return m_holders; }
    std::int16_t MyHutSlot() const { return m_mine; }
    const QByteArrayList &claimants(int slot) const { return m_claims[slot - 1]; }
    bool contested(int slot) const { return m_claims[slot - 1].size() > 1; }
    const QByteArray &host() const { return m_host; }
    bool isHost() const { return m_mine == 1; }
    const QByteArray &hutChannel() const { return m_hutChannel; }
    bool inHutChannel() const { return m_inHutChannel; }
    // The hut channel's operator by the server's last word (a lobby name; empty: nobody).
    const QByteArray &attestedHost() const { return m_attestedHost; }

    // The table: this player's own actions...
    Join join(int slot, qint64 nowMs);
    int leave();  // the place left (0: none); the exit carries it
    // Forgets places 1 to 4, this player's own entry too until restoreOwn(); the host
    // this member chose stays, and the answers race for a while.
    void refresh(qint64 nowMs);
    bool restoreOwn();  // true when the own place had to be put back
    void openAnswers(qint64 nowMs);  // the answers to this client's JOIN or Refresh are coming
    bool answersOpen(qint64 nowMs) const { return nowMs < m_answersUntil; }
    // ...and another player's lines, each already shown to be his, from a player in the channel.
    Change claim(QByteArrayView name, int slot, qint64 nowMs);
    Change exit(QByteArrayView name, int slot, qint64 nowMs);
    // Left the channel, changed nickname, or is ignored: his claims count no more.
    Change gone(QByteArrayView name, Why why = Why::HostLeftLobby);
    // A launch from this player starts this member's game.
    bool launchCounts(QByteArrayView name, qint64 nowMs) const;
    // The server names the hut channel's operator: place 1 is his alone, even over this player.
    Change attest(QByteArrayView name);

    // Timing: the host's exit grace running out, the own place coming back.
    qint64 nextDue() const;
    void due(qint64 nowMs);
    // Out of the channel: no place, nothing owed, nothing racing.
    void reset();

    // Hut-place answers owed, by IRC nickname, each once; they go before presence answers.
    bool owesAnswer() const { return !m_owed.isEmpty(); }
    bool owesAnswer(QByteArrayView ircNickname) const { return m_owed.contains(ircNickname); }
    void forgetAnswers() { m_owed.clear(), m_newcomers.clear(); }
    // Only to those who have already been told who this player is: a classic client reads the
    // name of a later line's TAVLIST from the first "|||" of what it reads at once.
    QByteArray nextAnswer(int maxTargets);
    // This player's place again, privately, for the classic clients just re-announced to.
    void reannounceForClassics();

    // The player's clicks.
    void Player_Click(int Index, bool inLobby, qint64 nowMs);
    void QuitButton_Click();
    void Refresh_Click(qint64 nowMs);
    void LaunchButton_Click();
    // The player ignores this name now: a member whose host he is leaves the hut.
    void ignored(QByteArrayView name);

    // Rules (the session's table points here); false ends the handling of the line.
    bool PresenceRule(const InboundLine &line, qint64 nowMs);
    bool ArrivalRule(const InboundLine &line, bool inLobby);
    bool LaunchRule(const InboundLine &line, qint64 nowMs);
    bool HutExitOrAnnouncementRule(const InboundLine &line, qint64 nowMs);
    bool HutQueryRule(const InboundLine &line, bool inLobby);
    // The channel refused (404) this player's claim just sent: nobody saw it, the place goes.
    bool RefusedClaimRule(const InboundLine &line, qint64 nowMs);
    // The hut channel: its names reply, this player's JOIN, PART or refusal there, an invitation.
    bool WitnessRule(const InboundLine &line);

private:
    bool is(QByteArrayView a, QByteArrayView b) const { return m_server.sameName(a, b); }
    bool isMyHost(QByteArrayView name) const { return !m_host.isEmpty() && is(name, m_host); }
    bool drop(QByteArrayView name, int slot);  // true when it was a claimant there
    void setHolder(int slot);
    Change leaveBecause(Why why);

    // Sends what a change asks for and tells the player what happened.
    void apply(const Change &change);
    void showPlaces();
    void sendHutExit(int slot, bool first = false);
    void owe(QByteArrayView ircNickname, bool inLobby);
    void forget(QByteArrayView ircNickname);
    void askWitness();
    void partHut();
    void invite(QByteArrayView name);

    const ServerInfo &m_server;
    const LobbyMembers &m_members;
    const Speakers &m_speakers;
    Outbox &m_out;
    QByteArray m_self;
    QByteArray m_channel;
    std::array<QByteArrayList, TableSize> m_claims;
    std::array<QByteArray, TableSize> m_holders;
    std::int16_t m_mine = 0;
    QByteArray m_host;                 // the host this member chose
    bool m_hostSettled = false;        // chosen before the answers now coming: not put in question by them
    qint64 m_hostExitedAt = -1;        // his exit came: his launch counts for the grace
    qint64 m_answersUntil = -1;
    qint64 m_restoreDue = -1;
    QByteArrayList m_toldClaims;       // who was told claiming this player's place, once each
    Addressees m_owed;                 // hut-place answers
    Addressees m_newcomers;            // of them, owed for a JOIN or a query (not classic re-announcements)
    QByteArray m_ownHost;              // where the server sees this player, from its own JOIN
    qint64 m_claimedAt = -1;           // this player's last claim went out: a 404 soon after refuses it
    QByteArray m_hutChannel;
    QByteArray m_attestedHost;
    QByteArray m_reading;              // the operator in the names reply still coming
    bool m_inHutChannel = false;       // the server put this player in it
    bool m_hutOperator = false;        // made it, and closed it to strangers
};
