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
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/DialogueFuzzing.h"
#include "protocol/ProbeOutcome.h"
#include "protocol/imap/ImapDialogue.h"

namespace {

using Run = DialogueRun;

Run Play(const ServerBytes& bytes, const std::vector<std::string>& chunks) {
    CImapDialogue dialogue(bytes.user, bytes.password,
                           bytes.upgrade ? CImapDialogue::Upgrade::StartTls : CImapDialogue::Upgrade::None);
    return Play(dialogue, bytes.upgrade, chunks, bytes.insideTls);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ServerBytes bytes = ReadServerBytes(data, size);
    const Run whole = Play(bytes, {bytes.beforeTls});
    const Run cut = Play(bytes, CutInto(bytes.beforeTls, bytes.cuts));
    CheckRun(whole, bytes.user, bytes.password);
    if (bytes.upgrade && IsSafeCredential(bytes.user) && IsSafeCredential(bytes.password)) {
        CheckBeforeTls(whole);
    }
    RequireSameRun(cut, whole);
    return 0;
}
