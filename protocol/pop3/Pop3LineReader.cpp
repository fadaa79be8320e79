#include "protocol/pop3/Pop3LineReader.h"

std::size_t CPop3LineReader::Feed(std::string_view input) {
    std::size_t used = 0;
    while (used < input.size() && m_state != State::Complete) {
        TakeByte(input[used]);
        ++used;
    }
    return used;
}

bool CPop3LineReader::EndStream() {
    if (m_state == State::Complete) {
        return true;
    }
    // Every byte taken is either stored or moves the reader on from Storing.
    const bool nothingRead = m_state == State::Storing && m_partial.empty();
    if (nothingRead) {
        return false;
    }
    CompleteLine();
    return true;
}

void CPop3LineReader::StartNextLine() {
    m_state = State::Storing;
    m_partial.clear();
}

void CPop3LineReader::TakeByte(char byte) {
    if (m_state == State::SwallowingAfterCr) {
        CompleteLine();
        return;
    }
    if (byte == '\n') {
        CompleteLine();
        return;
    }
    if (byte == '\r') {
        // The line is only over once the byte after the CR has been taken too; it may arrive in a
        // later chunk.
        m_state = State::SwallowingAfterCr;
        return;
    }
    if (m_state == State::Storing) {
        m_partial.push_back(byte);
        if (m_partial.size() == kMaxLineLength) {
            m_state = State::Discarding;
        }
    }
}

void CPop3LineReader::CompleteLine() {
    m_line = m_partial;
    m_state = State::Complete;
}
