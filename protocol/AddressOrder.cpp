#include "protocol/AddressOrder.h"

QList<QHostAddress> InterleaveFamilies(const QList<QHostAddress>& addresses) {
    if (addresses.isEmpty()) {
        return {};
    }
    const auto firstFamily = addresses.first().protocol();
    QList<QHostAddress> first;
    QList<QHostAddress> other;
    for (const QHostAddress& address : addresses) {
        (address.protocol() == firstFamily ? first : other).append(address);
    }
    QList<QHostAddress> order;
    for (qsizetype i = 0; i < first.size() || i < other.size(); ++i) {
        if (i < first.size()) {
            order.append(first[i]);
        }
        if (i < other.size()) {
            order.append(other[i]);
        }
    }
    return order;
}
