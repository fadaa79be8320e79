#pragma once
// For checks that something did not happen: they must look only once the program has got far
// enough for it to have happened.

#include <QTest>
#include <QTimer>
#include <memory>

// Returns whether every call and event queued before this call has been delivered (within
// `timeoutMs`): a marker queued now comes after all of them.
[[nodiscard]] inline bool DeliverQueuedEvents(int timeoutMs = 10000) {
    const auto reached = std::make_shared<bool>(false);
    QTimer::singleShot(0, [reached] { *reached = true; });
    return QTest::qWaitFor([&reached] { return *reached; }, timeoutMs);
}
