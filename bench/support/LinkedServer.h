#pragma once

#include "RealIrcServer.h"

// One of two real servers linked to each other, from the lobby's own config and the link files of
// server/. a (irc.tavarine.local) waits for b (irc2.tavarine.local) to dial, at start and while
// the link is down (ngircd can crash when both dial). When one stops, the other at once reports
// each of its users as "QUIT :<own server> <lost server>", and their JOINs once linked again:
// after a restart of b in 1 s (ngircd) or 4 s (InspIRCd), of a in 8 to 17 s (ngircd) or 3 s
// (InspIRCd).
class LinkedServer : public RealIrcServer {
public:
    // clientsPerAddress: InspIRCd's clients per address (20 as shipped); ngircd here takes any
    // number from one address.
    static bool startPair(LinkedServer &a, LinkedServer &b, const Options &options, int clientsPerAddress);
    bool waitLinked(int ms = 30000);  // until LINKS here names the peer
    qint64 processId() const { return m_process.processId(); }  // the server's own, for its CPU

protected:
    bool adapt(QString &conf, const Options &options) override;

private:
    static QString serverName(bool second) { return second ? "irc2.tavarine.local" : "irc.tavarine.local"; }
    LinkedServer *m_peer = nullptr;
    bool m_dials = false;
    quint16 m_linkPort = 0;  // InspIRCd takes server links on a port of their own
    int m_clientsPerAddress = 20;
};
