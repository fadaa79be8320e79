#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Cuts a POP3 server's byte stream into reply lines, one line at a time: "\n" ends a line; "\r"
// ends it too and takes the byte after it with it, whatever that byte is. At most kMaxLineLength
// bytes are kept; the rest of a longer line is dropped up to its line end, so the replies that
// follow stay in step with the commands.
//
// One buffer serves every line. A stream that ends before the first byte of a line leaves the
// buffer holding the previous line; one that ends part-way makes the bytes read so far the line.
class CPop3LineReader {
public:
    static constexpr std::size_t kMaxLineLength = 514;

    // Takes bytes from the front of `input` until the current line is complete (or `input` runs
    // out) and returns how many it took. Once a line is complete it takes nothing until
    // StartNextLine().
    std::size_t Feed(std::string_view input);

    // The stream ended. Returns whether that completed a line; false means nothing of the line
    // had been read and the buffer is unchanged.
    bool EndStream();

    bool IsLineComplete() const { return m_state == State::Complete; }
    void StartNextLine();

    // The buffer: the last completed line, without its line end.
    const std::string& Line() const { return m_line; }

private:
    enum class State { Storing, Discarding, SwallowingAfterCr, Complete };

    void TakeByte(char byte);
    void CompleteLine();

    State m_state = State::Storing;
    std::string m_partial;
    std::string m_line;
};
