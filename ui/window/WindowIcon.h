#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

namespace Corvane {

// The program's icon for its windows: pictures of the SVG icon rendered at build time
// (resources/RenderIcon.cpp) at the sizes a window manager is handed, kept as raw pixels, so
// that neither the SVG icon engine nor an image decoder is loaded to start.
class WindowIcon {
public:
    // Null when no picture can be read.
    static QIcon load();
    // The size a picture's name gives ("64x64.rgba"); invalid for any other name.
    static QSize sizeOf(const QString& name);
};

} // namespace Corvane
