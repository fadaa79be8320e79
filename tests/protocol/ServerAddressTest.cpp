#include <gtest/gtest.h>

#include "protocol/ServerAddress.h"

namespace {

ServerAddress Plain(const std::string& host, std::uint16_t port = 110) {
    return {host, port, ConnectionSecurity::Plain};
}
ServerAddress Tls(const std::string& host, std::uint16_t port = 995) {
    return {host, port, ConnectionSecurity::Tls};
}
ServerAddress StartTls(const std::string& host, std::uint16_t port = 110) {
    return {host, port, ConnectionSecurity::StartTls};
}
ServerAddress Imap(const std::string& host, std::uint16_t port, ConnectionSecurity security) {
    return {host, port, security, MailProtocol::Imap};
}

TEST(ServerAddress, ABareHostIsPlainPop3OnPort110) {
    EXPECT_EQ(ParseServerAddress("mail.example.org"), Plain("mail.example.org"));
    EXPECT_EQ(ParseServerAddress("192.0.2.7"), Plain("192.0.2.7"));
    // Names are looked up as written, whatever they hold.
    EXPECT_EQ(ParseServerAddress("popsrv "), Plain("popsrv "));
    EXPECT_EQ(ParseServerAddress("\x83\x81\x81[\x83\x8b"), Plain("\x83\x81\x81[\x83\x8b"));
}

TEST(ServerAddress, TakesAPortAfterAColon) {
    EXPECT_EQ(ParseServerAddress("mail.example.org:1110"), Plain("mail.example.org", 1110));
    EXPECT_EQ(ParseServerAddress("127.0.0.1:65535"), Plain("127.0.0.1", 65535));
    EXPECT_EQ(ParseServerAddress("h:1"), Plain("h", 1));
}

TEST(ServerAddress, TakesIpv6WithOrWithoutBrackets) {
    EXPECT_EQ(ParseServerAddress("[::1]:2110"), Plain("::1", 2110));
    EXPECT_EQ(ParseServerAddress("[::1]"), Plain("::1"));
    EXPECT_EQ(ParseServerAddress("2001:db8::25"), Plain("2001:db8::25"));
    // Without brackets every colon belongs to the address.
    EXPECT_EQ(ParseServerAddress("fe80::1:110"), Plain("fe80::1:110"));
}

TEST(ServerAddress, Pop3sMeansTlsOnPort995UnlessGiven) {
    EXPECT_EQ(ParseServerAddress("pop3s://mail.example.org"), Tls("mail.example.org"));
    EXPECT_EQ(ParseServerAddress("pop3s://127.0.0.1:2995"), Tls("127.0.0.1", 2995));
    EXPECT_EQ(ParseServerAddress("POP3S://[::1]:2995/"), Tls("::1", 2995));
    EXPECT_EQ(ParseServerAddress("pop3s://::1"), Tls("::1"));
}

TEST(ServerAddress, Pop3StarttlsMeansStlsOnPort110UnlessGiven) {
    EXPECT_EQ(ParseServerAddress("pop3+starttls://mail.example.org"), StartTls("mail.example.org"));
    EXPECT_EQ(ParseServerAddress("POP3+StartTLS://[::1]:2110/"), StartTls("::1", 2110));
    EXPECT_FALSE(ParseServerAddress("pop3+starttls://").has_value());
    EXPECT_FALSE(ParseServerAddress("pop3+tls://h").has_value());
}

TEST(ServerAddress, ImapFormsNameTheirProtectionAndDefaultPort) {
    using enum ConnectionSecurity;
    EXPECT_EQ(ParseServerAddress("imaps://imap.gmail.com"), Imap("imap.gmail.com", 993, Tls));
    EXPECT_EQ(ParseServerAddress("IMAPS://[::1]:1993/"), Imap("::1", 1993, Tls));
    EXPECT_EQ(ParseServerAddress("imap+starttls://mail.example.org"),
              Imap("mail.example.org", 143, StartTls));
    EXPECT_EQ(ParseServerAddress("imap://localhost"), Imap("localhost", 143, Plain));
    EXPECT_EQ(ParseServerAddress("Imap://::1"), Imap("::1", 143, Plain));
}

TEST(ServerAddress, RefusesOtherSchemesBadPortsAndEmptyHosts) {
    for (const char* bad : {"",
                            "pop3://mail.example.org",
                            "imap4://h",
                            "http://h:110",
                            "://h",
                            "pop3s://",
                            "pop3s://:995",
                            "h:",
                            ":110",
                            "h:0",
                            "h:65536",
                            "h:99999999999",
                            "h:-1",
                            "h:+5",
                            "h:12x",
                            "h: 110",
                            "h:1:2",
                            "[::1",
                            "[::1]x",
                            "[::1]:",
                            "[h]:110",
                            "[]:110",
                            "[::1]:0",
                            "pop3s://h:70000"}) {
        EXPECT_FALSE(ParseServerAddress(bad).has_value()) << '"' << bad << '"';
    }
}

}  // namespace
