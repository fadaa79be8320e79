#include "ui/DialogInteger.h"

#include "accounts/Decimal.h"

namespace {

constexpr int kCharactersLookedAt = 31;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

std::optional<std::int32_t> ParseDialogInteger(const QString& whole) {
    const QString text = whole.left(kCharactersLookedAt);
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const qsizetype numberStart = i;
    const bool startsWithZero = i < text.size() && text[i] == u'0';
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    const qsizetype firstDigit = i;
    while (i < text.size() && IsDigit(text[i].unicode())) {
        ++i;
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    const qsizetype numberEnd = i;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    // Sign and digits only, so plain ASCII; values beyond 32 bits clamp.
    const QByteArray number = text.mid(numberStart, numberEnd - numberStart).toLatin1();
    const std::int32_t value =
        ReadDecimal(std::string_view(number.constData(), static_cast<std::size_t>(number.size())));
    if (value == 0 && !startsWithZero) {
        return std::nullopt;  // "-0", "+0": a zero must start with the digit 0
    }
    return value;
}
