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
#include <string>
#include <vector>

#include "fuzz/DialogueFuzzing.h"
#include "protocol/ProbeOutcome.h"
#include "protocol/pop3/Pop3Dialogue.h"

namespace {

using Run = DialogueRun;

Run Play(const ServerBytes& bytes, bool upgrade, const std::vector<std::string>& chunks,
         const std::string& insideTls = {}) {
    CPop3Dialogue dialogue(bytes.user, bytes.password,
                           upgrade ? CPop3Dialogue::Upgrade::Stls : CPop3Dialogue::Upgrade::None);
    return Play(dialogue, upgrade, chunks, insideTls);
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
    const Run plain = Play(ServerBytes{.user = user, .password = password}, false, {"+OK\r\n" + insideTls});
    Require(run.sent == plain.sent, "inside TLS the same commands as in plain text");
    Require(run.result == plain.result, "inside TLS the same result as in plain text");
    Require(run.statLine == plain.statLine, "inside TLS the same STAT line as in plain text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ServerBytes bytes = ReadServerBytes(data, size);
    const Run whole = Play(bytes, bytes.upgrade, {bytes.beforeTls}, bytes.insideTls);
    const Run cut = Play(bytes, bytes.upgrade, CutInto(bytes.beforeTls, bytes.cuts), bytes.insideTls);
    if (bytes.upgrade) {
        CheckStlsRun(whole, bytes.user, bytes.password, bytes.insideTls);
    } else {
        CheckRun(whole, bytes.user, bytes.password);
    }
    RequireSameRun(cut, whole);
    return 0;
}
