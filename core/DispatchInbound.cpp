// Everything the server sends enters here: each raw read is logged, then each
// complete line runs through the rule table by itself, in the table's order.
#include "core/LobbySession.h"

#include "core/WireText.h"
#include "protocol/IrcLine.h"
#include "protocol/RegistrationLines.h"

void LobbySession::Socket_DataArrival(const QByteArray &raw, const QByteArrayList &lines)
{
    m_state.InboundLog += raw;
    m_state.InboundLog += "\r\n";
    for (const QByteArray &line : lines) {
        if (m_socket.closedByProgram())
            break;  // a rule closed the lobby while handling an earlier line
        HandleLine(line);
    }
}

void LobbySession::HandleLine(const QByteArray &line)
{
    const IrcLine msg = IrcLine::parse(line);
    if (!GetTavListRule(line) || !TavListRule(line))
        return;
    if (!RegistrationStep(msg) || !PingStep(msg))
        return;
    DispatchInbound(line, msg);
}

void LobbySession::DispatchInbound(const QByteArray &line, const IrcLine &msg)
{
    if (!DepartureRule(msg) || !ArrivalRule(msg))
        return;
    if (!LaunchRule(line))
        return;
    if (!TavChatRule(line) || !TavMsgRule(line) || !TavLnkRule(line))
        return;
    if (!HutExitOrAnnouncementRule(line) || !HutQueryRule(line))
        return;
    TavQuitRule(line);
}

bool LobbySession::RegistrationStep(const IrcLine &msg)
{
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

bool LobbySession::PingStep(const IrcLine &msg)
{
    if (msg.command == "PING")
        m_socket.sendFirst(RegistrationLines::pong(msg.param(0)));
    return true;
}

