#pragma once

#include <QString>
#include <optional>

// Where the lobby dials: a host, a port, and whether the link is TLS. Written as
// HOST[:PORT] or irc://HOST[:PORT] (plain, port 6664 unless given) or
// ircs://HOST[:PORT] (TLS, 6697); an IPv6 address goes in brackets: [::1]:6697.
struct ServerAddress {
    static constexpr quint16 PlainPort = 6664;
    static constexpr quint16 TlsPort = 6697;

    QString host;  // an IPv6 address without its brackets
    quint16 port = PlainPort;
    bool tls = false;

    // The address, or nothing and in *why a reason a person understands.
    static std::optional<ServerAddress> parse(QStringView text, QString *why = nullptr);
    // Parses back to the same address; a default port is left out.
    QString toString() const;
    // host:port, the same for both schemes' spellings: what a pinned certificate belongs to.
    QString hostAndPort() const;
    bool isIPv6Literal() const { return host.contains(u':'); }
    friend bool operator==(const ServerAddress &, const ServerAddress &) = default;
};
