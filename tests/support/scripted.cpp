#include "support/scripted.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <stdexcept>

#include "platform/failure.h"

namespace orvane::test {

QStringList strings(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out.append(QString::fromUtf8(item));
    return out;
}

QByteArray readFile(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return QDir().mkpath(QFileInfo(path).path()) && out.open(QIODevice::WriteOnly) &&
           out.write(bytes) == bytes.size();
}

QStringList stubArguments(const QString& path)
{
    if (!QFile::exists(path))
        return {QStringLiteral("<nothing written>")};
    QStringList written = QString::fromUtf8(readFile(path)).split(QChar(u'\0'));
    written.removeLast(); // each argument ends with a NUL: nothing follows the last one
    return written;
}

QString ShownBox::text() const
{
    return kind == Kind::Message ? message.text : kind == Kind::Input ? input.prompt : file.filter;
}

QString ShownBox::help() const
{
    const bool isInput = kind == Kind::Input;
    return QStringLiteral("%1 %2 %3")
        .arg(isInput ? input.title : message.title, isInput ? input.helpFile : message.helpFile)
        .arg(isInput ? input.helpNumber : message.helpNumber);
}

ScriptedDialogs& ScriptedDialogs::push(Step step)
{
    script_.push_back(std::move(step));
    return *this;
}

// The scripted answer for a box, or a readable failure when the program
// showed a box the test did not expect.
ScriptedDialogs::Step ScriptedDialogs::next(Kind kind, const ShownBox& box)
{
    shown.append(box);
    const bool yesNo = box.message.buttons == platform::Buttons::YesNo;
    if (script_.empty() || script_.front().kind != kind ||
        (kind == Kind::Message && yesNo == (script_.front().answer == platform::Answer::Ok))) {
        const std::string what = QStringLiteral("unexpected box: \"%1\"").arg(box.text()).toStdString();
        std::fprintf(stderr, "SCRIPT: %s\n", what.c_str());
        throw std::logic_error(what);
    }
    Step step = script_.front();
    script_.pop_front();
    return step;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const auto& box : shown)
        out.append(box.text());
    return out;
}

platform::Answer ScriptedDialogs::message(const platform::MessageRequest& request)
{
    return next(Kind::Message, {Kind::Message, request, {}, {}}).answer;
}

QString ScriptedDialogs::input(const platform::InputRequest& request)
{
    return next(Kind::Input, {Kind::Input, {}, request, {}}).text.value_or(QString());
}

std::optional<QString> ScriptedDialogs::openFile(const platform::FileOpenRequest& request)
{
    return next(Kind::File, {Kind::File, {}, {}, request}).text;
}

void FakeStarter::start(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty() || failing.contains(program))
        throw platform::Failure(2, QStringLiteral("No such file or directory"));
    started.append({program, arguments});
}

std::optional<QString> FakeAssociations::associatedApp(const QString& file)
{
    const QString name = QFileInfo(file).fileName();
    const qsizetype dot = name.indexOf(u'.');
    const auto found = apps.constFind(dot < 0 ? QString() : name.mid(dot + 1).toLower());
    return found == apps.constEnd() ? std::nullopt : std::optional<QString>(*found);
}

std::int64_t TestDesktop::fileLength(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        platform::fail(platform::Check::FileNotFound);
    return info.size();
}

} // namespace orvane::test
