#include "platform/masks.h"

namespace orvane::platform {

namespace {

// Classic wildcard match with backtracking on the last "*"; both texts are
// already case-folded.
bool wildcardMatch(QStringView mask, QStringView name)
{
    qsizetype m = 0;
    qsizetype n = 0;
    qsizetype starMask = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == u'*') {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*') {
        ++m;
    }
    return m == mask.size();
}

bool maskMatches(const QString& mask, const QString& name)
{
    if (wildcardMatch(mask, name)) {
        return true;
    }
    if (name.contains(u'.')) {
        return false;
    }
    // A name without a dot has an empty extension: "*." and "*.*" (and
    // "abc*." and the like) match it through their empty extension.
    if (mask.endsWith(u'.')) {
        return wildcardMatch(QStringView(mask).chopped(1), name);
    }
    if (mask.endsWith(QStringLiteral(".*"))) {
        return wildcardMatch(QStringView(mask).chopped(2), name);
    }
    return false;
}

} // namespace

FilePattern::FilePattern(const QString& pattern)
{
    if (pattern == kEmptyListPattern) {
        return;
    }
    const auto parts = pattern.split(u';', Qt::SkipEmptyParts);
    for (const auto& part : parts) {
        masks_.append(part.toCaseFolded());
    }
}

bool FilePattern::matches(const QString& name) const
{
    if (masks_.isEmpty()) {
        return false;
    }
    const QString folded = name.toCaseFolded();
    for (const auto& mask : masks_) {
        if (maskMatches(mask, folded)) {
            return true;
        }
    }
    return false;
}

} // namespace orvane::platform
