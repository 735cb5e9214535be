#pragma once

#include <QFont>

namespace Corvane {

// The window's named fonts. Each names its family and free look-alikes for Qt to fall back on,
// so that a Linux desktop without those fonts keeps the intended look; the families installed
// are named first (looked up once, when the first font of the kind is built).
class WindowFonts {
public:
    // "Consolas": a monospace for script text.
    static QFont consolas(double pointSize);
    // "Courier New": a typewriter monospace for readings.
    static QFont courierNew(double pointSize);
    // "Microsoft Sans Serif": the plain dialog face.
    static QFont microsoftSansSerif(double pointSize);
};

} // namespace Corvane
