#include "support/scripted.h"

#include <QFileInfo>

#include <cstdio>

#include "platform/failure.h"

namespace orvane::test {

namespace {

QString kindName(ShownBox::Kind kind)
{
    switch (kind) {
    case ShownBox::Kind::Message:
        return QStringLiteral("message box");
    case ShownBox::Kind::Input:
        return QStringLiteral("input box");
    case ShownBox::Kind::File:
        return QStringLiteral("file dialog");
    }
    return {};
}

} // namespace

ScriptError::ScriptError(const QString& message) : what_(message.toStdString())
{
    std::fprintf(stderr, "SCRIPT: %s\n", what_.c_str());
}

QString ShownBox::text() const
{
    switch (kind) {
    case Kind::Message:
        return message.text;
    case Kind::Input:
        return input.prompt;
    case Kind::File:
        return file.filter;
    }
    return {};
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
    if (script_.empty()) {
        throw ScriptError(QStringLiteral("unexpected %1: \"%2\"").arg(kindName(kind), described));
    }
    Step step = script_.front();
    if (step.kind != kind) {
        throw ScriptError(QStringLiteral("expected a %1 but the program showed a %2: \"%3\"")
                              .arg(kindName(step.kind), kindName(kind), described));
    }
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
    const bool fits = request.buttons == platform::Buttons::YesNo ? step.answer != platform::Answer::Ok
                                                                  : step.answer == platform::Answer::Ok;
    if (!fits) {
        throw ScriptError(
            QStringLiteral("scripted answer does not fit the buttons of \"%1\"").arg(request.text));
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
    const auto dot = name.indexOf(u'.');
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    const auto found = apps.constFind(ext);
    if (found == apps.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

std::int64_t TestDesktop::fileLength(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        platform::fail(platform::Check::FileNotFound);
    }
    return info.size();
}

void TestDesktop::endNow(int exitCode)
{
    throw ProgramEnded{exitCode};
}

} // namespace orvane::test
