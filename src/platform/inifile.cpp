#include "platform/inifile.h"

#include <QStringConverter>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace orvane::platform {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9') {
        return c.unicode() - u'0';
    }
    return (c.toLower().unicode() - u'a') + 10;
}

// "Type%20name%200" and "Type name 0" are the same key.
QString unescapeKey(QStringView raw)
{
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'%' && i + 5 < raw.size() && raw.at(i + 1) == u'U') {
            bool ok = false;
            const uint code = raw.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(static_cast<char16_t>(code));
                i += 5;
                continue;
            }
        }
        if (c == u'%' && i + 2 < raw.size() && isHex(raw.at(i + 1)) && isHex(raw.at(i + 2))) {
            out += QChar(static_cast<char16_t>(hexValue(raw.at(i + 1)) * 16 + hexValue(raw.at(i + 2))));
            i += 2;
            continue;
        }
        if (c == u'\\' && i + 1 < raw.size() && raw.at(i + 1) == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

// The text being written, passed on in pieces of 64 KiB or so: room(n)
// gives space for n more bytes at most (passing on the piece when it is
// full), and done(p) takes what was written up to p. Once passing a piece
// on fails, nothing more is passed on.
class Output {
public:
    explicit Output(const WriteBytes& put) : put_(put) { piece_.resize(kPiece); }
    char* room(std::size_t n)
    {
        if (used_ + n > piece_.size()) {
            pass();
            piece_.resize(std::max(n, kPiece));
        }
        return piece_.data() + used_;
    }
    void done(const char* end) { used_ = static_cast<std::size_t>(end - piece_.data()); }
    [[nodiscard]] bool empty() const { return passed_ == 0 && used_ == 0; }
    [[nodiscard]] bool failed() const { return failed_; }
    // Passes on the rest; false when anything could not be passed on.
    bool finish()
    {
        pass();
        return !failed_;
    }

private:
    static constexpr std::size_t kPiece = std::size_t{64} * 1024;
    void pass()
    {
        if (used_ > 0 && !failed_) {
            failed_ = !put_(piece_.data(), used_);
        }
        passed_ += used_;
        used_ = 0;
    }

    const WriteBytes& put_;
    std::vector<char> piece_;
    std::size_t used_ = 0;
    std::size_t passed_ = 0;
    bool failed_ = false;
};

// The most bytes one UTF-16 unit of a key or value becomes ("%UXXXX",
// "\\xXXXX").
constexpr std::size_t kMostPerUnit = 6;

char* hex4(char* p, char16_t ch)
{
    for (int shift = 12; shift >= 0; shift -= 4) {
        *p++ = kHexDigits[(ch >> shift) & 0xF];
    }
    return p;
}

// "\\x" and the code in lower-case hex without leading zeros.
char* hexEscape(char* p, char16_t ch)
{
    *p++ = '\\';
    *p++ = 'x';
    const QByteArray digits = QByteArray::number(ch, 16);
    std::memcpy(p, digits.constData(), static_cast<std::size_t>(digits.size()));
    return p + digits.size();
}

char* writeKey(char* p, QStringView key)
{
    for (const QChar c : key) {
        const char16_t ch = c.unicode();
        if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
            ch == u'_' || ch == u'-' || ch == u'.') {
            *p++ = static_cast<char>(ch);
        } else if (ch == u'/') {
            *p++ = '\\';
        } else if (ch <= 0xFF) {
            *p++ = '%';
            *p++ = kHexDigits[ch / 16];
            *p++ = kHexDigits[ch % 16];
        } else {
            *p++ = '%';
            *p++ = 'U';
            p = hex4(p, ch);
        }
    }
    return p;
}

// The escapes QSettings writes: \n \t \" \\ and the like, \x followed by hex
// digits and \0 to \7 followed by octal ones. An unknown escape is kept as
// written, backslash and all.
qsizetype unescapeOne(QStringView raw, qsizetype i, QString& out)
{
    if (i + 1 >= raw.size()) {
        out += u'\\';
        return i + 1;
    }
    const QChar c = raw.at(i + 1);
    static constexpr std::pair<char16_t, char16_t> kNamed[] = {
        {u'a', u'\a'}, {u'b', u'\b'}, {u'f', u'\f'},  {u'n', u'\n'}, {u'r', u'\r'},  {u't', u'\t'},
        {u'v', u'\v'}, {u'"', u'"'},  {u'\'', u'\''}, {u'?', u'?'},  {u'\\', u'\\'},
    };
    for (const auto& [escape, meaning] : kNamed) {
        if (c == escape) {
            out += QChar(meaning);
            return i + 2;
        }
    }
    if (c == u'x' && i + 2 < raw.size() && isHex(raw.at(i + 2))) {
        uint code = 0;
        qsizetype j = i + 2;
        while (j < raw.size() && isHex(raw.at(j))) {
            code = (code << 4) + static_cast<uint>(hexValue(raw.at(j)));
            ++j;
        }
        out += QChar(static_cast<char16_t>(code));
        return j;
    }
    if (c >= u'0' && c <= u'7') {
        uint code = 0;
        qsizetype j = i + 1;
        while (j < raw.size() && raw.at(j) >= u'0' && raw.at(j) <= u'7') {
            code = (code << 3) + (raw.at(j).unicode() - u'0');
            ++j;
        }
        out += QChar(static_cast<char16_t>(code));
        return j;
    }
    out += u'\\';
    out += c;
    return i + 2;
}

