#pragma once

#include <QHostAddress>
#include <QList>

// The order in which a name's addresses are raced: the resolver's order, but with IPv6 and IPv4
// taken in turn from the family of the first address on (RFC 8305, section 4), so that a host
// whose addresses of one family are all unreachable costs one attempt's delay, not one per address.
QList<QHostAddress> InterleaveFamilies(const QList<QHostAddress>& addresses);
