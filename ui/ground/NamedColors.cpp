#include "NamedColors.h"

#include <array>
#include <cstddef>

namespace Corvane {
namespace {

struct Rgb {
    int r;
    int g;
    int b;
};

// In the order of NamedColor.
constexpr std::array<Rgb, 11> kColors{{
    {255, 255, 255}, // White
    {0, 0, 0},       // Black
    {0, 128, 0},     // Green
    {255, 0, 0},     // Red
    {128, 128, 128}, // Gray
    {128, 0, 128},   // Purple
    {255, 192, 203}, // Pink
    {255, 165, 0},   // Orange
    {165, 42, 42},   // Brown
    {0, 0, 255},     // Blue
    {255, 255, 0},   // Yellow
}};

static_assert(static_cast<std::size_t>(NamedColor::Yellow) + 1 == kColors.size());

} // namespace

QColor NamedColors::color(NamedColor name) {
    const Rgb& c = kColors.at(static_cast<std::size_t>(name));
    return QColor(c.r, c.g, c.b);
}

} // namespace Corvane
