// Everything the server sends enters here: each raw read is logged, then each
// complete line runs through the rule table by itself, in the table's order.
#include "session/LobbySession.h"

#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <array>

namespace {
struct Rule {
    const char *key;  // what the rule looks for, as a reader knows it
    bool (LobbySession::*apply)(const InboundLine &);  // false ends the handling of the line
};

// The thirteen rules in the order they are applied. The first four run in the
// data-arrival handler, the rest in DispatchInbound.
const std::array<Rule, 13> InboundRules{{
    {"GETTAVLIST", &LobbySession::GetTavListRule},
    {"TAVLIST", &LobbySession::TavListRule},
    {"NOTICE AUTH / 001 / 462", &LobbySession::RegistrationStep},
    {"PING", &LobbySession::PingStep},
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
constexpr std::size_t FirstDispatched = 4;

bool applyRules(LobbySession &session, const InboundLine &line, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (!(session.*InboundRules[i].apply)(line))
            return false;
    return true;
}
}  // namespace

void LobbySession::Socket_DataArrival(const QByteArray &raw, const QByteArrayList &lines)
{
    m_state.InboundLog += raw;
    m_state.InboundLog += "\r\n";
    for (const QByteArray &line : lines) {
        if (m_socket.closedByProgram())
            break;  // a rule closed the lobby while handling an earlier line
        const InboundLine in{line, IrcLine::parse(line)};
        if (applyRules(*this, in, 0, FirstDispatched))
            DispatchInbound(in);
    }
}

void LobbySession::DispatchInbound(const InboundLine &line)
{
    applyRules(*this, line, FirstDispatched, InboundRules.size());
}

bool LobbySession::RegistrationStep(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.command == "NOTICE" && msg.param(0) == "AUTH") {
        sendRegistration();
        m_state.OutboundLog += "Re-Sent Nickname and User Details\r\n";
    } else if (msg.command == "001" || msg.command == "462") {
        JoinStep();
    } else if (msg.command == "432" || msg.command == "433") {
        // Shown instead of "Registering..." forever; nothing is retried.
        const QByteArray reason = msg.params.size() >= 3 ? msg.param(1) + ": " + msg.params.last()
                                                         : msg.params.value(msg.params.size() - 1);
        m_view->showRegistrationRefused(WireText::decode(reason));
    }
    return true;
}

bool LobbySession::PingStep(const InboundLine &line)
{
    if (line.irc.command == "PING")
        m_socket.sendFirst(RegistrationLines::pong(line.irc.param(0)));
    return true;
}
