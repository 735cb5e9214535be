// The window's named fonts, and the design cell measured from a font.

#include "WindowFonts.h"
#include "DesignScale.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Corvane::DesignScale;
using Corvane::WindowFonts;

QStringList sorted(QStringList list) {
    std::sort(list.begin(), list.end());
    return list;
}

// Each font names its family and the same look-alikes, and Qt gives it the font that the
// families in their own order give; named first is a family the database has (the test
// machines have DejaVu).
TEST(WindowFonts, ResolveAsTheirFamiliesInTheirOwnOrder) {
    struct Case {
        QFont font;
        QStringList asked;
    };
    const Case cases[] = {
        {WindowFonts::consolas(9.75), {"Consolas", "DejaVu Sans Mono", "Liberation Mono"}},
        {WindowFonts::courierNew(7.9), {"Courier New", "Liberation Mono", "DejaVu Sans Mono"}},
        {WindowFonts::microsoftSansSerif(8.25),
         {"Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"}},
    };
    const QStringList installed = QFontDatabase::families();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.first().toStdString());
        EXPECT_EQ(sorted(c.font.families()), sorted(c.asked));
        QFont inOrder;
        inOrder.setFamilies(c.asked);
        inOrder.setStyleHint(c.font.styleHint());
        inOrder.setPointSizeF(c.font.pointSizeF());
        EXPECT_EQ(QFontInfo(c.font).family(), QFontInfo(inOrder).family());
        EXPECT_TRUE(installed.contains(c.font.families().first()));
    }
}

// Measured in turns, so that a cell remembered for one font is never handed to another.
TEST(DesignScale, EachFontKeepsItsOwnCell) {
    QFont small = QApplication::font();
    small.setPointSizeF(8);
    QFont large = small;
    large.setPointSizeF(16);
    for (int round = 0; round < 2; ++round) {
        const DesignScale smallCell(small);
        const DesignScale largeCell(large);
        EXPECT_GT(largeCell.factorX(), 1.5 * smallCell.factorX()) << round;
        EXPECT_GT(largeCell.factorY(), 1.5 * smallCell.factorY()) << round;
    }
}

} // namespace
