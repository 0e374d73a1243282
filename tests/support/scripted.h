#pragma once

// Scripted stand-ins for the desktop, so that the program's logic runs
// headless: every box is recorded with all its fields and answered from a
// script; a box the script did not expect fails the test.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <deque>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/services.h"

namespace orvane::test {

// A list of UTF-8 literals, for comparing texts compactly.
QStringList strings(std::initializer_list<const char*> items);

// Thrown by a scripted service when the program does something the test
// did not script; carries a readable account of it.
class ScriptError : public std::exception {
public:
    explicit ScriptError(const QString& message);
    [[nodiscard]] const char* what() const noexcept override { return what_.c_str(); }

private:
    std::string what_;
};

// Thrown where the program would end at once.
struct ProgramEnded {
    int exitCode;
};

struct ShownBox {
    enum class Kind { Message, Input, File };
    Kind kind;
    platform::MessageRequest message;
    platform::InputRequest input;
    platform::FileOpenRequest file;

    // The text shown: the message, the prompt, or the filter.
    [[nodiscard]] QString text() const;
};

class ScriptedDialogs final : public platform::Dialogs {
public:
    // The next answers, in the order the boxes are expected.
    ScriptedDialogs& answer(platform::Answer answer);
    ScriptedDialogs& type(const QString& text);
    ScriptedDialogs& choose(const QString& path);
    ScriptedDialogs& cancelFile();

    platform::Answer message(const platform::MessageRequest& request) override;
    QString input(const platform::InputRequest& request) override;
    std::optional<QString> openFile(const platform::FileOpenRequest& request) override;

    QList<ShownBox> shown;
    [[nodiscard]] int pending() const { return static_cast<int>(script_.size()); }
    // The texts of the boxes shown so far.
    [[nodiscard]] QStringList texts() const;

private:
    struct Step {
        ShownBox::Kind kind;
        platform::Answer answer = platform::Answer::Ok;
        QString text;
        std::optional<QString> file;
    };
    Step next(ShownBox::Kind kind, const QString& described);

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
    // Programs that fail to start.
    QStringList failing;
};

class FakeAssociations final : public platform::Associations {
public:
    std::optional<QString> associatedApp(const QString& file) override;
    // Extension (lower case, without dot) to application.
    QMap<QString, QString> apps;
    QStringList asked;
};

class TestDesktop final : public platform::Desktop {
public:
    std::int64_t fileLength(const QString& path) override;
    int screenWidthTwips() override { return screenWidth; }
    int screenHeightTwips() override { return screenHeight; }
    void processEvents() override { ++eventPasses; }
    [[noreturn]] void endNow(int exitCode) override;

    int screenWidth = 1024 * 15;
    int screenHeight = 768 * 15;
    int eventPasses = 0;
};

} // namespace orvane::test