QString unescapeValue(QStringView raw)
{
    raw = raw.trimmed();
    QString out;
    qsizetype i = 0;
    while (i < raw.size()) {
        if (raw.at(i) == u'"') {
            // A quoted part: everything up to the closing quote, blanks,
            // commas and semicolons included.
            ++i;
            while (i < raw.size() && raw.at(i) != u'"') {
                if (raw.at(i) == u'\\') {
                    i = unescapeOne(raw, i, out);
                } else {
                    out += raw.at(i++);
                }
            }
            ++i;
        } else if (raw.at(i) == u'\\') {
            i = unescapeOne(raw, i, out);
        } else {
            out += raw.at(i++);
        }
    }
    // QSettings marks a text that starts with "@" by doubling it.
    if (out.startsWith(QStringLiteral("@@"))) {
        out.remove(0, 1);
    } else if (out == QStringLiteral("@Invalid()")) {
        out.clear();
    } else if (out.startsWith(QStringLiteral("@String(")) && out.endsWith(u')')) {
        out = out.mid(8, out.size() - 9);
    }
    return out;
}

// Whether the unit at i is half of a surrogate pair that is not whole: a
// byte of a file name that is not text is carried as one of those.
bool loneSurrogate(QStringView value, qsizetype i)
{
    const char16_t ch = value.at(i).unicode();
    if (QChar::isLowSurrogate(ch)) {
        return true;
    }
    return QChar::isHighSurrogate(ch) &&
           (i + 1 >= value.size() || !QChar::isLowSurrogate(value.at(i + 1).unicode()));
}

// A value as QSettings writes it: escapes for control characters, quotes
// and backslashes; in quotes when it holds a separator or starts or ends
// with a blank; a leading "@" doubled.
void writeValue(Output& out, QStringEncoder& utf8, QStringView text)
{
    const bool marked = text.startsWith(u'@');
    char* p = out.room((static_cast<std::size_t>(text.size()) + 1) * kMostPerUnit + 2);
    char* const first = p;
    *p++ = '"'; // kept only when the value needs quotes
    if (marked) {
        *p++ = '@';
    }
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    // The characters from plain on need no escape and are not written yet:
    // they go as UTF-8 in one piece before the next escape.
    qsizetype plain = 0;
    const auto escape = [&](qsizetype i) {
        p = utf8.appendToBuffer(p, text.sliced(plain, i - plain));
        plain = i + 1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch == u';' || ch == u',' || ch == u'=') {
            needsQuotes = true;
        }
        if (escapeNextIfDigit && isHex(QChar(ch))) {
            escape(i);
            p = hexEscape(p, ch);
            continue;
        }
        escapeNextIfDigit = false;
        char named = 0;
        switch (ch) {
        case u'\0':
            named = '0';
            escapeNextIfDigit = true;
            break;
        case u'\a':
            named = 'a';
            break;
        case u'\b':
            named = 'b';
            break;
        case u'\f':
            named = 'f';
            break;
        case u'\n':
            named = 'n';
            break;
        case u'\r':
            named = 'r';
            break;
        case u'\t':
            named = 't';
            break;
        case u'\v':
            named = 'v';
            break;
        case u'"':
        case u'\\':
            named = static_cast<char>(ch);
            break;
        default:
            break;
        }
        if (named != 0) {
            escape(i);
            *p++ = '\\';
            *p++ = named;
        } else if (ch <= 0x1F || loneSurrogate(text, i)) {
            // A lone surrogate has no UTF-8: its code keeps it (QSettings
            // would write a replacement character instead).
            escape(i);
            p = hexEscape(p, ch);
            escapeNextIfDigit = true;
        } else if (QChar::isHighSurrogate(ch)) {
            ++i; // with its low half
        }
    }
    escape(text.size());
    const char* const body = first + 1;
    if (needsQuotes || (p > body && (*body == ' ' || p[-1] == ' '))) {
        *p++ = '"';
        out.done(p);
        return;
    }
    // No quotes: the value moves back over the opening one.
    std::memmove(first, body, static_cast<std::size_t>(p - body));
    out.done(p - 1);
}

} // namespace

IniFile IniFile::parse(const QByteArray& bytes)
{
    IniFile file;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString section = QStringLiteral("General");
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString whole = lines.at(n);
        // A line ending in an odd number of backslashes goes on on the next.
        const auto continues = [](const QString& l) {
            const qsizetype last = l.size() - 1;
            qsizetype i = last;
            while (i >= 0 && l.at(i) == u'\\') {
                --i;
            }
            return (last - i) % 2 == 1;
        };
        while (continues(whole) && n + 1 < lines.size()) {
            whole.chop(1);
            whole += lines.at(++n);
        }
        const QStringView line = QStringView(whole).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = unescapeKey(line.mid(1, line.size() - 2).trimmed());
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            continue;
        }
        file.setValue(section, unescapeKey(line.left(equals).trimmed()), unescapeValue(line.mid(equals + 1)));
    }
    return file;
}

