#pragma once

#include "session/FoldedName.h"

#include <QByteArray>
#include <QByteArrayList>

#include <list>
#include <utility>
#include <string>
#include <unordered_map>

// Who is in the lobby: the players in the channel by the server's word (the names list,
// JOIN, PART, KICK, QUIT, NICK), in order of arrival, and what the lobby's own lines add:
// who asked not to be listed (TAVQUIT), and who follows the classic rules, announcing
// itself in the channel whenever others come and go. The listed ones are the user list.
// Also the answers this player owes those who came or asked. Costs the same at 10,000
// players as at 10: every look-up of a member goes through a hash.
class LobbyMembers {
public:
    // Longer than any IRC server takes as a nickname: such a name is nobody.
    static constexpr qsizetype MaxNameBytes = 64;

    // The server reports a player in the channel. False when already here.
    bool arrived(QByteArrayView name);
    // The player left the channel (or took another nickname). False when not here.
    bool left(QByteArrayView name);
    void clear();
    bool contains(QByteArrayView name) const { return find(name) != m_index.end(); }

    // A present player announced itself (TAVLIST). In the channel, anything but a player's
    // first announcement there (a newcomer's own, or one racing this player's join) is the
    // classic rules at work: true when that is news.
    bool announced(QByteArrayView name, bool inChannel);
    void relist(QByteArrayView name);  // he spoke: listed again
    void unlist(QByteArrayView name);  // TAVQUIT: not listed until he announces himself again
    bool isListed(QByteArrayView name) const;
    bool classicPresent() const { return m_classics > 0; }

    // The user list: the listed players in order of arrival.
    QByteArrayList rows() const;
    QByteArray text() const;  // every listed name followed by CR LF
    bool isEmpty() const { return m_listed == 0; }
    qsizetype size() const { return qsizetype(m_order.size()); }
    // Grows with every change of the user list, so a rebuild can tell there is something new.
    quint64 changes() const { return m_changes; }

    // Answers owed, by IRC nickname (lobby players or not): this player's presence line, its
    // hut place. Each nickname is owed each kind once; hut places go first.
    enum Answer { Presence, HutPlace };
    void owe(Answer kind, QByteArrayView ircNickname);
    bool owesAnswer() const { return !m_owed[Presence].isEmpty() || !m_owed[HutPlace].isEmpty(); }
    // The next answer owed, to at most maxTargets of its nicknames joined by commas (none: empty).
    std::pair<Answer, QByteArray> nextAnswer(int maxTargets);
    void forgetAnswers(QByteArrayView ircNickname);  // he left: nobody to tell
    void dropAnswers(Answer kind) { m_owed[kind].clear(); }

private:
    struct Member {
        QByteArray name;
        bool listed = true;
        bool awaitingArrival = true;  // its first announcement in the channel not yet seen
        bool classic = false;
    };
    using Order = std::list<Member>;
    using Index = std::unordered_map<std::string, Order::iterator, FoldedName::Hash, FoldedName::Equal>;
    Index::const_iterator find(QByteArrayView name) const
    {
        return m_index.find(std::string_view(name.data(), size_t(name.size())));
    }
    void setListed(Member &m, bool listed);

    Order m_order;
    Index m_index;
    qsizetype m_listed = 0;
    qsizetype m_classics = 0;
    quint64 m_changes = 0;
    QByteArrayList m_owed[2];  // by Answer
};
