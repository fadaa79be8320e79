#pragma once

#include <functional>
#include <string>

#include "protocol/ProbeOutcome.h"

// Starts asynchronous mailbox probes. The scheduler talks to this seam so its queueing can be
// tested on its own; the real one speaks POP3 or IMAP over the network.
class IProber {
public:
    using Done = std::function<void(const ProbeOutcome&)>;

    virtual ~IProber() = default;

    // Returns at once; `done` is called exactly once, later, from the event loop (never from
    // inside Start). Destroying the prober abandons running probes without calling `done`.
    virtual void Start(const std::string& user, const std::string& password, const std::string& server,
                       Done done) = 0;
};
