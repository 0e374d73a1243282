#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <sys/stat.h>

namespace orvane::platform {

// File names as the system keeps them are bytes, nearly always UTF-8. A
// name that is not (an old archive's "caf\xe9.txt") must still be listed,
// shown and opened with exactly its own bytes. So every byte that is not
// part of valid UTF-8 travels inside the program's strings as a lone low
// surrogate U+DC80..U+DCFF, a code point no valid text holds, and becomes
// the same byte again on its way back to the system.
[[nodiscard]] QString fromNativeName(QByteArrayView bytes);
[[nodiscard]] QByteArray toNativeName(QStringView name);

// A name as a user reads it: each carried byte shows as U+FFFD, the
// replacement character.
[[nodiscard]] QString readableName(const QString& name);

// stat() of the path's own bytes; false when it cannot be read.
[[nodiscard]] bool statPath(const QString& path, struct stat& status);

} // namespace orvane::platform
