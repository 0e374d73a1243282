#pragma once

#include <QRect>

namespace orvane::platform {

// Window layouts are given in twips. Qt keeps logical DPI at 96 and scales
// by the device pixel ratio, so one logical pixel is 15 twips.
constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

} // namespace orvane::platform
