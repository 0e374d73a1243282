#pragma once

// Scripted stand-ins for the desktop, so that the program's logic runs
// headless: every box is recorded with all its fields and answered from a
// script; a box the script did not expect fails the test.

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <variant>

#include "platform/failure.h"
#include "platform/services.h"

namespace orvane::test {

// A file's bytes (none when it cannot be read).
inline QByteArray readFile(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// A file written with these bytes, its folders made; false when it could not be.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return QDir().mkpath(QFileInfo(path).path()) && out.open(QIODevice::WriteOnly) &&
           out.write(bytes) == bytes.size();
}

// The arguments the argument stub wrote to a file.
inline QStringList stubArguments(const QString& path)
{
    if (!QFile::exists(path))
        return {QStringLiteral("<nothing written>")};
    QStringList written = QString::fromUtf8(readFile(path)).split(QChar(u'\0'));
    written.removeLast(); // each argument ends with a NUL: nothing follows the last one
    return written;
}

// Thrown where the program would end at once.
struct ProgramEnded {
    int exitCode;
};

struct ShownBox {
    enum class Kind { Message, Input, File } kind;
    platform::MessageRequest message; // a message box, or
    platform::InputRequest input;     // an input box (a prompt), or
    platform::FileOpenRequest file;   // the file dialog (a filter)
    // The message, the prompt, or the filter.
    [[nodiscard]] QString text() const
    {
        return kind == Kind::Message ? message.text : kind == Kind::Input ? input.prompt : file.filter;
    }
    // Its title, help file and help number, as "Orvane orvane.hlp 8".
    [[nodiscard]] QString help() const
    {
        const bool isInput = kind == Kind::Input;
        return QStringLiteral("%1 %2 %3")
            .arg(isInput ? input.title : message.title, isInput ? input.helpFile : message.helpFile)
            .arg(isInput ? input.helpNumber : message.helpNumber);
    }
};

class ScriptedDialogs final : public platform::Dialogs {
    using Answer = platform::Answer;
    using Kind = ShownBox::Kind;
    using MessageRequest = platform::MessageRequest;
    using InputRequest = platform::InputRequest;
    using FileRequest = platform::FileOpenRequest;
    using Chosen = std::optional<QString>; // a file, or none when cancelled
    // A message box's answer, an input box's text, or the file chosen: by the Kind of box.
    using Step = std::variant<Answer, QString, Chosen>;
    QList<Step> script_;

    // Records the box; the step scripted for it, or a readable failure.
    Step next(const ShownBox& box)
    {
        shown.append(box);
        const bool yesNo = box.message.buttons == platform::Buttons::YesNo;
        if (script_.isEmpty() || script_.first().index() != static_cast<std::size_t>(box.kind) ||
            (box.kind == Kind::Message && yesNo == (std::get<Answer>(script_.first()) == Answer::Ok))) {
            const std::string what = "unexpected box: \"" + box.text().toStdString() + '"';
            std::fprintf(stderr, "SCRIPT: %s\n", what.c_str());
            throw std::logic_error(what);
        }
        return script_.takeFirst();
    }

public:
    // The next answers, in the order the boxes are expected.
    ScriptedDialogs& answer(Answer answer) { return script_.append(answer), *this; }
    ScriptedDialogs& type(const QString& text) { return script_.append(text), *this; }
    ScriptedDialogs& choose(const QString& path) { return script_.append(Chosen(path)), *this; }
    ScriptedDialogs& cancelFile() { return script_.append(Chosen()), *this; }

    Answer message(const MessageRequest& r) override { return std::get<0>(next({Kind::Message, r, {}, {}})); }
    QString input(const InputRequest& r) override { return std::get<1>(next({Kind::Input, {}, r, {}})); }
    Chosen openFile(const FileRequest& r) override { return std::get<2>(next({Kind::File, {}, {}, r})); }

    QList<ShownBox> shown;
    [[nodiscard]] int pending() const { return static_cast<int>(script_.size()); }
    [[nodiscard]] QStringList texts() const
    {
        QStringList out;
        for (const auto& box : shown)
            out.append(box.text());
        return out;
    }
};

class FakeStarter final : public platform::ProgramStarter {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    void start(const QString& program, const QStringList& arguments) override
    {
        if (program.isEmpty() || failing.contains(program))
            throw platform::Failure(2, QStringLiteral("No such file or directory"));
        started.append({program, arguments});
    }
    QList<Start> started;
    QStringList failing; // programs that cannot start
};

class FakeAssociations final : public platform::Associations {
public:
    std::optional<QString> associatedApp(const QString& file) override
    {
        const QString ext = QFileInfo(file).completeSuffix().toLower(); // all after the name's first dot
        return apps.contains(ext) ? std::optional(apps[ext]) : std::nullopt;
    }
    QMap<QString, QString> apps; // extension (lower case) to application
};

class TestDesktop final : public platform::Desktop {
public:
    std::int64_t fileLength(const QString& path) override
    {
        if (path.isEmpty() || !QFileInfo(path).isFile())
            platform::fail(platform::Check::FileNotFound);
        return QFileInfo(path).size();
    }
    int screenWidthTwips() override { return screenWidth; }
    int screenHeightTwips() override { return screenHeight; }
    void processEvents() override {}
    [[noreturn]] void endNow(int exitCode) override { throw ProgramEnded{exitCode}; }

    int screenWidth = 1024 * 15, screenHeight = 768 * 15;
};

} // namespace orvane::test
