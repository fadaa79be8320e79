// Plays an IMAP server that sends arbitrary bytes, cut into arbitrary chunks, and checks what the
// probe's dialogue promises, aborting on the first property that does not hold:
//  - how the server's bytes are cut into chunks changes nothing: what is sent, the result and the
//    status line are those of the whole stream fed at once;
//  - nothing is sent once it is done, LOGOUT is the last thing it sends, and the stream's end
//    always finishes it with a count or one of the probe's codes;
//  - a count comes only with a STATUS answer for the status line, which is one line of text at most
//    as long as a response may be;
//  - credentials holding CR, LF or NUL are never sent, nor anything else.
// Upgraded with STARTTLS, the server's bytes are those before the TLS handshake and those inside:
//  - before TLS it sends nothing but CAPABILITY, STARTTLS and LOGOUT, so no credential ever leaves
//    in plain text, and a dialogue that ends there is a connection error.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "protocol/ProbeOutcome.h"
#include "protocol/imap/ImapDialogue.h"

namespace {

using Upgrade = CImapDialogue::Upgrade;

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
    int result = 0;
    std::optional<std::string> statLine;
};

Run Play(const std::string& user, const std::string& password, Upgrade upgrade,
         const std::vector<std::string>& chunks, const std::string& insideTls) {
    CImapDialogue dialogue(user, password, upgrade);
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
    if (upgrade == Upgrade::StartTls) {
        run.sentBeforeTls = std::exchange(run.sent, {});
        run.reachedTls = dialogue.AwaitsTls();
        if (run.reachedTls) {
            run.sent = dialogue.TlsStarted();
            feed(insideTls);
        }
    }
    dialogue.EndStream();
    Require(dialogue.IsDone(), "done once the stream ends");
    Require(dialogue.Receive("a1 OK\r\n").empty() && dialogue.Abandon().empty(),
            "nothing is sent after the end");
    run.result = dialogue.Result();
    run.statLine = dialogue.StatLine();
    return run;
}

bool IsSafeCredential(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The commands sent, one per line; literal bytes make lines of their own.
std::vector<std::string> Lines(const std::string& sent) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < sent.size();) {
        const std::size_t end = sent.find("\r\n", start);
        lines.push_back(sent.substr(start, end - start));
        start = end == std::string::npos ? sent.size() : end + 2;
    }
    return lines;
}

bool IsCommand(const std::string& line, const std::string& name) {
    const std::size_t space = line.find(' ');
    return line.size() > 1 && line[0] == 'a' && space != std::string::npos &&
           std::all_of(line.begin() + 1, line.begin() + static_cast<long>(space),
                       [](char c) { return c >= '0' && c <= '9'; }) &&
           line.substr(space + 1) == name;
}

void CheckRun(const Run& run, const std::string& user, const std::string& password) {
    if (!IsSafeCredential(user) || !IsSafeCredential(password)) {
        Require(run.sentBeforeTls.empty() && run.sent.empty(), "refused credentials are never sent");
        Require(run.result == ProbeCode::kRefused, "refused credentials give a refusal");
        return;
    }
    const std::vector<std::string> lines = Lines(run.sentBeforeTls + run.sent);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Require(!IsCommand(lines[i], "LOGOUT") || i + 1 == lines.size(), "LOGOUT is the last thing sent");
    }
    Require(run.result >= 0 || run.result == ProbeCode::kConnectError ||
                run.result == ProbeCode::kDialogueBroken || run.result == ProbeCode::kRefused,
            "the result is a count or a probe code");
    Require(run.result < 0 || (run.statLine && run.statLine->starts_with("* ")),
            "a count comes with the STATUS answer");
    if (run.statLine) {
        Require(run.statLine->size() <= CImapResponseReader::kMaxResponseLength,
                "the status line is bounded");
        Require(run.statLine->find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
                "the status line is one line of text");
    }
}

void CheckBeforeTls(const Run& run) {
    for (const std::string& line : Lines(run.sentBeforeTls)) {
        Require(IsCommand(line, "CAPABILITY") || IsCommand(line, "STARTTLS") || IsCommand(line, "LOGOUT"),
                "only CAPABILITY, STARTTLS and LOGOUT before TLS");
    }
    if (!run.reachedTls) {
        Require(run.result == ProbeCode::kConnectError, "no TLS is a connection error");
    }
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
    FuzzedDataProvider input(data, size);
    // Mostly ordinary credentials; sometimes odd ones, which may need literals or be refused.
    const bool oddCredentials = input.ConsumeBool();
    const std::string user = oddCredentials ? input.ConsumeRandomLengthString(16) : "alice";
    const std::string password = oddCredentials ? input.ConsumeRandomLengthString(16) : "secret";

    std::vector<std::size_t> cuts;
    const std::size_t cutCount = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < cutCount; ++i) {
        cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 600));
    }
    const Upgrade upgrade = input.ConsumeBool() ? Upgrade::StartTls : Upgrade::None;
    const std::size_t beforeTls =
        upgrade == Upgrade::StartTls ? input.ConsumeIntegralInRange<std::size_t>(0, 4096) : 0;
    std::string stream = input.ConsumeRemainingBytesAsString();
    const std::string insideTls =
        upgrade == Upgrade::StartTls ? stream.substr(std::min(beforeTls, stream.size())) : "";
    stream.resize(stream.size() - insideTls.size());

    const Run whole = Play(user, password, upgrade, {stream}, insideTls);
    const Run cut = Play(user, password, upgrade, CutInto(stream, cuts), insideTls);
    CheckRun(whole, user, password);
    if (upgrade == Upgrade::StartTls && IsSafeCredential(user) && IsSafeCredential(password)) {
        CheckBeforeTls(whole);
    }
    Require(cut.sentBeforeTls == whole.sentBeforeTls, "chunking changes nothing sent before TLS");
    Require(cut.sent == whole.sent, "chunking changes nothing sent");
    Require(cut.result == whole.result, "chunking changes no result");
    Require(cut.statLine == whole.statLine, "chunking changes no status line");
    return 0;
}
