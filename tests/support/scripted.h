#pragma once

// Scripted stand-ins for the desktop, so that the program's logic runs
// headless: every box is recorded with all its fields and answered from a
// script; a box the script did not expect fails the test.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <deque>
#include <initializer_list>
#include <optional>

#include "platform/services.h"

namespace orvane::test {

// A list of UTF-8 literals, for comparing texts compactly.
QStringList strings(std::initializer_list<const char*> items);

// A file's bytes (none when it cannot be read); a file written with these
// bytes, its folders made (false when it could not be); the arguments the
// argument stub wrote to a file.
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);
QStringList stubArguments(const QString& path);

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
    [[nodiscard]] QString text() const;
    // Its title, help file and help number, as "Orvane orvane.hlp 8".
    [[nodiscard]] QString help() const;
};

class ScriptedDialogs final : public platform::Dialogs {
public:
    // The next answers, in the order the boxes are expected.
    ScriptedDialogs& answer(platform::Answer answer) { return push({answer, {}, Kind::Message}); }
    ScriptedDialogs& type(const QString& text) { return push({{}, text, Kind::Input}); }
    ScriptedDialogs& choose(const QString& path) { return push({{}, path, Kind::File}); }
    ScriptedDialogs& cancelFile() { return push({{}, std::nullopt, Kind::File}); }

    platform::Answer message(const platform::MessageRequest& request) override;
    QString input(const platform::InputRequest& request) override;
    std::optional<QString> openFile(const platform::FileOpenRequest& request) override;

    QList<ShownBox> shown;
    [[nodiscard]] int pending() const { return static_cast<int>(script_.size()); }
    [[nodiscard]] QStringList texts() const;

private:
    using Kind = ShownBox::Kind;
    struct Step {
        platform::Answer answer;
        std::optional<QString> text;
        Kind kind;
    };
    ScriptedDialogs& push(Step step);
    Step next(Kind kind, const ShownBox& box);

    std::deque<Step> script_;
};

class FakeStarter final : public platform::ProgramStarter {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    void start(const QString& program, const QStringList& arguments) override;
    QList<Start> started;
    QStringList failing; // programs that cannot start
};

class FakeAssociations final : public platform::Associations {
public:
    std::optional<QString> associatedApp(const QString& file) override;
    QMap<QString, QString> apps; // extension (lower case) to application
};

class TestDesktop final : public platform::Desktop {
public:
    std::int64_t fileLength(const QString& path) override;
    int screenWidthTwips() override { return screenWidth; }
    int screenHeightTwips() override { return screenHeight; }
    void processEvents() override {}
    [[noreturn]] void endNow(int exitCode) override { throw ProgramEnded{exitCode}; }

    int screenWidth = 1024 * 15;
    int screenHeight = 768 * 15;
};

} // namespace orvane::test
