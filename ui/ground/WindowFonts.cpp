#include "WindowFonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace Corvane {
namespace {

// The families as asked for, those the font database has moved to the front in their order.
// Qt takes the first family the database has either way; but for a first family it lacks it
// would first have the system's font configuration work out substitutes, for every size and
// weight used, before it tries the look-alikes that follow. With none of them installed the
// order is kept, so that Qt's own substitution for the first still decides.
QStringList installedFirst(const QStringList& families) {
    const QStringList known = QFontDatabase::families();
    const auto has = [&known](const QString& family) {
        for (const QString& name : known) {
            // A family offered by several foundries is listed as "Family [Foundry]".
            if (name.compare(family, Qt::CaseInsensitive) == 0 ||
                name.startsWith(family + QStringLiteral(" ["), Qt::CaseInsensitive)) {
                return true;
            }
        }
        return false;
    };
    QStringList installed;
    QStringList missing;
    for (const QString& family : families) {
        (has(family) ? installed : missing).append(family);
    }
    return installed.isEmpty() ? families : installed + missing;
}

QFont named(const QStringList& families, QFont::StyleHint hint, double pointSize) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace

QFont WindowFonts::consolas(double pointSize) {
    static const QStringList families =
        installedFirst({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                        QStringLiteral("Liberation Mono")});
    return named(families, QFont::Monospace, pointSize);
}

QFont WindowFonts::courierNew(double pointSize) {
    static const QStringList families =
        installedFirst({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                        QStringLiteral("DejaVu Sans Mono")});
    return named(families, QFont::TypeWriter, pointSize);
}

QFont WindowFonts::microsoftSansSerif(double pointSize) {
    static const QStringList families =
        installedFirst({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("DejaVu Sans")});
    return named(families, QFont::SansSerif, pointSize);
}

} // namespace Corvane
