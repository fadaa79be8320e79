#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the connection is protected: not at all, TLS from the first byte, or plain POP3 upgraded
// to TLS with STLS before the login.
enum class Pop3Security { Plain, Tls, StartTls };

// Where an account's server field says to connect, and how.
struct ServerAddress {
    static constexpr std::uint16_t kPop3Port = 110;
    static constexpr std::uint16_t kPop3sPort = 995;

    std::string host;  // a name, or an IP address (IPv6 without its brackets)
    std::uint16_t port = kPop3Port;
    Pop3Security security = Pop3Security::Plain;

    bool operator==(const ServerAddress&) const = default;
};

// Accepted forms: "host" (plain POP3 on port 110), "host:port", "[IPv6]", "[IPv6]:port", a bare
// IPv6 address (all of it is the address; a port needs the brackets), and each of these after
// "pop3s://" (TLS, port 995 unless given) or "pop3+starttls://" (STLS, port 110 unless given). Any
// other scheme, an empty host or a port that is not 1..65535 gives nothing.
std::optional<ServerAddress> ParseServerAddress(std::string_view server);
