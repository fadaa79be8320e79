#include "ui/DialogInteger.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kCharactersLookedAt = 31;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

std::optional<std::int32_t> ParseDialogInteger(const QString& whole) {
    const QString text = whole.left(kCharactersLookedAt);
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const bool startsWithZero = i < text.size() && text[i] == u'0';
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype firstDigit = i;
    // Accumulated with saturation: 31 characters can hold far more than 64 bits.
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1;
    long long magnitude = 0;
    while (i < text.size() && IsDigit(text[i])) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[i].unicode() - u'0'));
        ++i;
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    if (magnitude == 0 && !startsWithZero) {
        return std::nullopt;  // "-0", "+0": a zero must start with the digit 0
    }
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}
