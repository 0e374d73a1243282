#include "platform/filenames.h"

#include <QChar>

#include <cstdint>

namespace orvane::platform {

namespace {

constexpr char16_t kFirstCarried = 0xDC80;
constexpr char16_t kLastCarried = 0xDCFF;

bool isCarried(char16_t unit)
{
    return unit >= kFirstCarried && unit <= kLastCarried;
}

// The length of the valid UTF-8 sequence at the start of the bytes, or 0:
// no overlong forms, no surrogates, nothing beyond U+10FFFF.
qsizetype validSequence(QByteArrayView bytes)
{
    const auto byte = [&](qsizetype i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(0);
    qsizetype length = 0;
    char32_t least = 0;
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        least = 0x80;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        least = 0x800;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    char32_t code = lead & (0x7FU >> length);
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0U) != 0x80U) {
            return 0;
        }
        code = (code << 6U) | (byte(i) & 0x3FU);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

// Calls each(unit) for the units outside surrogate pairs and pair(view) for
// the pairs, in order.
template <typename Unit, typename Pair> void walk(QStringView name, Unit each, Pair pair)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar unit = name[i];
        if (unit.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            pair(name.mid(i, 2));
            ++i;
        } else {
            each(unit);
        }
    }
}

// Valid UTF-8 as text, keeping byte order marks: they are part of the name.
QString decodeText(QByteArrayView bytes)
{
    static constexpr QByteArrayView kMark("\xef\xbb\xbf");
    QString text;
    while (bytes.startsWith(kMark)) {
        text += QChar(QChar::ByteOrderMark);
        bytes = bytes.sliced(kMark.size());
    }
    return text + QString::fromUtf8(bytes);
}

bool carriesBytes(QStringView name)
{
    bool carries = false;
    walk(
        name, [&](QChar unit) { carries = carries || isCarried(unit.unicode()); }, [](QStringView) {});
    return carries;
}

} // namespace

QString fromNativeName(QByteArrayView bytes)
{
    if (bytes.isValidUtf8()) {
        return decodeText(bytes);
    }
    QString name;
    name.reserve(bytes.size());
    qsizetype start = 0; // of the valid run not yet decoded
    qsizetype i = 0;
    const auto decodeRun = [&] { name += decodeText(bytes.sliced(start, i - start)); };
    while (i < bytes.size()) {
        if (static_cast<std::uint8_t>(bytes[i]) < 0x80U) {
            ++i;
            continue;
        }
        const qsizetype length = validSequence(bytes.sliced(i));
        if (length > 0) {
            i += length;
            continue;
        }
        decodeRun();
        name += QChar(static_cast<char16_t>(0xDC00U + static_cast<std::uint8_t>(bytes[i])));
        start = ++i;
    }
    decodeRun();
    return name;
}

QByteArray toNativeName(QStringView name)
{
    if (!carriesBytes(name)) {
        return name.toUtf8();
    }
    QByteArray bytes;
    bytes.reserve(name.size());
    walk(
        name,
        [&](QChar unit) {
            if (isCarried(unit.unicode())) {
                bytes += static_cast<char>(unit.unicode() - 0xDC00U);
            } else {
                bytes += QStringView(&unit, 1).toUtf8();
            }
        },
        [&](QStringView pair) { bytes += pair.toUtf8(); });
    return bytes;
}

QString readableName(const QString& name)
{
    if (!carriesBytes(name)) {
        return name;
    }
    QString readable;
    readable.reserve(name.size());
    walk(
        name,
        [&](QChar unit) {
            readable += isCarried(unit.unicode()) ? QChar(QChar::ReplacementCharacter) : unit;
        },
        [&](QStringView pair) { readable += pair; });
    return readable;
}

bool statPath(const QString& path, struct stat& status)
{
    return !path.isEmpty() && ::stat(toNativeName(path).constData(), &status) == 0;
}

} // namespace orvane::platform
