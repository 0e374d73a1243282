#pragma once

#include <QString>
#include <QStringList>

namespace orvane::platform {

// A file-name pattern: one or more masks separated by ";". "*" stands for
// any run of characters and "?" for any one character; every other
// character stands for itself ("[" and blanks included), ignoring case.
// "*." matches names that have no dot, "*.*" every name, and the empty-list
// pattern "&.&" matches nothing.
class FilePattern {
public:
    explicit FilePattern(const QString& pattern = QString());

    [[nodiscard]] bool matches(const QString& name) const;
    [[nodiscard]] bool matchesNothing() const { return masks_.isEmpty(); }

private:
    QStringList masks_; // case-folded
};

// The pattern that empties a file list.
inline const QString kEmptyListPattern = QStringLiteral("&.&");

} // namespace orvane::platform
