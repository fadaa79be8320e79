#include "protocol/imap/ImapCommands.h"

#include <QByteArray>
#include <algorithm>

namespace {

// Quoted strings carry 7-bit text only; a line end or NUL never reaches here.
bool FitsQuoted(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) > 0x7f; });
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted.push_back('\\');
        }
        quoted.push_back(c);
    }
    return quoted + '"';
}

void AppendArgument(ImapCommandPieces& pieces, std::string_view argument, bool literalPlus) {
    pieces.back() += ' ';
    if (FitsQuoted(argument)) {
        pieces.back() += Quoted(argument);
        return;
    }
    const std::string size = std::to_string(argument.size());
    if (literalPlus) {
        pieces.back() += "{" + size + "+}\r\n";
        pieces.back() += argument;
        return;
    }
    pieces.back() += "{" + size + "}\r\n";
    pieces.emplace_back(argument);
}

}  // namespace

ImapCommandPieces LoginCommand(std::string_view tag, std::string_view user, std::string_view password,
                               bool literalPlus) {
    ImapCommandPieces pieces{std::string(tag) + " LOGIN"};
    AppendArgument(pieces, user, literalPlus);
    AppendArgument(pieces, password, literalPlus);
    pieces.back() += "\r\n";
    return pieces;
}

std::string PlainCredentials(std::string_view user, std::string_view password) {
    std::string message;
    message += '\0';
    message += user;
    message += '\0';
    message += password;
    return QByteArray(message.data(), static_cast<qsizetype>(message.size())).toBase64().toStdString();
}
