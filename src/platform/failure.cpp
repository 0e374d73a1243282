#include "platform/failure.h"

#include <cstring>
#include <limits>

namespace orvane::platform {

namespace {

struct CheckEntry {
    Check check;
    std::int32_t number;
    const char* description;
};

constexpr CheckEntry kChecks[] = {
    {Check::Overflow, 6, "Overflow"},
    {Check::OutOfRange, 9, "Subscript out of range"},
    {Check::NotANumber, 13, "Type mismatch"},
    {Check::FileNotFound, 53, "File not found"},
    {Check::FolderNotFound, 76, "Path not found"},
    {Check::InvalidValue, 380, "Invalid property value"},
};

} // namespace

Failure::Failure(std::int32_t number, QString description)
    : number_(number), description_(std::move(description)),
      what_(QStringLiteral("%1 (%2)").arg(description_).arg(number_).toStdString())
{
}

Failure failureFor(Check check)
{
    for (const auto& entry : kChecks) {
        if (entry.check == check) {
            return {entry.number, QString::fromLatin1(entry.description)};
        }
    }
    return {5, QStringLiteral("Invalid procedure call")};
}

void fail(Check check)
{
    throw failureFor(check);
}

Failure systemFailure(int errorNumber)
{
    return {errorNumber, QString::fromLocal8Bit(std::strerror(errorNumber))};
}

std::int16_t to16(long long value)
{
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        fail(Check::Overflow);
    }
    return static_cast<std::int16_t>(value);
}

std::int16_t add16(std::int16_t a, std::int16_t b)
{
    return to16(static_cast<long long>(a) + b);
}

std::int16_t sub16(std::int16_t a, std::int16_t b)
{
    return to16(static_cast<long long>(a) - b);
}

} // namespace orvane::platform
