#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One response of an IMAP server as the reader framed it.
struct ImapResponse {
    // The response without its final line end: its lines joined by "\r\n", each literal's bytes
    // right after the line that announced it ("{n}").
    std::string text;
    // For an untagged SEARCH response, how many message numbers it names. They are counted as
    // they arrive and never kept: `text` then holds "* SEARCH" alone, however long the answer.
    std::optional<std::uint64_t> searchCount;
};

// Cuts an IMAP server's byte stream into responses (tagged, untagged or continuation requests),
// one at a time, with the literals inside them: a line ending in "{n}" is followed by n bytes of
// any kind, and the response goes on after them. "\n" ends a line, with or without "\r" before it.
//
// A response is held whole up to kMaxResponseLength bytes. One that grows past it, or announces a
// literal that would, is overlong: the reader stops there, since the stream can no longer be
// followed without keeping it. A SEARCH answer is the exception: it only ever lists numbers, so it
// is counted as it streams by, whatever its length.
class CImapResponseReader {
public:
    // 64 KiB: eight times the line length RFC 7162 asks a client to take.
    static constexpr std::size_t kMaxResponseLength = 64 * 1024;

    // Takes bytes from the front of `input` until the current response is complete (or `input`
    // runs out) and returns how many it took. A complete or overlong response takes nothing more
    // until StartNext().
    std::size_t Feed(std::string_view input);

    bool IsComplete() const { return m_state == State::Complete; }
    bool IsOverlong() const { return m_state == State::Overlong; }
    // The completed response.
    const ImapResponse& Response() const { return m_response; }
    void StartNext();

private:
    enum class State { Line, Literal, Searching, Complete, Overlong };

    std::size_t TakeLiteral(std::string_view input);
    void TakeLineByte(char byte);
    void Store(char byte);
    void TakeSearchByte(char byte);
    void EndLine();
    void Complete();

    State m_state = State::Line;
    ImapResponse m_response;
    std::size_t m_lineStart = 0;      // where the current line begins in the text
    std::uint64_t m_literalLeft = 0;  // bytes of the current literal still to come
    bool m_afterCr = false;           // the last byte was a CR, not yet stored
    std::uint64_t m_searchCount = 0;
    int m_searchDepth = 0;  // inside parentheses, where a SEARCH answer's numbers are no messages
    bool m_inSearchNumber = false;
};
