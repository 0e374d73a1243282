#include "platform/inifile.h"

#include <QStringConverter>

#include <algorithm>
#include <cstring>

namespace orvane::platform {

// Qt's settings give no way to read or write a file's text but through a
// file of their own, read whole and kept in a tree of variants; they offer
// no durable save, and they split values at commas and drop the escapes
// they do not know, where a folder such as C:\Program Files needs its
// backslashes. So the format is read and written here, as they do it but
// for those points (see "Where the settings live" in the README).

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(char16_t c)
{
    return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
}

// The white space skipped before a line; a key loses all ASCII white space
// at its ends, a value its blanks and tabs only.
bool isLineSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One logical line of the file: from start, size bytes; equals is the
// place of its first "=" outside quotes, or -1.
struct Line {
    qsizetype start = 0;
    qsizetype size = 0;
    qsizetype equals = -1;
};

// The next line from pos on, as Qt's settings cut lines: a line ends at LF
// or CR outside quotes; a backslash takes the character after it (so one
// before a line end joins the next line); a line that starts with ";" is a
// comment, and outside quotes ";" ends a line before its "=". After the
// "=", Qt's settings end the value there too; here the value keeps the
// rest of its line. False at the end of the file.
bool nextLine(QByteArrayView data, qsizetype& pos, Line& line)
{
    const qsizetype size = data.size();
    qsizetype start = pos;
    while (start < size && isLineSpace(data[start])) {
        ++start;
    }
    qsizetype equals = -1;
    bool quoted = false;
    qsizetype i = start;
    while (i < size) {
        const char c = data[i++];
        if (c == '=') {
            if (!quoted && equals < 0) {
                equals = i - 1;
            }
        } else if (c == '\n' || c == '\r') {
            if (!quoted) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char next = data[i++];
                // CR LF and LF CR are one line end.
                if (i < size && ((next == '\n' && data[i] == '\r') || (next == '\r' && data[i] == '\n'))) {
                    ++i;
                }
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && i == start + 1) {
            while (i < size && data[i] != '\n' && data[i] != '\r') {
                ++i;
            }
            while (i < size && isLineSpace(data[i])) {
                ++i;
            }
            start = i;
        } else if (c == ';' && !quoted) {
            if (equals < 0) {
                --i;
                break;
            }
            while (i < size && data[i] != '\n' && data[i] != '\r') {
                ++i;
            }
            break;
        }
    }
    pos = i;
    line = {start, i - start, equals};
    return line.size > 0;
}

// The section a name's keys are in: the name up to its first "/", or "/"
// when that is empty.
QString sectionOf(const QString& name)
{
    const qsizetype slash = name.indexOf(u'/');
    return slash == 0 || name.isEmpty() ? QStringLiteral("/") : slash < 0 ? name : name.first(slash);
}

// A key or a section's name: "\" stands for "/", "%XX" and "%UXXXX" for
// the character of that code ("Type%20name%200" is "Type name 0").
QString unescapeKey(QByteArrayView raw)
{
    const QString text = QString::fromUtf8(raw);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c != u'%' || i == text.size() - 1) {
            out += c;
            ++i;
            continue;
        }
        const bool wide = text.at(i + 1) == u'U';
        const qsizetype first = i + (wide ? 2 : 1);
        const qsizetype digits = wide ? 4 : 2;
        bool ok = first + digits <= text.size();
        const ushort code = ok ? QStringView(text).sliced(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            out += u'%';
            ++i;
            continue;
        }
        out += QChar(code);
        i = first + digits;
    }
    return out;
}

