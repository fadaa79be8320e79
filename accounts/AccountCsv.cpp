#include "accounts/AccountCsv.h"

namespace {

constexpr char kEndOfFile = 0x1A;  // Ctrl-Z
constexpr int kFieldCount = 12;

std::int32_t IntervalFromFile(std::int32_t value) {
    return value <= 0 ? 1 : value;
}
std::int32_t ModeFromFile(std::int32_t value) {
    return (value == 0 || value == 1) ? value : 0;
}

}  // namespace

std::string NextField(std::string& line) {
    std::size_t start = 0;
    while (start < line.size() && IsCSpace(line[start])) {
        ++start;
    }
    // A comma byte never occurs inside a multi-byte character of the encodings in use (UTF-8,
    // Shift_JIS trail bytes start at 0x40), so a byte scan is a character scan here.
    const std::size_t comma = line.find(',', start);
    std::string field;
    if (comma == std::string::npos) {
        field = line.substr(start);
        line.clear();
    } else {
        field = line.substr(start, comma - start);
        line.erase(0, comma + 1);
    }
    std::size_t end = field.size();
    while (end > 0 && IsCSpace(field[end - 1])) {
        --end;
    }
    field.resize(end);
    return field;
}

CAccount ParseAccountLine(std::string line) {
    CAccount account;
    account.m_strUser = NextField(line);
    account.m_strPassword = NextField(line);
    account.m_strServer = NextField(line);
    account.m_nInterval = IntervalFromFile(ReadDecimal(NextField(line)));
    account.m_bSound = ReadDecimal(NextField(line));
    account.m_nSoundMode = ModeFromFile(ReadDecimal(NextField(line)));
    account.m_strSoundFile = NextField(line);
    account.m_bLaunch = ReadDecimal(NextField(line));
    account.m_nLaunchMode = ModeFromFile(ReadDecimal(NextField(line)));
    account.m_strLaunchFile = NextField(line);
    account.m_strIconFile = NextField(line);
    account.m_bEnabled = ReadDecimal(NextField(line));
    return account;  // anything after the twelfth field is ignored
}

std::string FormatAccountLine(const CAccount& a) {
    const std::string fields[kFieldCount] = {
        a.m_strUser,
        a.m_bPasswordInKeyring ? std::string() : a.m_strPassword,
        a.m_strServer,
        std::to_string(a.m_nInterval),
        std::to_string(a.m_bSound),
        std::to_string(a.m_nSoundMode),
        a.m_strSoundFile,
        std::to_string(a.m_bLaunch),
        std::to_string(a.m_nLaunchMode),
        a.m_strLaunchFile,
        a.m_strIconFile,
        std::to_string(a.m_bEnabled),
    };
    std::string line;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) {
            line += ',';
        }
        line += fields[i];
    }
    return line;
}

void ParseAccountFile(std::string_view bytes, CAccountList& list) {
    const std::size_t eof = bytes.find(kEndOfFile);
    if (eof != std::string_view::npos) {
        bytes = bytes.substr(0, eof);
    }
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        std::string_view line = bytes.substr(0, newline);
        if (newline != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);  // CR LF is one line end; a lone CR stays
        }
        list.AddTail(ParseAccountLine(std::string(line)));
        bytes = newline == std::string_view::npos ? std::string_view{} : bytes.substr(newline + 1);
    }
}

std::string FormatAccountFile(const CAccountList& list) {
    std::string text;
    for (const CAccount& account : list) {
        text += FormatAccountLine(account);
        text += "\r\n";
    }
    return text;
}
