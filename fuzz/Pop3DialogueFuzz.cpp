// Plays a POP3 server that sends arbitrary bytes, cut into arbitrary chunks, and checks what the
// probe's dialogue promises, aborting on the first property that does not hold:
//  - it sends nothing but USER, PASS, STAT and QUIT, in that order, each at most once, and nothing
//    at all for credentials it refuses;
//  - how the server's bytes are cut into chunks changes nothing: what is sent, the result and
//    the STAT line are those of the whole stream fed at once;
//  - once the stream ends it is done, with a message count or one of the probe's codes;
//  - the STAT line it keeps is at most one line long and holds no line end and no NUL.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/Pop3Dialogue.h"
#include "check/ProbeOutcome.h"

namespace {

void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

struct Run {
    std::string sent;
    bool doneBeforeEnd = false;
    int result = 0;
    std::optional<std::string> statLine;
};

// Feeds the chunks one by one, then ends the stream unless the dialogue finished first.
Run Play(const std::string& user, const std::string& password, const std::vector<std::string>& chunks) {
    CPop3Dialogue dialogue(user, password);
    Run run;
    for (const std::string& chunk : chunks) {
        const bool wasDone = dialogue.IsDone();
        const std::string reply = dialogue.Receive(chunk);
        Require(!wasDone || reply.empty(), "nothing is sent once done");
        run.sent += reply;
    }
    run.doneBeforeEnd = dialogue.IsDone();
    dialogue.EndStream();
    Require(dialogue.IsDone(), "done once the stream ends");
    Require(dialogue.Receive("+OK 1 1\r\n").empty(), "nothing is sent after the end");
    run.result = dialogue.Result();
    run.statLine = dialogue.StatLine();
    return run;
}

bool IsSafeCredential(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

void CheckRun(const Run& run, const std::string& user, const std::string& password) {
    const std::string all = "USER " + user + "\r\nPASS " + password + "\r\nSTAT\r\nQUIT\r\n";
    if (!IsSafeCredential(user) || !IsSafeCredential(password)) {
        Require(run.sent.empty(), "refused credentials are never sent");
        Require(run.result == ProbeCode::kRefused, "refused credentials give a refusal");
        return;
    }
    Require(all.compare(0, run.sent.size(), run.sent) == 0, "only the commands, in order");
    // QUIT answers the STAT reply; a reply cut short by the close gets none, the line being gone.
    const bool sentQuit = run.sent.size() == all.size();
    Require(!sentQuit || run.statLine.has_value(), "QUIT only after the STAT reply");
    Require(!run.statLine || sentQuit || !run.doneBeforeEnd, "a STAT reply in time is answered by QUIT");
    Require(run.result >= 0 || run.result == ProbeCode::kDialogueBroken || run.result == ProbeCode::kRefused,
            "the result is a count or a dialogue code");
    if (run.statLine) {
        Require(run.statLine->size() <= CPop3LineReader::kMaxLineLength, "the STAT line is one line at most");
        Require(run.statLine->find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
                "the STAT line holds no line end and no NUL");
    } else {
        Require(run.result == ProbeCode::kDialogueBroken, "no STAT reply means a broken dialogue");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Mostly ordinary credentials; sometimes ones holding what could inject a command.
    const bool oddCredentials = input.ConsumeBool();
    const std::string user = oddCredentials ? input.ConsumeRandomLengthString(16) : "alice";
    const std::string password = oddCredentials ? input.ConsumeRandomLengthString(16) : "secret";

    std::vector<std::size_t> cuts;
    const std::size_t cutCount = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < cutCount; ++i) {
        cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 600));
    }
    const std::string stream = input.ConsumeRemainingBytesAsString();

    std::vector<std::string> chunks;
    std::size_t pos = 0;
    for (std::size_t cut : cuts) {
        const std::size_t length = std::min(cut, stream.size() - pos);
        chunks.push_back(stream.substr(pos, length));
        pos += length;
    }
    chunks.push_back(stream.substr(pos));

    const Run whole = Play(user, password, {stream});
    const Run cut = Play(user, password, chunks);
    CheckRun(whole, user, password);
    Require(cut.sent == whole.sent, "chunking changes nothing sent");
    Require(cut.result == whole.result, "chunking changes no result");
    Require(cut.statLine == whole.statLine, "chunking changes no STAT line");
    return 0;
}