// A value: in quotes or not, in parts or whole; escapes as in C (\n, \t,
// \", \\, \x and hex digits, \0 to \7 and octal digits); a backslash
// before a line end joins the lines. Blanks and tabs outside quotes are
// dropped at the ends. An escape Qt's settings do not know (\q, \x without
// a digit, a backslash at the end) is kept as written, backslash and all.
QString unescapeValue(QByteArrayView raw)
{
    static constexpr std::pair<char, char16_t> kNamed[] = {
        {'a', u'\a'}, {'b', u'\b'}, {'f', u'\f'}, {'n', u'\n'},  {'r', u'\r'},  {'t', u'\t'},
        {'v', u'\v'}, {'"', u'"'},  {'?', u'?'},  {'\'', u'\''}, {'\\', u'\\'},
    };
    // No byte gives more than one UTF-16 unit.
    QString out(raw.size(), Qt::Uninitialized);
    QChar* const begin = out.data();
    QChar* p = begin;
    // One decoder for the whole value, as Qt's settings read it: a
    // character may be split by an escape, and a byte-order mark before the
    // value's first text is dropped.
    QStringDecoder utf8(QStringDecoder::Utf8);
    bool quoted = false;
    bool everQuoted = false;
    const QChar* kept = begin; // what an escape gave is never dropped as a blank
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < raw.size() && isBlank(raw[i])) {
            ++i;
        }
    };
    skipBlanks();
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '"') {
            ++i;
            everQuoted = true;
            quoted = !quoted;
            if (!quoted) {
                skipBlanks();
            }
            continue;
        }
        if (c != '\\') {
            qsizetype end = i + 1;
            while (end < raw.size() && raw[end] != '\\' && raw[end] != '"') {
                ++end;
            }
            p = utf8.appendToBuffer(p, raw.sliced(i, end - i));
            i = end;
            continue;
        }
        const qsizetype escape = i++;
        const char e = i < raw.size() ? raw[i++] : '\0';
        const auto* named =
            std::find_if(std::begin(kNamed), std::end(kNamed), [e](const auto& n) { return n.first == e; });
        const auto hexAt = [&raw](qsizetype at) {
            return at < raw.size() && isHex(static_cast<uchar>(raw[at]));
        };
        const auto octalAt = [&raw](qsizetype at) {
            return at < raw.size() && raw[at] >= '0' && raw[at] <= '7';
        };
        if (named != std::end(kNamed)) {
            *p++ = QChar(named->second);
        } else if (e == 'x' && hexAt(i)) {
            char16_t code = 0; // wrapping at 16 bits, as in Qt's settings
            for (; hexAt(i); ++i) {
                code = static_cast<char16_t>((code << 4) + hexValue(static_cast<uchar>(raw[i])));
            }
            *p++ = QChar(code);
        } else if (e >= '0' && e <= '7') {
            auto code = static_cast<char16_t>(e - '0');
            for (; octalAt(i); ++i) {
                code = static_cast<char16_t>((code << 3) + (raw[i] - '0'));
            }
            *p++ = QChar(code);
        } else if (e == '\n' || e == '\r') {
            if (i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e) {
                ++i;
            }
        } else {
            p = utf8.appendToBuffer(p, raw.sliced(escape, i - escape));
        }
        kept = p;
    }
    if (!everQuoted) {
        while (p > kept && (p[-1] == u' ' || p[-1] == u'\t')) {
            --p;
        }
    }
    out.truncate(p - begin);
    // The marks Qt's settings give values of other types: of those, only a
    // text, an empty value and a text that starts with "@" mean text.
    if (out.startsWith(u'@') && out.endsWith(u')')) {
        if (out.startsWith(QLatin1StringView("@String("))) {
            return out.sliced(8).chopped(1);
        }
        if (out == QLatin1StringView("@Invalid()")) {
            return {};
        }
    }
    if (out.startsWith(QLatin1StringView("@@"))) {
        out.remove(0, 1);
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

// A key or a section's name as Qt's settings write it: "/" as "\", the
// rest but letters, digits and "_-." as %XX or %UXXXX. A "/" that ends a
// key is written "%2F", as "\" would take the "=" after it.
char* writeKey(char* p, QStringView key)
{
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t ch = key.at(i).unicode();
        if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
            ch == u'_' || ch == u'-' || ch == u'.') {
            *p++ = static_cast<char>(ch);
        } else if (ch == u'/' && i + 1 < key.size()) {
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

// A value as Qt's settings write it: escapes for control characters,
// quotes and backslashes; in quotes when it holds a separator or starts or
// ends with a blank, which a reader would drop; a leading "@" doubled.
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
    bool textYet = marked; // whether any character went out unescaped
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
        if (escapeNextIfDigit && isHex(ch)) {
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
        } else if (ch <= 0x1F || loneSurrogate(text, i) || (ch == 0xFEFF && !textYet)) {
            // A lone surrogate has no UTF-8: its code keeps it (Qt's
            // settings would write a replacement character instead). A
            // byte-order mark before any text would be dropped by a reader
            // (Qt's settings write it as it is, and lose it).
            escape(i);
            p = hexEscape(p, ch);
            escapeNextIfDigit = true;
        } else {
            textYet = true;
            if (QChar::isHighSurrogate(ch)) {
                ++i; // with its low half
            }
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

IniFile IniFile::parse(QByteArrayView bytes)
{
    IniFile file;
    // A byte-order mark before the first line does not keep it from being
    // a section's header; before a key it is part of the key, whose white
    // space at the start is then kept. So Qt's settings 6.4 read it.
    const bool marked = bytes.startsWith("\xef\xbb\xbf");
    // A section is named by its header up to the first "/"; the rest of
    // the header goes before each of its keys ("[Types\Old]" holds the key
    // "Old/A" of Types). In [General], and before any header, a key with a
    // "/" is the key after it in the section before it. Keys under an empty
    // name ("[]", "[\x]", "\x=") are in the section "/", which no one
    // reads, as Qt's settings give them no name to be read by.
    bool general = true;
    std::size_t current = file.place(QString());
    QString keyPrefix;
    qsizetype pos = 0;
    Line line;
    while (nextLine(bytes, pos, line)) {
        const QByteArrayView text = bytes.sliced(line.start, line.size);
        QByteArrayView header = text;
        if (marked && line.start == 0) {
            header = header.sliced(3);
            while (!header.isEmpty() && isLineSpace(header.front())) {
                header = header.sliced(1);
            }
        }
        if (header.startsWith('[')) {
            // The text after the closing bracket, if any, is not read.
            const qsizetype close = header.indexOf(']');
            const QByteArrayView raw = header.first(close < 0 ? header.size() : close).sliced(1).trimmed();
            general = raw.compare("general", Qt::CaseInsensitive) == 0;
            const QString name = general ? QString()
                                 : raw.compare("%general", Qt::CaseInsensitive) == 0
                                     ? QString::fromLatin1(raw.sliced(1))
                                     : unescapeKey(raw);
            const qsizetype slash = name.indexOf(u'/');
            current = file.place(general ? QString() : sectionOf(name));
            keyPrefix = slash < 0 ? QString() : name.sliced(slash + 1) + u'/';
            continue;
        }
        if (line.equals < 0) {
            continue; // neither a section nor a key
        }
        const qsizetype equals = line.equals - line.start;
        const QString key = unescapeKey(text.first(equals).trimmed());
        const QString value = unescapeValue(text.sliced(equals + 1));
        const qsizetype slash = general ? key.indexOf(u'/') : -1;
        if (slash >= 0) {
            const std::size_t named = file.place(sectionOf(key));
            set(file.sections_[named], key.sliced(slash + 1), value);
        } else {
            set(file.sections_[current], keyPrefix + key, value);
        }
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
    const auto writeText = [&out](QByteArrayView text) {
        char* p = out.room(static_cast<std::size_t>(text.size()));
        out.done(std::copy(text.begin(), text.end(), p));
    };
    for (const Section& section : sections_) {
        if (section.keys.empty()) {
            continue;
        }
        if (!out.empty()) {
            writeText("\n");
        }
        // The keys outside any section go under [General], and a section
        // of that name is told from them by a "%"; those of the section "/"
        // under an empty name.
        if (section.name.isEmpty()) {
            writeText("[General]\n");
        } else if (section.name == u"/") {
            writeText("[]\n");
        } else {
            writeText(section.name.compare(u"general", Qt::CaseInsensitive) == 0 ? "[%" : "[");
            write(section.name, ']');
            writeText("\n");
        }
        for (const auto& [key, value] : section.keys) {
            if (out.failed()) {
                return false;
            }
            write(key, '=');
            writeValue(out, utf8, value);
            writeText("\n");
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
    const std::size_t hash = qHash(key, QHashSeed::globalSeed());
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
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

const IniFile::Section* IniFile::find(const QString& section) const
{
    const auto at = sectionAt_.constFind(section);
    return at == sectionAt_.constEnd() ? nullptr : &sections_[*at];
}

std::size_t IniFile::place(const QString& section)
{
    const auto at = sectionAt_.constFind(section);
    if (at != sectionAt_.constEnd()) {
        return *at;
    }
    sectionAt_.insert(section, sections_.size());
    sections_.push_back(Section{section, {}, {}, {}});
    return sections_.size() - 1;
}

const QString* IniFile::value(const QString& section, const QString& key) const
{
    const Section* s = find(section);
    if (s == nullptr) {
        return nullptr;
    }
    const std::size_t at = s->where.find(s->keys, key);
    return at == KeyIndex::kMissing ? nullptr : &s->keys[at].second;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    set(sections_[place(section)], key, value);
}

void IniFile::set(Section& s, const QString& key, const QString& value)
{
    if (!s.previous.empty()) {
        const std::size_t place = s.keys.size();
        if (place < s.previous.size() && s.previous[place].first == key) {
            // The old keys are all different, so this one is not set yet.
            s.keys.emplace_back(std::move(s.previous[place].first), value);
            s.previous[place].second.clear();
            return;
        }
        // From here on the keys differ. Those set so far are in the index
        // at their places, as before the removal; the old keys' places
        // would only be in the way now.
        s.previous.clear();
        s.where.clear();
        for (std::size_t i = 0; i < s.keys.size(); ++i) {
            s.where.add(s.keys, i);
        }
    }
    const std::size_t at = s.where.find(s.keys, key);
    if (at != KeyIndex::kMissing) {
        s.keys[at].second = value;
        return;
    }
    s.keys.emplace_back(key, value);
    s.where.add(s.keys, s.keys.size() - 1);
}

void IniFile::removeSection(const QString& section)
{
    // The section is emptied where it is, its keys kept aside to be taken
    // over, and its lists keep their room.
    const auto at = sectionAt_.constFind(section);
    if (at != sectionAt_.constEnd()) {
        Section& s = sections_[*at];
        std::swap(s.keys, s.previous);
        s.keys.clear();
        s.keys.reserve(s.previous.size());
    }
}

} // namespace orvane::platform
