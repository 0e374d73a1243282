#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace orvane::platform {

// A failure raised by a platform operation or by one of the program's own
// checks. It carries a 32-bit number and a description, which the error
// report shows to the user unchanged.
class Failure : public std::exception {
public:
    Failure(std::int32_t number, QString description);

    [[nodiscard]] std::int32_t number() const noexcept { return number_; }
    [[nodiscard]] const QString& description() const noexcept { return description_; }
    [[nodiscard]] const char* what() const noexcept override { return what_.c_str(); }

private:
    std::int32_t number_;
    QString description_;
    std::string what_;
};

// The program's own checks. Numbers and descriptions live in one table in
// failure.cpp so that every place raising the same kind of failure shows the
// same text.
enum class Check {
    Overflow,       // a 16-bit count or position went out of range
    OutOfRange,     // an index outside a list or the catalogue
    NotANumber,     // a text that should hold a number does not
    InvalidValue,   // a property set to a value it cannot take
    FolderNotFound, // a folder that does not exist or is not a folder
    FileNotFound,   // a file that does not exist or is not a file
};

[[noreturn]] void fail(Check check);
Failure failureFor(Check check);

// A failure built from an operating-system error number (errno on POSIX).
Failure systemFailure(int errorNumber);

// Checked 16-bit arithmetic: counts and positions are 16-bit signed.
std::int16_t add16(std::int16_t a, std::int16_t b);
std::int16_t sub16(std::int16_t a, std::int16_t b);
std::int16_t to16(long long value);

} // namespace orvane::platform
