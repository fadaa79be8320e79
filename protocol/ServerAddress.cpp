#include "protocol/ServerAddress.h"

#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <charconv>

namespace {

constexpr std::string_view kSchemeSeparator = "://";

struct Scheme {
    std::string_view name;
    std::uint16_t defaultPort;
    ConnectionSecurity security;
    MailProtocol protocol;
};

constexpr Scheme kSchemes[] = {
    {"pop3s", ServerAddress::kPop3sPort, ConnectionSecurity::Tls, MailProtocol::Pop3},
    {"pop3+starttls", ServerAddress::kPop3Port, ConnectionSecurity::StartTls, MailProtocol::Pop3},
    {"imaps", ServerAddress::kImapsPort, ConnectionSecurity::Tls, MailProtocol::Imap},
    {"imap+starttls", ServerAddress::kImapPort, ConnectionSecurity::StartTls, MailProtocol::Imap},
    {"imap", ServerAddress::kImapPort, ConnectionSecurity::Plain, MailProtocol::Imap},
};

const Scheme* FindScheme(std::string_view name) {
    const QByteArrayView given(name.data(), static_cast<qsizetype>(name.size()));
    for (const Scheme& scheme : kSchemes) {
        if (given.compare(QByteArrayView(scheme.name.data(), static_cast<qsizetype>(scheme.name.size())),
                          Qt::CaseInsensitive) == 0) {
            return &scheme;
        }
    }
    return nullptr;
}

bool IsIpv6(std::string_view text) {
    QHostAddress address;
    return address.setAddress(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))) &&
           address.protocol() == QAbstractSocket::IPv6Protocol;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// "[IPv6]" or "[IPv6]:port".
std::optional<ServerAddress> ParseBracketed(std::string_view text, ServerAddress address) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || !IsIpv6(text.substr(1, close - 1))) {
        return std::nullopt;
    }
    address.host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (rest.empty()) {
        return address;
    }
    if (rest.front() != ':') {
        return std::nullopt;
    }
    const auto port = ParsePort(rest.substr(1));
    if (!port) {
        return std::nullopt;
    }
    address.port = *port;
    return address;
}

std::optional<ServerAddress> ParseHostAndPort(std::string_view text, ServerAddress address) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.front() == '[') {
        return ParseBracketed(text, address);
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || IsIpv6(text)) {
        address.host = std::string(text);
        return address;
    }
    if (colon == 0 || text.find(':', colon + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const auto port = ParsePort(text.substr(colon + 1));
    if (!port) {
        return std::nullopt;
    }
    address.host = std::string(text.substr(0, colon));
    address.port = *port;
    return address;
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view server) {
    const std::size_t separator = server.find(kSchemeSeparator);
    if (separator == std::string_view::npos) {
        return ParseHostAndPort(server, ServerAddress{});
    }
    const Scheme* scheme = FindScheme(server.substr(0, separator));
    if (scheme == nullptr) {
        return std::nullopt;
    }
    std::string_view rest = server.substr(separator + kSchemeSeparator.size());
    // A URL copied with its trailing slash still names the same server.
    if (rest.ends_with('/')) {
        rest.remove_suffix(1);
    }
    return ParseHostAndPort(rest, ServerAddress{.host = {},
                                                .port = scheme->defaultPort,
                                                .security = scheme->security,
                                                .protocol = scheme->protocol});
}
