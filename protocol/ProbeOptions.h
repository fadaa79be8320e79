#pragma once

#include <QHostAddress>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <chrono>
#include <functional>

// The limits and trust a probe of any protocol works with.
struct ProbeOptions {
    // How long a probe waits before it gives up: for the connection (name look-up, every address,
    // the TLS handshake), then for each piece of the server's answer, and for the whole probe from
    // its start, so that a server that keeps sending a trickle never holds it for ever.
    static constexpr std::chrono::milliseconds kConnectTimeout{30000};
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};
    static constexpr std::chrono::milliseconds kProbeTimeout{60000};
    // How long one address may take to connect before the next is tried beside it (RFC 8305).
    static constexpr std::chrono::milliseconds kNextAddressDelay{250};

    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::milliseconds idleTimeout = kIdleTimeout;
    std::chrono::milliseconds probeTimeout = kProbeTimeout;
    std::chrono::milliseconds nextAddressDelay = kNextAddressDelay;
    // Keeps the connection of a successful IMAP check open as a watch where the server offers IDLE.
    // The idle limit is then also the limit for each answer on it.
    bool watch = false;
    // Trusted for TLS besides the system's certificate authorities.
    QList<QSslCertificate> extraCaCertificates;
    // Gives a name's addresses in the order to try them, in place of the system's resolver; for
    // tests that need a name with addresses of their choosing.
    std::function<QList<QHostAddress>(const QString& name)> resolve;
};
