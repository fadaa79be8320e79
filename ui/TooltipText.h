#pragma once

#include <QString>

// The tray keeps tooltips to 63 bytes of the local 8-bit encoding. The cut never splits a
// character: a character that would not fit whole is left out.
inline constexpr int kTooltipMaxBytes = 63;

QString CutTooltip(const QString& text, int maxBytes = kTooltipMaxBytes);
