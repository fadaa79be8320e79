#pragma once
// What the dialogue fuzz targets share: reading the input as credentials, cuts and a server's
// bytes (before an upgrade to TLS and inside it), playing them to a dialogue, and the properties
// every dialogue keeps.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/MailDialogue.h"

inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

inline bool IsSafeCredential(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

struct ServerBytes {
    std::string user;
    std::string password;
    std::vector<std::size_t> cuts;  // the chunks' lengths, the last chunk taking the rest
    bool upgrade = false;
    std::string beforeTls;  // all of the stream when not upgraded
    std::string insideTls;
};

inline ServerBytes ReadServerBytes(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ServerBytes bytes;
    // Mostly ordinary credentials; sometimes ones holding what could inject a command.
    const bool oddCredentials = input.ConsumeBool();
    bytes.user = oddCredentials ? input.ConsumeRandomLengthString(16) : "alice";
    bytes.password = oddCredentials ? input.ConsumeRandomLengthString(16) : "secret";
    const std::size_t cutCount = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < cutCount; ++i) {
        bytes.cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 600));
    }
    bytes.upgrade = input.ConsumeBool();
    const std::size_t beforeTls = bytes.upgrade ? input.ConsumeIntegralInRange<std::size_t>(0, 4096) : 0;
    bytes.beforeTls = input.ConsumeRemainingBytesAsString();
    if (bytes.upgrade) {
        bytes.insideTls = bytes.beforeTls.substr(std::min(beforeTls, bytes.beforeTls.size()));
        bytes.beforeTls.resize(bytes.beforeTls.size() - bytes.insideTls.size());
    }
    return bytes;
}

inline std::vector<std::string> CutInto(const std::string& stream, const std::vector<std::size_t>& cuts) {
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

struct DialogueRun {
    std::string sentBeforeTls;
    bool reachedTls = false;
    std::string sent;
    bool doneBeforeEnd = false;
    int result = 0;
    std::optional<std::string> statLine;
};

// Feeds the chunks one by one; upgraded, starts TLS when the dialogue waits for it and feeds what
// the server says inside. Then ends the stream, after which nothing is sent any more.
inline DialogueRun Play(IMailDialogue& dialogue, bool upgrade, const std::vector<std::string>& chunks,
                        const std::string& insideTls) {
    DialogueRun run;
    const auto feed = [&](const std::string& chunk) {
        const bool wasDone = dialogue.IsDone();
        const std::string reply = dialogue.Receive(chunk);
        Require(!wasDone || reply.empty(), "nothing is sent once done");
        run.sent += reply;
    };
    for (const std::string& chunk : chunks) {
        feed(chunk);
    }
    if (upgrade) {
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
    Require(dialogue.Receive("+OK 1 1\r\na1 OK\r\n").empty() && dialogue.Abandon().empty(),
            "nothing is sent after the end");
    run.result = dialogue.Result();
    run.statLine = dialogue.StatLine();
    return run;
}

// The whole stream at once, and cut into chunks, give the same run.
inline void RequireSameRun(const DialogueRun& cut, const DialogueRun& whole) {
    Require(cut.sentBeforeTls == whole.sentBeforeTls, "chunking changes nothing sent before TLS");
    Require(cut.sent == whole.sent, "chunking changes nothing sent");
    Require(cut.result == whole.result, "chunking changes no result");
    Require(cut.statLine == whole.statLine, "chunking changes no status line");
}
