#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The protocol the server is asked in.
enum class MailProtocol { Pop3, Imap };

// How the connection is protected: not at all, TLS from the first byte, or plain text upgraded to
// TLS before the login (POP3's STLS, IMAP's STARTTLS).
enum class ConnectionSecurity { Plain, Tls, StartTls };

// Where an account's server field says to connect, and how.
struct ServerAddress {
    static constexpr std::uint16_t kPop3Port = 110;
    static constexpr std::uint16_t kPop3sPort = 995;
    static constexpr std::uint16_t kImapPort = 143;
    static constexpr std::uint16_t kImapsPort = 993;

    std::string host;  // a name, or an IP address (IPv6 without its brackets)
    std::uint16_t port = kPop3Port;
    ConnectionSecurity security = ConnectionSecurity::Plain;
    MailProtocol protocol = MailProtocol::Pop3;

    bool operator==(const ServerAddress&) const = default;
};

// Accepted forms: "host" (plain POP3 on port 110), "host:port", "[IPv6]", "[IPv6]:port", a bare
// IPv6 address (all of it is the address; a port needs the brackets), and each of these after a
// scheme, which sets the protocol, the protection and the port unless one is given:
// "pop3s://" (POP3 over TLS, 995), "pop3+starttls://" (POP3 with STLS, 110), "imaps://" (IMAP over
// TLS, 993), "imap+starttls://" (IMAP with STARTTLS, 143), "imap://" (plain IMAP, 143). Any other
// scheme, an empty host or a port that is not 1..65535 gives nothing.
std::optional<ServerAddress> ParseServerAddress(std::string_view server);
