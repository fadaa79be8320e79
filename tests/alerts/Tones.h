#pragma once
// Short sine tones as sound files, written at test time: a 16-bit mono PCM wave file and the
// same samples as a Sun audio (.au) file, which takes the media player's path.

#include <QByteArray>
#include <QtEndian>
#include <cmath>
#include <numbers>

inline constexpr int kToneRate = 44100;

namespace tones {

template <typename T>
QByteArray Bytes(T value, bool bigEndian = false) {
    QByteArray bytes(sizeof(T), '\0');
    bigEndian ? qToBigEndian(value, bytes.data()) : qToLittleEndian(value, bytes.data());
    return bytes;
}

inline qint16 Sample(double frequency, int i, double amplitude) {
    return static_cast<qint16>(amplitude * 32767 *
                               std::sin(2 * std::numbers::pi * frequency * i / kToneRate));
}

}  // namespace tones

inline QByteArray ToneWav(double frequency, double seconds, double amplitude = 0.5) {
    using tones::Bytes;
    QByteArray data;
    for (int i = 0; i < static_cast<int>(seconds * kToneRate); ++i) {
        data += Bytes(tones::Sample(frequency, i, amplitude));
    }
    return "RIFF" + Bytes<quint32>(36 + data.size()) + "WAVE" + "fmt " + Bytes<quint32>(16) +
           Bytes<quint16>(1) + Bytes<quint16>(1) + Bytes<quint32>(kToneRate) + Bytes<quint32>(kToneRate * 2) +
           Bytes<quint16>(2) + Bytes<quint16>(16) + "data" + Bytes<quint32>(data.size()) + data;
}

inline QByteArray ToneAu(double frequency, double seconds, double amplitude = 0.5) {
    using tones::Bytes;
    QByteArray data;
    for (int i = 0; i < static_cast<int>(seconds * kToneRate); ++i) {
        data += Bytes(tones::Sample(frequency, i, amplitude), true);
    }
    // Header: magic, data offset, data size, encoding 3 (16-bit linear PCM), rate, channels.
    return ".snd" + Bytes<quint32>(24, true) + Bytes<quint32>(data.size(), true) + Bytes<quint32>(3, true) +
           Bytes<quint32>(kToneRate, true) + Bytes<quint32>(1, true) + data;
}
