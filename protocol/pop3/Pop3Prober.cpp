#include "protocol/pop3/Pop3Prober.h"

void CPop3Prober::Start(const std::string& user, const std::string& password, const std::string& server,
                        Done done) {
    m_running.emplace_back();
    const auto slot = std::prev(m_running.end());
    *slot = ProbeMailbox(
        user, password, server,
        [this, slot, done = std::move(done)](const ProbeOutcome& outcome) {
            // The finished probe goes only after `done` has run, which may start the next one.
            const std::unique_ptr<CPop3Probe> finished = std::move(*slot);
            m_running.erase(slot);
            done(outcome);
        },
        m_options);
}
