#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QByteArray escapeKey(const QString& key)
{
    QByteArray out;
    for (const QChar c : key) {
        const char16_t ch = c.unicode();
        if (ch == u'/') {
            out += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
                   ch == u'_' || ch == u'-' || ch == u'.') {
            out += static_cast<char>(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += kHexDigits[ch / 16];
            out += kHexDigits[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHexDigits[(ch >> shift) & 0xF];
            }
        }
    }
    return out;
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

QByteArray escapeValue(const QString& text)
{
    const QString value = text.startsWith(u'@') ? u'@' + text : text;
    QByteArray out;
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t ch = value.at(i).unicode();
        if (ch == u';' || ch == u',' || ch == u'=') {
            needsQuotes = true;
        }
        if (escapeNextIfDigit && isHex(QChar(ch))) {
            out += "\\x";
            out += QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case u'\0':
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case u'\a':
            out += "\\a";
            break;
        case u'\b':
            out += "\\b";
            break;
        case u'\f':
            out += "\\f";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        case u'\v':
            out += "\\v";
            break;
        case u'"':
        case u'\\':
            out += '\\';
            out += static_cast<char>(ch);
            break;
        default:
            if (ch <= 0x1F) {
                out += "\\x";
                out += QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                qsizetype length = 1;
                if (QChar::isHighSurrogate(ch) && i + 1 < value.size()) {
                    length = 2;
                }
                out += QStringView(value).mid(i, length).toUtf8();
                i += length - 1;
            }
        }
    }
    if (needsQuotes || out.startsWith(' ') || out.endsWith(' ')) {
        out = '"' + out + '"';
    }
    return out;
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

QByteArray IniFile::text() const
{
    QByteArray out;
    for (const Section& section : sections_) {
        if (section.keys.empty()) {
            continue;
        }
        if (!out.isEmpty()) {
            out += '\n';
        }
        out += '[' + escapeKey(section.name) + "]\n";
        for (const auto& [key, value] : section.keys) {
            out += escapeKey(key) + '=' + escapeValue(value) + '\n';
        }
    }
    return out;
}

const QString* IniFile::value(const QString& section, const QString& key) const
{
    const Section* s = find(*this, section);
    if (s == nullptr) {
        return nullptr;
    }
    const auto at = s->where.constFind(key);
    return at == s->where.constEnd() ? nullptr : &s->keys[*at].second;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = find(*this, section);
    if (s == nullptr) {
        s = &sections_.emplace_back(Section{section, {}, {}});
    }
    const auto at = s->where.constFind(key);
    if (at != s->where.constEnd()) {
        s->keys[*at].second = value;
        return;
    }
    s->where.insert(key, s->keys.size());
    s->keys.emplace_back(key, value);
}

void IniFile::removeSection(const QString& section)
{
    std::erase_if(sections_, [&section](const Section& s) { return s.name == section; });
}

// ------------------------------------------------------------------ saving

FileCalls FileCalls::system()
{
    return {[](int fd, const char* data, std::size_t size) { return ::write(fd, data, size); },
            [](int fd) { return ::fsync(fd); },
            [](const char* from, const char* to) { return std::rename(from, to); }};
}

bool replaceFileDurably(const QString& path, const QByteArray& bytes, QString& error, const FileCalls& calls)
{
    const auto failed = [&error](int code) {
        error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    // A link stays a link: its target is what is replaced.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    }
    const QFileInfo targetInfo(target);
    const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray finalName = QFile::encodeName(targetInfo.absoluteFilePath());
    QByteArray temporary = finalName + ".XXXXXX";

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return failed(errno);
    }
    const auto abandon = [&](int code) {
        ::close(fd);
        ::unlink(temporary.constData());
        return failed(code);
    };
    // The new file keeps the old one's permissions.
    struct stat old {};
    if (::stat(finalName.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(bytes.size())) {
        const ssize_t n =
            calls.write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size()) - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return abandon(n == 0 ? EIO : errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (calls.fsync(fd) != 0) {
        return abandon(errno);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return failed(code);
    }
    if (calls.rename(temporary.constData(), finalName.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return failed(code);
    }
    // The rename itself lasts only once the folder is synced.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return failed(errno);
    }
    const int synced = calls.fsync(dir);
    const int code = errno;
    ::close(dir);
    return synced == 0 || failed(code);
}

} // namespace orvane::platform
