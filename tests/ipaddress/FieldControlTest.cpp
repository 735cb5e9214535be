#include "TestWindow.h"

#include <QFontMetrics>

using MarlinIPAddressControlLib::FieldControl;

namespace {

TEST(FieldControl, RangeLimitsStayOrderedAndPullTheValueIn) {
    FieldControl field;
    field.SetRangeUpper(100);
    field.SetRangeLower(200); // above the upper limit: stored as the upper limit
    EXPECT_EQ(field.RangeLower(), 100);
    EXPECT_EQ(field.Value(), 100); // blank reads as the lower limit
    EXPECT_TRUE(field.Blank());    // and stays blank
    field.SetRangeLower(0);
    field.SetRangeUpper(255);

    field.SetFieldText(QStringLiteral("40"));
    field.SetRangeLower(50);
    EXPECT_EQ(field.text(), QStringLiteral("50"));
    field.SetRangeUpper(20); // below the lower limit: stored as the lower limit
    EXPECT_EQ(field.RangeUpper(), 50);
    field.SetRangeLower(0);
    field.SetRangeUpper(30);
    EXPECT_EQ(field.text(), QStringLiteral("30"));
    EXPECT_EQ(field.ToString(), QStringLiteral("30"));
}

TEST(FieldControl, TakeFocusPlacesCaretAndSelection) {
    TestWindow w;
    FieldControl& field = w.field(1);
    field.SetFieldText(QStringLiteral("123"));
    field.TakeFocus(FieldControl::Direction::Forward, FieldControl::Selection::All);
    EXPECT_TRUE(field.hasFocus());
    EXPECT_EQ(field.selectedText(), QStringLiteral("123"));
    field.TakeFocus(FieldControl::Direction::Reverse, FieldControl::Selection::None);
    EXPECT_EQ(field.cursorPosition(), 3);
    EXPECT_FALSE(field.hasSelectedText());
    field.TakeFocus(FieldControl::Direction::Forward, FieldControl::Selection::None);
    EXPECT_EQ(field.cursorPosition(), 0);
    field.TakeFocus(FieldControl::Action::Trim);
    EXPECT_EQ(field.text(), QStringLiteral("12"));
    EXPECT_EQ(field.cursorPosition(), 2);
    field.TakeFocus(FieldControl::Action::Home);
    EXPECT_EQ(field.cursorPosition(), 0);
    field.TakeFocus(FieldControl::Action::End);
    EXPECT_EQ(field.cursorPosition(), 2);
}

TEST(FieldControl, ThreeWideDigitsFitWithoutScrolling) {
    TestWindow w;
    FieldControl& field = w.field(0);
    const QSize minimum = field.MinimumSize();
    EXPECT_GE(minimum.width(), QFontMetrics(field.font()).horizontalAdvance(QStringLiteral("333")));
    EXPECT_EQ(minimum.height(), QFontMetrics(field.font()).height());
    // With the text fully visible QLineEdit can place the caret at the far left for position 0.
    field.SetFieldText(QStringLiteral("888"));
    field.setCursorPosition(0);
    const int left = field.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    field.setCursorPosition(3);
    const int right = field.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    EXPECT_GE(right - left,
              QFontMetrics(field.font()).horizontalAdvance(QStringLiteral("888")) - 1);
    EXPECT_LE(right, field.width());
    EXPECT_GE(left, 0);
}

} // namespace
