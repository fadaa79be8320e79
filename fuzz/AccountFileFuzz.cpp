// Feeds arbitrary bytes to the ACCOUNT.CSV reader and checks the properties the file format
// promises, aborting on the first one that does not hold:
//  - one account per line, counted independently of the parser;
//  - every account read is one the writer can write back: text fields hold no comma, no line
//    feed, no Ctrl-Z and no surrounding white space, and the corrected numbers are in range;
//  - writing what was read and reading it again gives the same accounts, and the written text is
//    a fixed point;
//  - the field splitter always makes progress and never returns a comma;
//  - accounts built from the same bytes keep their count through a write and a read whenever no
//    field holds a line end, and come back equal when every field is one the file can hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "accounts/AccountCsv.h"

namespace {

constexpr char kEndOfFile = 0x1A;

void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The number of lines a text-mode reader sees: every line feed ends one, and text after the last
// line feed is one more.
int LinesIn(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find(kEndOfFile));
    int lines = 0;
    for (char c : bytes) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines + (!bytes.empty() && bytes.back() != '\n' ? 1 : 0);
}

bool IsWritableField(const std::string& text) {
    return text.find_first_of(std::string_view(",\n\x1A", 3)) == std::string::npos &&
           (text.empty() || (!IsSpace(text.front()) && !IsSpace(text.back())));
}

bool HasNoLineEnd(const std::string& text) {
    return text.find_first_of(std::string_view("\n\x1A", 2)) == std::string::npos;
}

template <typename Check>
bool AllTextFields(const CAccount& a, Check check) {
    return check(a.m_strUser) && check(a.m_strPassword) && check(a.m_strServer) && check(a.m_strSoundFile) &&
           check(a.m_strLaunchFile) && check(a.m_strIconFile);
}

bool NumbersAsRead(const CAccount& a) {
    return a.m_nInterval >= 1 && (a.m_nSoundMode == 0 || a.m_nSoundMode == 1) &&
           (a.m_nLaunchMode == 0 || a.m_nLaunchMode == 1) && a.m_nTimerId == 0 && a.m_nLastCount == 0;
}

bool SameAccounts(const CAccountList& a, const CAccountList& b) {
    if (a.GetCount() != b.GetCount()) {
        return false;
    }
    for (int i = 0; i < a.GetCount(); ++i) {
        if (!(*a.GetAt(i) == *b.GetAt(i))) {
            return false;
        }
    }
    return true;
}

CAccountList Parse(std::string_view bytes) {
    CAccountList list;
    ParseAccountFile(bytes, list);
    return list;
}

void CheckFileBytes(std::string_view bytes) {
    // A list that already holds an account: reading appends after it.
    CAccountList list;
    list.AddTail(CAccount{});
    ParseAccountFile(bytes, list);
    Require(list.GetCount() == 1 + LinesIn(bytes), "one account per line, appended");
    list.RemoveAt(0);

    for (const CAccount& a : list) {
        Require(AllTextFields(a, IsWritableField), "text fields read are writable");
        Require(NumbersAsRead(a), "numbers read are corrected");
    }
    const std::string written = FormatAccountFile(list);
    const CAccountList back = Parse(written);
    Require(SameAccounts(back, list), "write then read gives the accounts read");
    Require(FormatAccountFile(back) == written, "written text is a fixed point");
}

void CheckFieldSplitter(std::string_view bytes) {
    // Each call copies the rest of the line: a bounded line keeps the check linear enough to be fast.
    constexpr std::size_t kLongestLineChecked = 1024;
    std::string line(bytes.substr(0, std::min(bytes.find('\n'), kLongestLineChecked)));
    std::size_t commas = 0;
    for (char c : line) {
        commas += c == ',' ? 1 : 0;
    }
    std::size_t calls = 0;
    while (!line.empty()) {
        const std::size_t before = line.size();
        const std::string field = NextField(line);
        ++calls;
        Require(field.find(',') == std::string::npos, "a field holds no comma");
        Require(line.size() < before, "the splitter makes progress");
        Require(calls <= commas + 1, "no more fields than commas + 1");
    }
    Require(NextField(line).empty(), "an empty line gives an empty field");
}

CAccount AccountFrom(FuzzedDataProvider& data) {
    CAccount a;
    a.m_strUser = data.ConsumeRandomLengthString(64);
    a.m_strPassword = data.ConsumeRandomLengthString(64);
    a.m_strServer = data.ConsumeRandomLengthString(64);
    a.m_nInterval = data.ConsumeIntegral<std::int32_t>();
    a.m_bSound = data.ConsumeIntegral<std::int32_t>();
    a.m_nSoundMode = data.ConsumeIntegral<std::int32_t>();
    a.m_strSoundFile = data.ConsumeRandomLengthString(64);
    a.m_bLaunch = data.ConsumeIntegral<std::int32_t>();
    a.m_nLaunchMode = data.ConsumeIntegral<std::int32_t>();
    a.m_strLaunchFile = data.ConsumeRandomLengthString(64);
    a.m_strIconFile = data.ConsumeRandomLengthString(64);
    a.m_bEnabled = data.ConsumeIntegral<std::int32_t>();
    return a;
}

void CheckBuiltAccounts(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    CAccountList list;
    bool oneLineEach = true;
    bool storable = true;
    while (data.remaining_bytes() > 0 && list.GetCount() < 16) {
        const CAccount a = AccountFrom(data);
        oneLineEach = oneLineEach && AllTextFields(a, HasNoLineEnd);
        storable = storable && AllTextFields(a, IsWritableField) && NumbersAsRead(a);
        list.AddTail(a);
    }
    const CAccountList back = Parse(FormatAccountFile(list));
    if (oneLineEach) {
        Require(back.GetCount() == list.GetCount(), "an account without line ends stays one line");
    }
    if (storable) {
        Require(SameAccounts(back, list), "storable accounts come back equal");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckFileBytes(bytes);
    CheckFieldSplitter(bytes);
    CheckBuiltAccounts(data, size);
    return 0;
}
