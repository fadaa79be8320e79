// Plays a POP3 server that sends arbitrary bytes, cut into arbitrary chunks, and checks what the
// probe's dialogue promises, aborting on the first property that does not hold:
//  - it sends nothing but USER, PASS, STAT and QUIT, in that order, each at most once, and nothing
//    at all for credentials it refuses;
//  - how the server's bytes are cut into chunks changes nothing: what is sent, the result and
//    the STAT line are those of the whole stream fed at once;
//  - once the stream ends it is done, with a message count or one of the probe's codes;
//  - the STAT line it keeps is at most one line long and holds no line end and no NUL.
// Upgraded with STLS, the server's bytes are those before the TLS handshake and those inside TLS:
//  - before TLS it sends nothing but CAPA and STLS, so no credential ever leaves in plain text, and
//    a dialogue that ends there is a connection error;
//  - inside TLS it behaves exactly as the plain dialogue does after a greeting.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "protocol/ProbeOutcome.h"
#include "protocol/pop3/Pop3Dialogue.h"

namespace {

void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

struct Run {
    std::string sentBeforeTls;
    bool reachedTls = false;
    std::string sent;
    bool doneBeforeEnd = false;
    int result = 0;
    std::optional<std::string> statLine;
};

// Feeds the chunks one by one; upgraded, starts TLS when the dialogue waits for it and feeds what
// the server says inside. Then ends the stream unless the dialogue finished first.
Run Play(const std::string& user, const std::string& password, CPop3Dialogue::Upgrade upgrade,
         const std::vector<std::string>& chunks, const std::string& insideTls = {}) {
    CPop3Dialogue dialogue(user, password, upgrade);
    Run run;
    const auto feed = [&](const std::string& chunk) {
        const bool wasDone = dialogue.IsDone();
        const std::string reply = dialogue.Receive(chunk);
        Require(!wasDone || reply.empty(), "nothing is sent once done");
        run.sent += reply;
    };
    for (const std::string& chunk : chunks) {
        feed(chunk);
    }
    if (upgrade == CPop3Dialogue::Upgrade::Stls) {
        run.sentBeforeTls = std::exchange(run.sent, {});
        run.reachedTls = dialogue.AwaitsTls();
        if (run.reachedTls) {
            run.sent = dialogue.TlsStarted();
            feed(insideTls);
        }
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

void CheckStlsRun(const Run& run, const std::string& user, const std::string& password,
                  const std::string& insideTls) {
    if (!IsSafeCredential(user) || !IsSafeCredential(password)) {
        Require(run.sentBeforeTls.empty() && run.sent.empty(), "refused credentials are never sent");
        Require(run.result == ProbeCode::kRefused, "refused credentials give a refusal");
        return;
    }
    const std::string negotiation = "CAPA\r\nSTLS\r\n";
    Require(negotiation.compare(0, run.sentBeforeTls.size(), run.sentBeforeTls) == 0,
            "only CAPA and STLS before TLS");
    if (!run.reachedTls) {
        Require(run.sent.empty(), "nothing more without TLS");
        Require(run.result == ProbeCode::kConnectError, "no TLS is a connection error");
        return;
    }
    Require(run.sentBeforeTls == negotiation, "TLS only after STLS");
    const Run plain = Play(user, password, CPop3Dialogue::Upgrade::None, {"+OK\r\n" + insideTls});
    Require(run.sent == plain.sent, "inside TLS the same commands as in plain text");
    Require(run.result == plain.result, "inside TLS the same result as in plain text");
    Require(run.statLine == plain.statLine, "inside TLS the same STAT line as in plain text");
}

std::vector<std::string> CutInto(const std::string& stream, const std::vector<std::size_t>& cuts) {
    std::vector<std::string> chunks;
    std::size_t pos = 0;
    for (std::size_t cut : cuts) {
        const std::size_t length = std::min(cut, stream.size() - pos);
        chunks.push_back(stream.substr(pos, length));
        pos += length;
    }
    chunks.push_back(stream.substr(pos));
    return chunks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Upgrade = CPop3Dialogue::Upgrade;
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
    const Upgrade upgrade = input.ConsumeBool() ? Upgrade::Stls : Upgrade::None;
    const std::size_t beforeTls =
        upgrade == Upgrade::Stls ? input.ConsumeIntegralInRange<std::size_t>(0, 4096) : 0;
    std::string stream = input.ConsumeRemainingBytesAsString();
    const std::string insideTls =
        upgrade == Upgrade::Stls ? stream.substr(std::min(beforeTls, stream.size())) : "";
    stream.resize(stream.size() - insideTls.size());

    const Run whole = Play(user, password, upgrade, {stream}, insideTls);
    const Run cut = Play(user, password, upgrade, CutInto(stream, cuts), insideTls);
    if (upgrade == Upgrade::Stls) {
        CheckStlsRun(whole, user, password, insideTls);
    } else {
        CheckRun(whole, user, password);
    }
    Require(cut.sentBeforeTls == whole.sentBeforeTls, "chunking changes nothing sent before TLS");
    Require(cut.sent == whole.sent, "chunking changes nothing sent");
    Require(cut.result == whole.result, "chunking changes no result");
    Require(cut.statLine == whole.statLine, "chunking changes no STAT line");
    return 0;
}
