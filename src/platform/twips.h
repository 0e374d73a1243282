#pragma once

#include <QRect>

class QFont;

namespace orvane::platform {

// Screen positions are given in twips. Qt keeps logical DPI at 96 and scales
// by the device pixel ratio, so one logical pixel of the screen is 15 twips.
constexpr int kTwipsPerPixel = 15;

// How the windows' layouts, given in twips, become pixels. The scale follows
// the desktop's font, as layouts once followed the screen's logical
// resolution: the small dialog font of 7.5 pt (10 pixels at 96 dpi) gives 15
// twips a pixel, a larger font proportionally fewer, so that the windows grow
// with their text.
class TwipsScale {
public:
    constexpr TwipsScale() = default;
    constexpr explicit TwipsScale(double twipsPerPixel) : twipsPerPixel_(twipsPerPixel) {}

    static TwipsScale forFont(const QFont& font);

    [[nodiscard]] constexpr double twipsPerPixel() const { return twipsPerPixel_; }
    [[nodiscard]] constexpr int pixels(int twips) const { return static_cast<int>(twips / twipsPerPixel_); }
    [[nodiscard]] constexpr QRect rect(const QRect& twips) const
    {
        return {pixels(twips.left()), pixels(twips.top()), pixels(twips.width()), pixels(twips.height())};
    }
    // A slightly larger scale, for a font whose letters are wider than its
    // size suggests.
    [[nodiscard]] constexpr TwipsScale larger() const { return TwipsScale(twipsPerPixel_ * 0.95); }

private:
    double twipsPerPixel_ = kTwipsPerPixel;
};

} // namespace orvane::platform
