#pragma once
// What the probe benchmarks share: the median, and one probe timed as the program runs it.

#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/MailProber.h"

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the probe the server field names and waits for its report on a local event loop; returns
// milliseconds, from the call to the report.
inline double TimeProbe(const std::string& user, const std::string& password, const std::string& server,
                        const ProbeOptions& options, int expected) {
    QEventLoop loop;
    int result = 999;
    QElapsedTimer clock;
    clock.start();
    auto probe = StartMailProbe(
        user, password, server,
        [&](const ProbeOutcome& outcome) {
            result = outcome.result;
            loop.quit();
        },
        options);
    loop.exec();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (result != expected) {
        throw std::runtime_error(server + " gave " + std::to_string(result));
    }
    return ms;
}
