// Everything the server sends enters here: each raw read is logged, then each complete
// line is classified once and runs through the rule table by itself, in the table's order.
// Each rule belongs to the model whose concern it is.
#include "session/LobbySession.h"

#include <array>
#include <bit>
#include <iterator>

struct InboundRules {
    using S = LobbySession;
    using L = InboundLine;
    // The lines a rule can act on (InboundLine's kinds and key bits); it is not asked about
    // the others, which it would let pass.
    using K = LobbyCommands::KeyPlaces;
    static constexpr quint32 Any = ~0u;
    struct Rule {
        const char *key;  // what the rule looks for, as a reader knows it
        quint32 lines;
        bool (*apply)(S &, const L &);  // false ends the handling of the line
    };

    // The rules in the order they are applied.
    static constexpr Rule table[] = {
        {"GETTAVLIST", L::key(K::GetTavList), [](S &s, const L &l) { return s.m_members.GetTavListRule(l, s.m_life.inLobby()); }},
        {"TAVLIST", L::key(K::TavList), [](S &s, const L &l) { return s.m_members.TavListRule(l, s.m_life.inLobby()); }},
        {"005", L::Numeric, [](S &s, const L &l) { return s.ServerFeatures(l); }},
        {"NOTICE AUTH / 001 / 462 / 432 / 433", Any, [](S &s, const L &l) { return s.m_life.RegistrationStep(l, l.nowMs); }},
        {"PING", L::Ping, [](S &s, const L &l) { return s.m_life.PingStep(l); }},
        {"own JOIN / KICK / refused JOIN / ERROR", L::Join | L::Kick | L::Numeric | L::Error, [](S &s, const L &l) { return s.m_life.ChannelStateRule(l); }},
        {"404 / 442 after a typed line", L::Numeric, [](S &s, const L &l) { return s.m_speakers.RefusedLineRule(l); }},
        {"404 after a hut claim", L::Numeric, [](S &s, const L &l) { return s.m_hut.RefusedClaimRule(l, l.nowMs); }},
        {"353 / JOIN / PART / KICK / QUIT / NICK: who is here", L::Names | L::Join | L::Part | L::Kick | L::Quit | L::Nick, [](S &s, const L &l) { return s.m_members.PresenceRule(l); }},
        {"own JOIN / NICK: who speaks", L::Join | L::Nick, [](S &s, const L &l) { return s.m_speakers.PresenceRule(l); }},
        {"353 / 324 / MODE: may this player speak", L::Names | L::Numeric | L::Mode, [](S &s, const L &l) { return s.m_speakers.ModeRule(l); }},
        {"own JOIN / PART / KICK / QUIT / NICK: who holds places", L::Join | L::Part | L::Kick | L::Quit | L::Nick, [](S &s, const L &l) { return s.m_hut.PresenceRule(l, l.nowMs); }},
        {"353 / 366 / 473 / JOIN / PART / KICK / INVITE of the hut channel", L::Names | L::Numeric | L::Join | L::Part | L::Kick | L::Invite, [](S &s, const L &l) { return s.m_hut.WitnessRule(l); }},
        {"QUIT", L::Quit, [](S &s, const L &l) { return s.m_members.DepartureRule(l, s.m_life.inLobby()); }},
        {"JOIN: presence", L::Join, [](S &s, const L &l) { return s.m_members.ArrivalRule(l, s.m_life.inLobby()); }},
        {"JOIN: hut place", L::Join, [](S &s, const L &l) { return s.m_hut.ArrivalRule(l, s.m_life.inLobby()); }},
        {"...TAVHUT1LAUNCH", L::key(K::TavHut1Launch), [](S &s, const L &l) { return s.m_hut.LaunchRule(l, l.nowMs); }},
        {"...TAVCHAT", L::key(K::TavChat), [](S &s, const L &l) { return s.m_speakers.TavChatRule(l, l.nowMs); }},
        {"...TAVCHAT: listed again", L::key(K::TavChat), [](S &s, const L &l) { return s.m_members.RelistRule(l); }},
        {"...TAVMSG", L::key(K::TavMsg), [](S &s, const L &l) { return s.m_speakers.TavMsgRule(l, l.nowMs); }},
        {"...TAVLNK", L::key(K::TavLnk), [](S &s, const L &l) { return s.m_speakers.TavLnkRule(l, l.nowMs); }},
        {"...TAVHUT1EXIT / ...TAVHUT1", L::key(K::TavHut1Exit) | L::key(K::TavHut1), [](S &s, const L &l) { return s.m_hut.HutExitOrAnnouncementRule(l, l.nowMs); }},
        {"GETHUTLIST", L::key(K::GetHutList), [](S &s, const L &l) { return s.m_hut.HutQueryRule(l, s.m_life.inLobby()); }},
        {"TAVQUIT", L::key(K::TavQuit), [](S &s, const L &l) { return s.m_members.TavQuitRule(l); }},
    };

    // The rules to ask about each kind of line and each key, one bit a rule, made when compiled:
    // a line is handed only to its own rules, in the table's order.
    static constexpr std::size_t Bits = std::countr_zero(quint32(L::Other)) + 1;  // Other is the last kind
    static_assert(std::size(table) <= 32 && Bits <= 32);
    static constexpr std::array<quint32, Bits> rulesFor = [] {
        std::array<quint32, Bits> rules{};
        for (std::size_t bit = 0; bit < Bits; ++bit)
            for (std::size_t i = 0; i < std::size(table); ++i)
                if (table[i].lines & (1u << bit))
                    rules[bit] |= 1u << i;
        return rules;
    }();
    static void DispatchInbound(S &s, const L &line)
    {
        quint32 ask = 0;
        for (quint32 bits = line.kinds; bits; bits &= bits - 1)
            ask |= rulesFor[std::countr_zero(bits)];
        for (; ask; ask &= ask - 1)
            if (!table[std::countr_zero(ask)].apply(s, line))
                return;
    }
};

void LobbySession::Socket_DataArrival(const QByteArray &raw, const std::vector<QByteArrayView> &lines)
{
    m_inboundLog += raw;
    m_inboundLog += "\r\n";
    const qint64 now = m_clock.now();
    for (QByteArrayView line : lines) {
        if (m_socket.closedByProgram())
            break;  // a rule closed the lobby while handling an earlier line
        InboundLine in(line, now);
        m_speakers.classify(in);
        InboundRules::DispatchInbound(*this, in);
    }
    m_members.settle(now);
    rearm();
}
