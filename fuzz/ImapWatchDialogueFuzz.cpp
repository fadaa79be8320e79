// Plays an IMAP server that sends arbitrary bytes to a watch, cut into arbitrary chunks, with the
// owner asking for counts and renewals between them, and checks what the watch dialogue promises,
// aborting on the first property that does not hold:
//  - it only ever examines INBOX, counts with SEARCH, idles and logs out: no command that could
//    change a flag or read a message, EXAMINE first, DONE only after an IDLE;
//  - nothing is sent after LOGOUT, nor once it is over, and the stream's end makes it over;
//  - counts are never negative;
//  - without the owner's asks, how the bytes are cut changes nothing sent nor the last count.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

#include "fuzz/DialogueFuzzing.h"
#include "protocol/imap/ImapWatchDialogue.h"

namespace {

struct WatchRun {
    std::string sent;
    std::optional<int> lastCount;  // a newer count replaces one not yet taken
};

// `asks[i]` is what the owner asks after chunk i: 1 a count, 2 a renewal, anything else nothing.
WatchRun Play(bool esearch, const std::vector<std::string>& chunks, const std::vector<int>& asks) {
    ImapSession session{.capabilities = {"IMAP4REV1", "IDLE"}, .tagNumber = 2, .unseen = 3, .unread = {}};
    if (esearch) {
        session.capabilities.push_back("ESEARCH");
    }
    CImapWatchDialogue watch(session);
    WatchRun run{.sent = watch.Begin(), .lastCount = {}};
    // Each call to the watch, with what it sent.
    const auto take = [&](bool wasOver, const std::string& sent) {
        Require(!wasOver || sent.empty(), "nothing is sent once over");
        run.sent += sent;
        if (const auto count = watch.TakeCount()) {
            Require(count->unseen >= 0, "counts are never negative");
            run.lastCount = count->unseen;
        }
    };
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const bool overBefore = watch.IsOver();
        take(overBefore, watch.Receive(chunks[i]));
        const bool overBeforeAsking = watch.IsOver();
        const int ask = i < asks.size() ? asks[i] : 0;
        take(overBeforeAsking, ask == 1 ? watch.CountNow() : ask == 2 ? watch.Renew() : std::string());
    }
    watch.EndStream();
    Require(watch.IsOver(), "over once the stream ends");
    Require(watch.Receive("a9 OK\r\n+ \r\n").empty() && watch.CountNow().empty() && watch.Renew().empty() &&
                watch.LogOut().empty(),
            "nothing is sent after the end");
    return run;
}

void CheckCommands(const std::string& sent) {
    bool idling = false;
    bool loggedOut = false;
    bool first = true;
    for (std::size_t start = 0; start < sent.size();) {
        const std::size_t end = sent.find("\r\n", start);
        Require(end != std::string::npos, "every command ends its line");
        const std::string line = sent.substr(start, end - start);
        start = end + 2;
        Require(!loggedOut, "LOGOUT is the last thing sent");
        if (line == "DONE") {
            Require(idling, "DONE only ends an IDLE");
            idling = false;
            continue;
        }
        const std::string command = line.substr(line.find(' ') + 1);
        Require(!first || command == "EXAMINE INBOX", "INBOX is examined first");
        first = false;
        Require(command == "EXAMINE INBOX" || command == "SEARCH UNSEEN" ||
                    command == "SEARCH RETURN (COUNT) UNSEEN" || command == "IDLE" || command == "LOGOUT",
                "only EXAMINE, SEARCH, IDLE and LOGOUT");
        idling = command == "IDLE";
        loggedOut = command == "LOGOUT";
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool esearch = input.ConsumeBool();
    std::vector<std::size_t> cuts;
    std::vector<int> asks;
    const std::size_t cutCount = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < cutCount; ++i) {
        cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 600));
        asks.push_back(input.ConsumeIntegralInRange<int>(0, 3));
    }
    const std::string stream = input.ConsumeRemainingBytesAsString();
    const std::vector<std::string> chunks = CutInto(stream, cuts);
    const WatchRun asked = Play(esearch, chunks, asks);
    CheckCommands(asked.sent);
    const WatchRun whole = Play(esearch, {stream}, {});
    const WatchRun cut = Play(esearch, chunks, {});
    CheckCommands(whole.sent);
    Require(cut.sent == whole.sent, "chunking changes nothing sent");
    Require(cut.lastCount == whole.lastCount, "chunking changes no count");
    return 0;
}
