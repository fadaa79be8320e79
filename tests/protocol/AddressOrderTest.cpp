#include <gtest/gtest.h>

#include "protocol/AddressOrder.h"

namespace {

QList<QHostAddress> Addresses(std::initializer_list<const char*> texts) {
    QList<QHostAddress> list;
    for (const char* text : texts) {
        list.append(QHostAddress(QString::fromLatin1(text)));
    }
    return list;
}

TEST(AddressOrder, FamiliesTakeTurnsFromTheFirstAddressOnAndKeepTheirOwnOrder) {
    EXPECT_EQ(InterleaveFamilies(
                  Addresses({"2001:db8::1", "2001:db8::2", "2001:db8::3", "192.0.2.1", "192.0.2.2"})),
              Addresses({"2001:db8::1", "192.0.2.1", "2001:db8::2", "192.0.2.2", "2001:db8::3"}));
    EXPECT_EQ(InterleaveFamilies(Addresses({"192.0.2.1", "192.0.2.2", "2001:db8::1"})),
              Addresses({"192.0.2.1", "2001:db8::1", "192.0.2.2"}));
    EXPECT_EQ(InterleaveFamilies(Addresses({"192.0.2.2", "192.0.2.1"})),
              Addresses({"192.0.2.2", "192.0.2.1"}));
    EXPECT_TRUE(InterleaveFamilies({}).isEmpty());
}

}  // namespace
