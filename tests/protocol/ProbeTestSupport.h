#pragma once
// Runs real probes to completion on the test's event loop.

#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <optional>
#include <string>

#include "protocol/pop3/Pop3Probe.h"
#include "tests/support/PostedEvents.h"

// Short limits so that the tests of silent servers stay quick, long enough for a slow sanitizer
// build against a real server.
inline ProbeOptions TestProbeOptions(const QList<QSslCertificate>& trusted = {}) {
    ProbeOptions options;
    options.connectTimeout = std::chrono::milliseconds(10000);
    options.idleTimeout = std::chrono::milliseconds(10000);
    options.extraCaCertificates = trusted;
    return options;
}

// Starts a probe: ProbeMailbox for POP3 alone, StartMailProbe for the protocol the form names.
using StartProbe = std::function<std::unique_ptr<CMailProbe>(
    const std::string&, const std::string&, const std::string&, CMailProbe::Done, const ProbeOptions&)>;

// Probes and waits for the report; checks that it came once and never from inside the call.
inline ProbeOutcome RunProbe(const std::string& user, const std::string& password, const std::string& server,
                             const ProbeOptions& options = TestProbeOptions(),
                             const StartProbe& start = ProbeMailbox) {
    std::optional<ProbeOutcome> outcome;
    int reports = 0;
    auto probe = start(
        user, password, server,
        [&](const ProbeOutcome& reported) {
            outcome = reported;
            ++reports;
        },
        options);
    EXPECT_EQ(reports, 0) << "reported from inside the call";
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 60000)) << "no report";
    EXPECT_TRUE(DeliverQueuedEvents());  // a second report queued meanwhile would have come
    EXPECT_EQ(reports, 1);
    return outcome.value_or(ProbeOutcome{.result = 999, .statLine = std::nullopt});
}
