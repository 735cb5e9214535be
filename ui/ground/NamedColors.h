#pragma once

#include <QColor>

#include <cstdint>

namespace Corvane {

// The window's named colours, the standard web colours of those names.
enum class NamedColor : std::uint8_t {
    White,
    Black,
    Green,
    Red,
    Gray,
    Purple,
    Pink,
    Orange,
    Brown,
    Blue,
    Yellow,
};

class NamedColors {
public:
    static QColor color(NamedColor name);
};

} // namespace Corvane