bool IniFile::writeTo(const WriteBytes& put) const
{
    Output out(put);
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const auto write = [&out](QStringView key, char after) {
        char* p = writeKey(out.room(static_cast<std::size_t>(key.size()) * kMostPerUnit + 1), key);
        *p++ = after;
        out.done(p);
    };
    const auto endLine = [&out] {
        char* p = out.room(1);
        *p++ = '\n';
        out.done(p);
    };
    for (const Section& section : sections_) {
        if (section.keys.empty()) {
            continue;
        }
        if (!out.empty()) {
            endLine();
        }
        char* p = out.room(1);
        *p++ = '[';
        out.done(p);
        write(section.name, ']');
        endLine();
        for (const auto& [key, value] : section.keys) {
            if (out.failed()) {
                return false;
            }
            write(key, '=');
            writeValue(out, utf8, value);
            endLine();
        }
    }
    return out.finish();
}

QByteArray IniFile::text() const
{
    QByteArray text;
    writeTo([&text](const char* data, std::size_t size) {
        text.append(data, static_cast<qsizetype>(size));
        return true;
    });
    return text;
}

// ------------------------------------------------------------- the index

namespace {

std::uint32_t hashOf(QStringView key)
{
    std::uint32_t h = 2166136261U; // FNV-1a over the UTF-16 units
    for (const QChar c : key) {
        h = (h ^ c.unicode()) * 16777619U;
    }
    // Mixed, so that the low bits that pick a slot depend on every unit.
    h ^= h >> 16;
    h *= 0x85EBCA6BU;
    h ^= h >> 13;
    h *= 0xC2B2AE35U;
    return h ^ (h >> 16);
}

} // namespace

std::size_t IniFile::KeyIndex::find(const Keys& keys, QStringView key) const
{
    if (slots_.empty()) {
        return kMissing;
    }
    const std::uint32_t hash = hashOf(key);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.place == 0) {
            return kMissing;
        }
        if (slot.hash == hash && slot.place - 1 < keys.size() && keys[slot.place - 1].first == key) {
            return slot.place - 1;
        }
    }
}

void IniFile::KeyIndex::add(const Keys& keys, std::size_t place)
{
    if ((used_ + 1) * 2 > slots_.size()) {
        grow(std::max<std::size_t>(16, slots_.size() * 2));
    }
    const std::uint32_t hash = hashOf(keys[place].first);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].place != 0) {
        i = (i + 1) & mask;
    }
    slots_[i] = {hash, static_cast<std::uint32_t>(place + 1)};
    ++used_;
}

void IniFile::KeyIndex::clear()
{
    std::fill(slots_.begin(), slots_.end(), Slot{});
    used_ = 0;
}

void IniFile::KeyIndex::grow(std::size_t slots)
{
    std::vector<Slot> old(slots, Slot{});
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.place != 0) {
            std::size_t i = slot.hash & mask;
            while (slots_[i].place != 0) {
                i = (i + 1) & mask;
            }
            slots_[i] = slot;
        }
    }
}

// ------------------------------------------------------------------ keys

const QString* IniFile::value(const QString& section, const QString& key) const
{
    const Section* s = find(*this, section);
    if (s == nullptr) {
        return nullptr;
    }
    const std::size_t at = s->where.find(s->keys, key);
    return at == KeyIndex::kMissing ? nullptr : &s->keys[at].second;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = find(*this, section);
    if (s == nullptr) {
        s = &sections_.emplace_back(Section{section, {}, {}, {}});
    }
    if (!s->previous.empty()) {
        const std::size_t place = s->keys.size();
        if (place < s->previous.size() && s->previous[place].first == key) {
            // The old keys are all different, so this one is not set yet.
            s->keys.emplace_back(std::move(s->previous[place].first), value);
            s->previous[place].second.clear();
            return;
        }
        // From here on the keys differ. Those set so far are in the index
        // at their places, as before the removal; the old keys' slots would
        // only be in the way now.
        s->previous.clear();
        s->where.clear();
        for (std::size_t i = 0; i < s->keys.size(); ++i) {
            s->where.add(s->keys, i);
        }
    }
    const std::size_t at = s->where.find(s->keys, key);
    if (at != KeyIndex::kMissing) {
        s->keys[at].second = value;
        return;
    }
    s->keys.emplace_back(key, value);
    s->where.add(s->keys, s->keys.size() - 1);
}

void IniFile::removeSection(const QString& section)
{
    // The section is emptied where it is, its keys kept aside to be taken
    // over, and its lists keep their room.
    Section* s = find(*this, section);
    if (s != nullptr) {
        std::swap(s->keys, s->previous);
        s->keys.clear();
        s->keys.reserve(s->previous.size());
    }
}

} // namespace orvane::platform
