// The window's ground: numbers in the user's locale, text at the unit boundary, design-pixel
// scaling and the small widget classes that turn toolkit events into the window's events.

#include "ButtonCheckBox.h"
#include "ClickLabel.h"
#include "DesignScale.h"
#include "DisplayRefresh.h"
#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "NumberText.h"
#include "UiTestSupport.h"
#include "UnitCodePage.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFont>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

using Corvane::NumberText;
using Corvane::UnitCodePage;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class Locale : public ::testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    static void use(QLocale::Language language, QLocale::Territory territory) {
        QLocale::setDefault(QLocale(language, territory));
    }
};

struct FormatCase {
    double value;
    const char* n2;
    const char* n1;
    const char* upToOne;
};

TEST_F(Locale, FormatsFollowThePointDecimalLocale) {
    use(QLocale::English, QLocale::UnitedStates);
    const FormatCase cases[] = {
        {1130, "1,130.00", "1,130.0", "1130"},
        {7.5, "7.50", "7.5", "7.5"},
        {10, "10.00", "10.0", "10"},
        {0, "0.00", "0.0", ""},
        {0.5, "0.50", "0.5", ".5"},
        {7.45, "7.45", "7.5", "7.5"},
        {-2.25, "-2.25", "-2.3", "-2.3"},
        {-0.001, "0.00", "0.0", ""},
        {1234567.891, "1,234,567.89", "1,234,567.9", "1234567.9"},
        {0.04, "0.04", "0.0", ""},
        {kNaN, "NaN", "NaN", ""},
        {kInf, "Infinity", "Infinity", ""},
        {-kInf, "-Infinity", "-Infinity", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(NumberText::n2(c.value).toStdString(), c.n2);
        EXPECT_EQ(NumberText::n1(c.value).toStdString(), c.n1);
        EXPECT_EQ(NumberText::upToOneDecimal(c.value).toStdString(), c.upToOne);
    }
}

TEST_F(Locale, FormatsFollowTheCommaDecimalLocale) {
    use(QLocale::German, QLocale::Germany);
    EXPECT_EQ(NumberText::n2(1130), "1.130,00");
    EXPECT_EQ(NumberText::n1(1130), "1.130,0");
    EXPECT_EQ(NumberText::upToOneDecimal(7.5), "7,5");
    EXPECT_EQ(NumberText::upToOneDecimal(1130), "1130");
    // Qt's own C locale omits group separators by default; the window groups anyway.
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(NumberText::n1(1130), "1,130.0");
}

struct ParseCase {
    const char* text;
    std::optional<double> value;
};

TEST_F(Locale, ParsingAcceptsGroupsOfThreeOnly) {
    use(QLocale::English, QLocale::UnitedStates);
    const ParseCase cases[] = {
        {"1,130.0", 1130},
        {"12,345,678", 12345678},
        {" 15 ", 15},
        {"7.5", 7.5},
        {"-2.5", -2.5},
        {"+3", 3},
        {".5", 0.5},
        {"5.", 5},
        {"1e3", 1000},
        {"2.5E-1", 0.25},
        {"1e-400", 0},
        {"7,5", std::nullopt},
        {"1130,0", std::nullopt},
        {"1,13", std::nullopt},
        {"1,1300", std::nullopt},
        {",130", std::nullopt},
        {"0,500", std::nullopt},
        {"1,,130", std::nullopt},
        {"1,130,", std::nullopt},
        {"1.130,5", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12a", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"1e999", std::nullopt},
        {"NaN", std::nullopt},
        {"Infinity", std::nullopt},
        {"0.5,1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NumberText::parse(QString::fromUtf8(c.text)), c.value);
    }
}

TEST_F(Locale, ParsingInACommaDecimalLocaleUsesItsOwnSeparators) {
    use(QLocale::German, QLocale::Germany);
    const ParseCase cases[] = {
        {"1.130,0", 1130},         {"7,5", 7.5}, {"12.345.678", 12345678}, {"7.5", std::nullopt},
        {"1,130.0", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NumberText::parse(QString::fromUtf8(c.text)), c.value);
    }
    // What the formats write reads back.
    for (const double v : {1130.0, 0.5, -1688.8, 12345678.9}) {
        EXPECT_EQ(NumberText::parse(NumberText::n1(v)), v);
    }
}

TEST_F(Locale, ParsingTakesAPlainSpaceWhereTheLocaleGroupsWithANarrowOne) {
    use(QLocale::French, QLocale::France);
    EXPECT_EQ(NumberText::parse(NumberText::n1(1130)), 1130);
    EXPECT_EQ(NumberText::parse(u"1 130,5"), 1130.5);
    EXPECT_EQ(NumberText::parse(u"7,5"), 7.5);
}

TEST(UnitCodePage, EveryByteRoundTripsAndMissingCharactersBecomeQuestionMarks) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(UnitCodePage::toUnit(UnitCodePage::fromUnit(all)), all);
    EXPECT_EQ(UnitCodePage::fromUnit("\x80\xE9\x9F"), QString::fromUtf8("\u20AC\u00E9\u0178"));
    EXPECT_EQ(UnitCodePage::toUnit(QString::fromUtf8("Pump \u2192 \U0001F600 \u0416")),
              "Pump ? ? ?");
    EXPECT_EQ(UnitCodePage::toUnit(QString::fromUtf16(u"a\0b", 3)), "a?b");
    EXPECT_EQ(UnitCodePage::toUnit(QString(70, QChar(u'\u00E9')), 61), std::string(61, '\xE9'));
}

TEST(DesignScale, ScalesTheDesignCellToTheFont) {
    const Corvane::DesignScale same = Corvane::DesignScale::identity();
    EXPECT_EQ(same.rect(7, 40, 82, 17), QRect(7, 40, 82, 17));

    QFont small;
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const Corvane::DesignScale a(small);
    const Corvane::DesignScale b(large);
    EXPECT_GT(a.factorX(), 0);
    EXPECT_NEAR(b.factorX() / a.factorX(), 2.0, 0.25);
    EXPECT_NEAR(b.factorY() / a.factorY(), 2.0, 0.25);
    // Neighbouring boxes keep their gap: the far edge is scaled, not the width alone.
    const QRect left = b.rect(96, 35, 45, 23);
    const QRect right = b.rect(148, 35, 50, 23);
    EXPECT_EQ(right.left() - (left.left() + left.width()), b.x(148) - b.x(141));
}

TEST(SmallWidgets, ButtonCheckBoxLeavesItsStateToTheProgram) {
    Corvane::ButtonCheckBox box(QStringLiteral("Group"));
    QSignalSpy toggled(&box, &QAbstractButton::toggled);
    QSignalSpy clicked(&box, &QAbstractButton::clicked);
    box.show();
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(toggled.count(), 0);
    box.setChecked(true);
    box.setChecked(true);
    EXPECT_EQ(toggled.count(), 1);
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_TRUE(box.isChecked());
}

TEST(SmallWidgets, ClickLabelReportsAClickOnReleaseOverIt) {
    Corvane::ClickLabel label;
    label.setText(QStringLiteral("Ch.1"));
    label.resize(82, 17);
    label.show();
    QSignalSpy clicked(&label, &Corvane::ClickLabel::clicked);
    QSignalSpy doubled(&label, &Corvane::ClickLabel::doubleClicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mousePress(&label, Qt::LeftButton);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(200, 200)); // dragged off
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseDClick(&label, Qt::LeftButton);
    EXPECT_EQ(doubled.count(), 1);
}

TEST(SmallWidgets, FocusEventsCountOnlyRealEntriesAndLeavings) {
    QWidget window;
    auto* edit = new Corvane::FocusLineEdit(&window);
    auto* list = new Corvane::DropDownList(&window);
    list->move(0, 40);
    list->addItems({QStringLiteral("AUTO"), QStringLiteral("MANUAL")});
    QSignalSpy gained(edit, &Corvane::FocusLineEdit::focusGained);
    QSignalSpy lost(edit, &Corvane::FocusLineEdit::focusLost);
    uitest::showActive(window); // the first control in the tab order gets the focus
    edit->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(gained.count(), 1);
    // A popup or another window taking the focus is no leaving, and coming back no entry.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(edit, &out);
        QFocusEvent in(QEvent::FocusIn, reason);
        QApplication::sendEvent(edit, &in);
    }
    EXPECT_EQ(gained.count(), 1);
    EXPECT_EQ(lost.count(), 0);
    QSignalSpy listGained(list, &Corvane::DropDownList::focusGained);
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(listGained.count(), 1);

    QSignalSpy opened(list, &Corvane::DropDownList::dropDownOpened);
    QSignalSpy closed(list, &Corvane::DropDownList::dropDownClosed);
    list->showPopup();
    EXPECT_TRUE(list->popupOpen());
    list->hidePopup();
    list->hidePopup();
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(closed.count(), 1);
}

TEST(SmallWidgets, DisplayRefreshWritesOnlyWhatChanged) {
    QLineEdit box;
    EXPECT_TRUE(Corvane::DisplayRefresh::setText(box, QStringLiteral("1.25")));
    EXPECT_FALSE(Corvane::DisplayRefresh::setText(box, QStringLiteral("1.25")));
    EXPECT_TRUE(Corvane::DisplayRefresh::setColors(box, Qt::green, Qt::white));
    EXPECT_FALSE(Corvane::DisplayRefresh::setColors(box, Qt::green, Qt::white));
    EXPECT_EQ(Corvane::DisplayRefresh::background(box), QColor(Qt::green));
    EXPECT_EQ(Corvane::DisplayRefresh::foreground(box), QColor(Qt::white));
    EXPECT_TRUE(Corvane::DisplayRefresh::setColors(box, Qt::green, Qt::black));
}

} // namespace
