#pragma once

#include "session/LobbySession.h"

// A status of the session's kind for a window shown without a session.
struct StatusStub : LobbyStatus {
    TrafficLog in, out;
    QString caption() const override { return {}; }
    bool isIgnored(QByteArrayView) const override { return false; }
    const TrafficLog &inboundLog() const override { return in; }
    const TrafficLog &outboundLog() const override { return out; }
};

// How tests, the bench and the fuzzer reach a session's parts: its models read-only, its
// socket, its time (moved on rather than waited out), and lines fed as if read.
struct SessionProbe {
    // A test may probe what the program holds read-only.
    SessionProbe(const LobbySession &session) : s(const_cast<LobbySession &>(session)) {}
    LobbySession &s;

    LobbyMembers &members() const { return s.m_members; }
    HutModel &hut() const { return s.m_hut; }
    const ConnectionLife &life() const { return s.m_life; }
    LobbySocket &socket() const { return s.m_socket; }
    // Moves the session's time on by ms and runs what fell due, as its timer would.
    void skip(qint64 ms) const
    {
        s.m_clock.skip(ms);
        s.wake();
    }
    bool reconnectPending() const { return s.m_life.nextDue() >= 0; }
    bool wakePending() const { return s.m_wake.isActive(); }
    void feed(const QByteArray &raw, const std::vector<QByteArrayView> &lines) const { s.Socket_DataArrival(raw, lines); }
    void feed(const QByteArray &raw, const QByteArrayList &lines) const
    {
        s.Socket_DataArrival(raw, std::vector<QByteArrayView>(lines.begin(), lines.end()));
    }
};
