#include "tests/servers/BlackHoleListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

socklen_t FillAddress(const QHostAddress& address, quint16 port, sockaddr_storage& storage) {
    std::memset(&storage, 0, sizeof storage);
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, &bytes, sizeof v6.sin6_addr);
        return sizeof v6;
    }
    auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    v4.sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof v4;
}

}  // namespace

BlackHoleListener::BlackHoleListener(const QHostAddress& address, quint16 port) {
    sockaddr_storage storage{};
    socklen_t length = FillAddress(address, port, storage);
    auto* raw = reinterpret_cast<sockaddr*>(&storage);
    m_listener = ::socket(storage.ss_family, SOCK_STREAM, 0);
    // With a backlog of 0 the queue holds one connection; the filler takes it.
    if (m_listener < 0 || ::bind(m_listener, raw, length) != 0 || ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, raw, &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("black hole cannot listen on " + address.toString().toStdString());
    }
    m_port = ntohs(storage.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(storage).sin6_port
                                                 : reinterpret_cast<sockaddr_in&>(storage).sin_port);
    m_filler = ::socket(storage.ss_family, SOCK_STREAM, 0);
    if (m_filler < 0 || ::connect(m_filler, raw, length) != 0) {
        ::close(m_filler);
        ::close(m_listener);
        throw std::runtime_error("black hole cannot fill its queue");
    }
}

BlackHoleListener::~BlackHoleListener() {
    ::close(m_filler);
    ::close(m_listener);
}
