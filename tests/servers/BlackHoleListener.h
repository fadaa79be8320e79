#pragma once

#include <QHostAddress>

// A listening socket whose accept queue is already full, so that the kernel drops every further
// connection request to it: a connect neither succeeds nor fails, as on a dead route, yet on
// loopback. Linux only: it relies on POSIX sockets and on Linux dropping SYNs at a full backlog.
class BlackHoleListener {
public:
    // On `address` (an IPv4 or IPv6 loopback address), on `port` or on a free one when 0. Throws
    // std::runtime_error when it cannot be set up.
    explicit BlackHoleListener(const QHostAddress& address, quint16 port = 0);
    ~BlackHoleListener();
    BlackHoleListener(const BlackHoleListener&) = delete;
    BlackHoleListener& operator=(const BlackHoleListener&) = delete;

    quint16 Port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1;  // the one connection the queue holds
    quint16 m_port = 0;
};
