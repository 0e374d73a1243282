#include "support/scripted.h"

#include <QFileInfo>

#include <cstdio>

#include "platform/failure.h"

namespace orvane::test {

namespace {
const char* const kKindNames[] = {"message box", "input box", "file dialog"};
QString kindName(ShownBox::Kind kind)
{
    return QString::fromLatin1(kKindNames[static_cast<int>(kind)]);
}
} // namespace

QStringList strings(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items) {
        out.append(QString::fromUtf8(item));
    }
    return out;
}

ScriptError::ScriptError(const QString& message) : what_(message.toStdString())
{
    std::fprintf(stderr, "SCRIPT: %s\n", what_.c_str());
}

QString ShownBox::text() const
{
    return kind == Kind::Message ? message.text : kind == Kind::Input ? input.prompt : file.filter;
}

ScriptedDialogs& ScriptedDialogs::answer(platform::Answer answer)
{
    script_.push_back({ShownBox::Kind::Message, answer, {}, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::type(const QString& text)
{
    script_.push_back({ShownBox::Kind::Input, platform::Answer::Ok, text, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::choose(const QString& path)
{
    script_.push_back({ShownBox::Kind::File, platform::Answer::Ok, {}, path});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::cancelFile()
{
    script_.push_back({ShownBox::Kind::File, platform::Answer::Ok, {}, std::nullopt});
    return *this;
}

ScriptedDialogs::Step ScriptedDialogs::next(ShownBox::Kind kind, const QString& described)
{
    if (script_.empty() || script_.front().kind != kind) {
        const QString wanted = script_.empty() ? QStringLiteral("nothing") : kindName(script_.front().kind);
        throw ScriptError(QStringLiteral("expected %1 but the program showed a %2: \"%3\"")
                              .arg(wanted, kindName(kind), described));
    }
    Step step = script_.front();
    script_.pop_front();
    return step;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const auto& box : shown) {
        out.append(box.text());
    }
    return out;
}

platform::Answer ScriptedDialogs::message(const platform::MessageRequest& request)
{
    shown.append({ShownBox::Kind::Message, request, {}, {}});
    const Step step = next(ShownBox::Kind::Message, request.text);
    if ((request.buttons == platform::Buttons::YesNo) == (step.answer == platform::Answer::Ok)) {
        throw ScriptError(
            QStringLiteral("the scripted answer does not fit the buttons of \"%1\"").arg(request.text));
    }
    return step.answer;
}

QString ScriptedDialogs::input(const platform::InputRequest& request)
{
    shown.append({ShownBox::Kind::Input, {}, request, {}});
    return next(ShownBox::Kind::Input, request.prompt).text;
}

std::optional<QString> ScriptedDialogs::openFile(const platform::FileOpenRequest& request)
{
    shown.append({ShownBox::Kind::File, {}, {}, request});
    return next(ShownBox::Kind::File, request.filter).file;
}

void FakeStarter::start(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty() || failing.contains(program)) {
        throw platform::Failure(2, QStringLiteral("No such file or directory"));
    }
    started.append({program, arguments});
}

std::optional<QString> FakeAssociations::associatedApp(const QString& file)
{
    asked.append(file);
    const QString name = QFileInfo(file).fileName();
    const auto found =
        apps.constFind(name.contains(u'.') ? name.mid(name.indexOf(u'.') + 1).toLower() : QString());
    return found == apps.constEnd() ? std::nullopt : std::optional<QString>(*found);
}

std::int64_t TestDesktop::fileLength(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        platform::fail(platform::Check::FileNotFound);
    }
    return info.size();
}

void TestDesktop::endNow(int exitCode)
{
    throw ProgramEnded{exitCode};
}

} // namespace orvane::test
