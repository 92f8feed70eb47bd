// Everything the server sends enters here: each raw read is logged, then each
// complete line runs through the rule table by itself, in the table's order.
#include "session/LobbySession.h"

#include <array>

namespace {
struct Rule {
    const char *key;  // what the rule looks for, as a reader knows it
    bool (LobbySession::*apply)(const InboundLine &);  // false ends the handling of the line
};

// The rules in the order they are applied. The first five run in the
// data-arrival handler, the rest in DispatchInbound.
constexpr std::array<Rule, 15> InboundRules{{
    {"GETTAVLIST", &LobbySession::GetTavListRule},
    {"TAVLIST", &LobbySession::TavListRule},
    {"NOTICE AUTH / 001 / 462 / 432 / 433", &LobbySession::RegistrationStep},
    {"PING", &LobbySession::PingStep},
    {"own JOIN / KICK / refused JOIN / 404 / ERROR", &LobbySession::ChannelStateRule},
    {"353 / JOIN / PART / KICK / QUIT / NICK", &LobbySession::PresenceRule},
    {"QUIT", &LobbySession::DepartureRule},
    {"JOIN", &LobbySession::ArrivalRule},
    {"...TAVHUT1LAUNCH", &LobbySession::LaunchRule},
    {"...TAVCHAT", &LobbySession::TavChatRule},
    {"...TAVMSG", &LobbySession::TavMsgRule},
    {"...TAVLNK", &LobbySession::TavLnkRule},
    {"...TAVHUT1EXIT / ...TAVHUT1", &LobbySession::HutExitOrAnnouncementRule},
    {"GETHUTLIST", &LobbySession::HutQueryRule},
    {"TAVQUIT", &LobbySession::TavQuitRule},
}};
constexpr std::size_t FirstDispatched = 5;

// With the bounds fixed when compiled, the loop unrolls into plain calls the
// processor predicts, instead of one call through a pointer that changes each time.
template <std::size_t From, std::size_t To>
bool applyRules(LobbySession &session, const InboundLine &line)
{
#pragma GCC unroll 16
    for (std::size_t i = From; i < To; ++i)
        if (!(session.*InboundRules[i].apply)(line))
            return false;
    return true;
}
}  // namespace

void LobbySession::Socket_DataArrival(const QByteArray &raw, const QList<QByteArrayView> &lines)
{
    m_state.InboundLog += raw;
    m_state.InboundLog += "\r\n";
    for (QByteArrayView line : lines) {
        if (m_socket.closedByProgram())
            break;  // a rule closed the lobby while handling an earlier line
        const InboundLine in{line, IrcLine::parse(line), LobbyCommands::KeyPlaces::find(line)};
        if (applyRules<0, FirstDispatched>(*this, in))
            DispatchInbound(in);
    }
    listChanged();
}

void LobbySession::Socket_DataArrival(const QByteArray &raw, const QByteArrayList &lines)
{
    Socket_DataArrival(raw, QList<QByteArrayView>(lines.begin(), lines.end()));
}

void LobbySession::DispatchInbound(const InboundLine &line)
{
    applyRules<FirstDispatched, InboundRules.size()>(*this, line);
}
