#include "WindowFonts.h"

#include <QStringList>

namespace Corvane {
namespace {

QFont named(const QStringList& families, QFont::StyleHint hint, double pointSize) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace

QFont WindowFonts::consolas(double pointSize) {
    return named({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                  QStringLiteral("Liberation Mono")},
                 QFont::Monospace, pointSize);
}

QFont WindowFonts::courierNew(double pointSize) {
    return named({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                  QStringLiteral("DejaVu Sans Mono")},
                 QFont::TypeWriter, pointSize);
}

QFont WindowFonts::microsoftSansSerif(double pointSize) {
    return named({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                  QStringLiteral("DejaVu Sans")},
                 QFont::SansSerif, pointSize);
}

} // namespace Corvane
