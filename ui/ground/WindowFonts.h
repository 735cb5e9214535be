#pragma once

#include <QFont>

namespace Corvane {

// The window's named fonts. Each asks for its family first and gives Qt free look-alikes to fall
// back on, so that a Linux desktop without those fonts keeps the intended look.
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
