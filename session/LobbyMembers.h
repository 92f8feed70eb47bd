#pragma once

#include "protocol/ServerInfo.h"
#include "session/Addressees.h"
#include "session/FoldedName.h"
#include "session/InboundLine.h"
#include "session/Outbox.h"

#include <QByteArray>
#include <QByteArrayList>

#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>

// Who is in the lobby: the players in the channel by the server's word (the names list,
// JOIN, PART, KICK, QUIT, NICK), in order of arrival, and what the lobby's own lines add:
// who asked not to be listed (TAVQUIT), and who follows the classic rules, announcing
// itself in the channel whenever somebody quits. The listed ones are the user list,
// shown at most ListRedrawMs after a change. Also the presence answers this player owes
// those who came or asked. Costs the same at 10,000 players as at 10: every look-up of a
// member goes through a hash.
class LobbyMembers {
public:
    // Longer than any IRC server takes as a nickname: such a name is nobody.
    static constexpr qsizetype MaxNameBytes = 64;
    // A change of the user list shows this soon, several changes in one drawing.
    static constexpr qint64 ListRedrawMs = 500;
    // Quits this close together share one re-announcement for the classic clients.
    static constexpr qint64 ReannounceMs = 2000;
    // A classic client that has not announced itself this long after a quit is one no more.
    static constexpr qint64 ClassicGraceMs = 10000;

    LobbyMembers(const ServerInfo &server, Outbox &out, QByteArray nickname, QByteArray channel);

    // The server reports a player in the channel. False when already here.
    bool arrived(QByteArrayView name);
    // The player left the channel (or took another nickname). False when not here.
    bool left(QByteArrayView name);
    void clear();
    bool contains(QByteArrayView name) const { return find(name) != m_index.end(); }

    // A present player announced itself (TAVLIST). In the channel soon after a quit, anything
    // but a player's first announcement there (a newcomer's own, or one racing this player's
    // join) is the classic rules at work: the player is classic, and owed this one's.
    void announced(QByteArrayView name, bool inChannel);
    void relist(QByteArrayView name);  // he spoke: listed again
    void unlist(QByteArrayView name);  // TAVQUIT: not listed until he announces himself again
    bool isListed(QByteArrayView name) const;
    bool classicPresent() const { return m_classics > 0; }
    bool isClassic(QByteArrayView name) const;

    // The user list: the listed players in order of arrival.
    QByteArrayList rows() const;
    QByteArray text() const;  // every listed name followed by CR LF
    bool isEmpty() const { return m_listed == 0; }
    qsizetype size() const { return qsizetype(m_order.size()); }

    // Marks a row (ignored, and how) at each drawing.
    using RowMark = std::function<void(LobbyView::UserRow &)>;
    void setRowMark(RowMark mark) { m_rowMark = std::move(mark); }
    // Draw the list now, whatever changed (a row's mark did).
    void redrawNow();
    // Called when this player re-announces itself to the classic clients reannouncedTo() names
    // (IRC nicknames), as answers owed: its hut place goes to them too.
    void setOnReannounce(std::function<void()> also) { m_onReannounce = std::move(also); }
    const QByteArrayList &reannouncedTo() const { return m_reannouncedTo; }

    // Presence answers owed, by IRC nickname (lobby players or not), each once.
    void owe(QByteArrayView ircNickname);
    bool owesAnswer() const { return !m_owed.isEmpty(); }
    // The next answer owed, to at most maxTargets of its nicknames joined by commas (none: empty).
    // Those the predicate picks first (the newcomers a hut answer waits for).
    template <typename First>
    QByteArray nextAnswer(int maxTargets, First first)
    {
        m_owed.putFirst(first);
        return nextAnswer(maxTargets);
    }
    QByteArray nextAnswer(int maxTargets);
    bool owesAnswer(QByteArrayView ircNickname) const { return m_owed.contains(ircNickname); }

    // Timing, with the time passed in: the list's redraw, the classic clients' re-announcement
    // and the end of their grace after a quit.
    qint64 nextDue() const;
    void due(qint64 nowMs);
    // After a batch of lines: the list is drawn ListRedrawMs after its first change; the
    // batch's quits and classic announcements are timed.
    void settle(qint64 nowMs);
    void refold();
    // Out of the channel: nobody is listed, nothing is owed.
    void reset();

    void Command2_Click(bool inLobby);

    // Rules (the session's table points here); false ends the handling of the line.
    bool PresenceRule(const InboundLine &line);
    bool GetTavListRule(const InboundLine &line, bool inLobby);
    bool TavListRule(const InboundLine &line, bool inLobby);
    bool DepartureRule(const InboundLine &line, bool inLobby);
    bool ArrivalRule(const InboundLine &line, bool inLobby);
    bool RelistRule(const InboundLine &line);
    bool TavQuitRule(const InboundLine &line);

private:
    struct Member {
        QByteArray name;
        bool listed = true;
        bool awaitingArrival = true;  // its first announcement in the channel not yet seen
        bool classic = false;
        bool owed = false;          // announced itself after a quit: served at the next re-announcement
        qint64 quitUnanswered = -1;  // classic, and silent since a quit at this time (Unstamped: this batch)
    };
    static constexpr qint64 Unstamped = -2;
    using Order = std::list<Member>;
    using Index = std::unordered_map<std::string, Order::iterator, FoldedName::Hash, FoldedName::Equal>;
    Index::const_iterator find(QByteArrayView name) const { return m_index.find(FoldedName::view(name)); }
    void setListed(Member &m, bool listed);
    bool isMe(QByteArrayView ircNickname) const { return m_server.sameName(ircNickname, m_ircNickname); }
    bool said(const InboundLine &line, QByteArrayView name, bool privateToo) const;
    void playerArrived(QByteArrayView ircNickname);
    void playerLeft(QByteArrayView ircNickname);
    void answer(QByteArrayView ircNickname, bool inLobby);
    void reannounceForClassics();
    void checkClassics(qint64 nowMs);

    const ServerInfo &m_server;
    Outbox &m_out;
    QByteArray m_nickname;
    QByteArray m_channel;
    QByteArray m_ircNickname;
    Order m_order;
    Index m_index;
    qsizetype m_listed = 0;
    qsizetype m_classics = 0;
    quint64 m_changes = 0;  // grows with every change of the user list
    quint64 m_shown = 0;    // m_changes when the list box last showed it
    qint64 m_redrawDue = -1;
    bool m_quitInBatch = false;
    bool m_owedInBatch = false;
    bool m_quitOpen = false;         // a quit within ClassicGraceMs: channel announcements are classic
    qint64 m_quitOpenUntil = -1;
    qint64 m_firstUnserved = -1;     // the first quit since the last re-announcement
    qint64 m_lastReannounce = -1;
    qint64 m_reannounceDue = -1;
    qint64 m_checkDue = -1;
    QByteArrayList m_reannouncedTo;
    RowMark m_rowMark = [](LobbyView::UserRow &) {};
    std::function<void()> m_onReannounce = [] {};
    Addressees m_owed;
};
