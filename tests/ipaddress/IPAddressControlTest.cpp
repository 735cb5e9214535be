#include "TestWindow.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>

#include <array>
#include <vector>

using MarlinIPAddressControlLib::BorderStyle;
using MarlinIPAddressControlLib::FieldChangedEventArgs;
using MarlinIPAddressControlLib::HostAddress;

namespace {

struct TypingCase {
    const char* keys;
    const char* field0;
    int caret;
    int focusedAfter;
};

class Typing : public ::testing::TestWithParam<TypingCase> {};

TEST_P(Typing, FillsTheFieldCorrectsItAndAdvancesOnlyWhenFull) {
    TestWindow w;
    w.control().SetText(QStringLiteral(".42.."));
    w.control().SetFieldFocus(0);
    w.type(QString::fromLatin1(GetParam().keys));
    EXPECT_EQ(w.field(0).text(), QString::fromLatin1(GetParam().field0));
    EXPECT_EQ(w.field(0).cursorPosition(), GetParam().caret);
    EXPECT_EQ(w.focusedField(), GetParam().focusedAfter);
    if (GetParam().focusedAfter == 1) {
        EXPECT_EQ(w.field(1).selectedText(), QStringLiteral("42"));
    }
}

INSTANTIATE_TEST_SUITE_P(IPAddressControl, Typing,
                         ::testing::Values(TypingCase{"192", "192", 3, 1},
                                           TypingCase{"300", "255", 0, 0},
                                           TypingCase{"007", "7", 1, 0},
                                           TypingCase{"1a-/", "1", 1, 0}));

TEST(IPAddressControlKeys, DotAndSpaceMoveOnOnlyFromAFilledFieldPastItsStart) {
    for (Qt::Key key : {Qt::Key_Period, Qt::Key_Space}) {
        TestWindow w;
        w.control().SetFieldFocus(0);
        w.press(key); // empty field: nothing
        EXPECT_EQ(w.focusedField(), 0);
        EXPECT_EQ(w.field(0).text(), QString());
        w.type(QStringLiteral("10"));
        w.press(Qt::Key_Left);
        w.press(Qt::Key_Left);
        w.press(key); // caret at the start: nothing
        EXPECT_EQ(w.focusedField(), 0);
        EXPECT_EQ(w.field(0).text(), QStringLiteral("10"));
        w.press(Qt::Key_Right);
        w.press(key);
        EXPECT_EQ(w.focusedField(), 1);
        EXPECT_EQ(w.control().Text(), QStringLiteral("10..."));
    }
    TestWindow w;
    w.control().SetText(QStringLiteral("10.20.."));
    w.control().SetFieldFocus(0);
    w.press(Qt::Key_End);
    w.control().SetFieldFocus(0);
    w.field(0).setCursorPosition(2);
    QTest::keyClick(&w.field(0), Qt::Key_Period, Qt::KeypadModifier);
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).selectedText(), QStringLiteral("20"));
}

TEST(IPAddressControlKeys, ArrowsCrossFieldEdgesAndCtrlSelectsTheNeighbour) {
    TestWindow w;
    w.control().SetText(QStringLiteral("12.34.56.78"));
    w.field(0).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::End);
    w.press(Qt::Key_Right); // at the end: next field, caret at its start
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).cursorPosition(), 0);
    EXPECT_FALSE(w.field(1).hasSelectedText());
    w.press(Qt::Key_Right); // inside: caret moves
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).cursorPosition(), 1);
    w.press(Qt::Key_Left);
    w.press(Qt::Key_Up); // Up at the start acts as Left: previous field, caret at its end
    EXPECT_EQ(w.focusedField(), 0);
    EXPECT_EQ(w.field(0).cursorPosition(), 2);
    w.field(0).setCursorPosition(1);
    w.press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).selectedText(), QStringLiteral("34"));
    w.press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(w.focusedField(), 2);
    w.press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).selectedText(), QStringLiteral("34"));
    w.field(3).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::End);
    w.press(Qt::Key_Right); // nothing after the last field
    EXPECT_EQ(w.focusedField(), 3);
    w.field(0).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::Home);
    w.press(Qt::Key_Left);
    EXPECT_EQ(w.focusedField(), 0);
}

TEST(IPAddressControlKeys, BackspaceAtTheStartTrimsThePreviousField) {
    TestWindow w;
    w.control().SetText(QStringLiteral("1.22.3."));
    w.field(2).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::Home);
    w.press(Qt::Key_Backspace);
    EXPECT_EQ(w.focusedField(), 1);
    EXPECT_EQ(w.field(1).text(), QStringLiteral("2"));
    EXPECT_EQ(w.field(1).cursorPosition(), 1);
    EXPECT_EQ(w.field(2).text(), QStringLiteral("3"));
    w.press(Qt::Key_Backspace); // ordinary deletion inside the field
    EXPECT_EQ(w.field(1).text(), QString());
    EXPECT_EQ(w.focusedField(), 1);
    w.press(Qt::Key_Backspace); // empty field: on into field 0
    EXPECT_EQ(w.focusedField(), 0);
    EXPECT_EQ(w.control().Text(), QStringLiteral("..3."));
    w.press(Qt::Key_Backspace); // nothing before the first field
    EXPECT_EQ(w.focusedField(), 0);
    EXPECT_EQ(w.control().Text(), QStringLiteral("..3."));
}

TEST(IPAddressControlKeys, ReadOnlyControlIsNeverEditedByKeysOrPaste) {
    TestWindow w;
    w.control().SetText(QStringLiteral("1.22.3.4"));
    w.control().SetReadOnly(true);
    w.field(2).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::Home);
    w.press(Qt::Key_Backspace);
    w.type(QStringLiteral("9"));
    QApplication::clipboard()->setText(QStringLiteral("5.6.7.8"));
    w.press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.control().Text(), QStringLiteral("1.22.3.4"));
}

TEST(IPAddressControlKeys, HomeAndEndJumpToTheOuterFields) {
    TestWindow w;
    w.control().SetText(QStringLiteral("1.22.33.44"));
    w.field(1).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::Home);
    w.press(Qt::Key_End);
    EXPECT_EQ(w.focusedField(), 3);
    EXPECT_EQ(w.field(3).cursorPosition(), 2);
    EXPECT_FALSE(w.field(3).hasSelectedText());
    w.press(Qt::Key_Home);
    EXPECT_EQ(w.focusedField(), 0);
    EXPECT_EQ(w.field(0).cursorPosition(), 0);
}

TEST(IPAddressControlKeys, ShiftedDigitEmptiesTheField) {
    TestWindow w;
    w.control().SetFieldFocus(0);
    w.type(QStringLiteral("12"));
    // The layout's shifted symbol.
    QTest::sendKeyEvent(QTest::Click, &w.field(0), Qt::Key_1, QStringLiteral("!"),
                        Qt::ShiftModifier);
    EXPECT_EQ(w.field(0).text(), QString());
}

TEST(IPAddressControlKeys, EnterAndEscapeReachTheDialogAroundTheControl) {
    TestWindow w;
    w.control().SetFieldFocus(1);
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&w.field(1), &event);
        EXPECT_FALSE(event.isAccepted()) << key;
    }
}

TEST(IPAddressControlPaste, DigitsGoIntoTheFieldAnythingElseFillsTheControl) {
    TestWindow w;
    w.control().SetText(QStringLiteral("1.2.3.4"));
    w.field(1).TakeFocus(MarlinIPAddressControlLib::FieldControl::Action::End);
    QApplication::clipboard()->setText(QStringLiteral("42"));
    w.press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.control().Text(), QStringLiteral("1.242.3.4"));
    EXPECT_EQ(w.focusedField(), 2); // three digits at the end: advanced

    QApplication::clipboard()->setText(QStringLiteral("172.16.5.4"));
    w.press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.control().Text(), QStringLiteral("172.16.5.4"));

    QApplication::clipboard()->setText(QStringLiteral("10.0.0.1000"));
    w.press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.control().Text(), QStringLiteral("10.0.0.255"));
}

class DropTest : public ::testing::Test {
protected:
    // Delivers enter and drop; returns whether each was accepted as a copy.
    std::pair<bool, bool> drop(QMimeData& data) {
        const QPointF at(5, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&w.control(), &enter);
        const bool entered = enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(&w.control(), &dropped);
        return {entered, dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction};
    }
    TestWindow w;
};

TEST_F(DropTest, TextIsCopiedInOtherDataAndReadOnlyRefused) {
    QMimeData text;
    text.setText(QStringLiteral("10.1.2.3"));
    EXPECT_EQ(drop(text), std::make_pair(true, true));
    EXPECT_EQ(w.control().Text(), QStringLiteral("10.1.2.3"));

    QMimeData image;
    image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
    EXPECT_EQ(drop(image), std::make_pair(false, false));
    EXPECT_EQ(w.control().Text(), QStringLiteral("10.1.2.3"));

    w.control().SetReadOnly(true);
    QMimeData other;
    other.setText(QStringLiteral("9.9.9.9"));
    EXPECT_EQ(drop(other), std::make_pair(false, false));
    EXPECT_EQ(w.control().Text(), QStringLiteral("10.1.2.3"));
}

struct ParseCase {
    const char* written;
    const char* text;
    const char* toString;
    std::array<std::uint8_t, 4> bytes;
};

class Parsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parsing, TextReadsBackFieldsAndValues) {
    TestWindow w;
    w.control().SetText(QStringLiteral("9.9.9.9"));
    w.control().SetText(QString::fromLatin1(GetParam().written));
    EXPECT_EQ(w.control().Text(), QString::fromLatin1(GetParam().text));
    EXPECT_EQ(w.control().ToString(), QString::fromLatin1(GetParam().toString));
    EXPECT_EQ(w.control().GetAddressBytes(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    IPAddressControl, Parsing,
    ::testing::Values(ParseCase{"1.2", "1.2..", "1.2.0.0", {1, 2, 0, 0}},
                      ParseCase{"192.168.1.10", "192.168.1.10", "192.168.1.10", {192, 168, 1, 10}},
                      ParseCase{"1.2.3.4.5", "1.2.3.", "1.2.3.0", {1, 2, 3, 0}},
                      ParseCase{"...", "...", "0.0.0.0", {0, 0, 0, 0}},
                      ParseCase{"10..1.", "10..1.", "10.0.1.0", {10, 0, 1, 0}},
                      ParseCase{"x1.007.+9.300", ".7.9.255", "0.7.9.255", {0, 7, 9, 255}},
                      // A negative number would otherwise stay in the field as it is.
                      ParseCase{"-5.-05.5.6", "0.0.5.6", "0.0.5.6", {0, 0, 5, 6}},
                      ParseCase{"", "...", "0.0.0.0", {0, 0, 0, 0}}));

TEST(IPAddressControlAddress, BytesAndAddressesFillOnlyFromIPv4) {
    TestWindow w;
    const std::array<std::uint8_t, 2> two{10, 20};
    w.control().SetAddressBytes(two);
    EXPECT_EQ(w.control().Text(), QStringLiteral("10.20.."));
    const std::array<std::uint8_t, 6> six{1, 2, 3, 4, 5, 6};
    w.control().SetAddressBytes(six);
    EXPECT_EQ(w.control().Text(), QStringLiteral("1.2.3.4"));
    w.control().SetAddressBytes({});
    EXPECT_TRUE(w.control().Blank());
    EXPECT_EQ(w.control().IPAddress(), HostAddress::FromIPv4({0, 0, 0, 0}));

    w.control().SetIPAddress(HostAddress::FromIPv4({192, 168, 1, 10}));
    EXPECT_EQ(w.control().Text(), QStringLiteral("192.168.1.10"));
    EXPECT_EQ(w.control().IPAddress().ToString(), QStringLiteral("192.168.1.10"));
    std::array<std::uint8_t, 16> v6{};
    v6[0] = 0x20;
    v6[15] = 1;
    w.control().SetIPAddress(HostAddress::FromIPv6(v6));
    EXPECT_TRUE(w.control().Blank());
    w.control().SetText(QStringLiteral("1.2.3.4"));
    w.control().SetIPAddress(std::nullopt);
    EXPECT_TRUE(w.control().Blank());
    w.control().SetText(QStringLiteral("1..3.4"));
    EXPECT_TRUE(w.control().AnyBlank());
    EXPECT_FALSE(w.control().Blank());
}

TEST(IPAddressControlRanges, TypingAndLeavingKeepTheFieldInItsRange) {
    TestWindow w;
    w.control().SetFieldRange(0, 150, 223);
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("100"), QStringLiteral("150")},
        {QStringLiteral("250"), QStringLiteral("223")},
        {QStringLiteral("15"), QStringLiteral("15")}};
    for (const auto& [keys, shown] : cases) {
        w.control().Clear();
        w.control().SetFieldFocus(0);
        w.type(keys);
        EXPECT_EQ(w.field(0).text(), shown) << keys.toStdString();
    }
    w.control().Clear();
    w.control().SetFieldFocus(0);
    w.type(QStringLiteral("5"));
    w.control().SetFieldFocus(2);
    EXPECT_EQ(w.field(0).text(), QStringLiteral("150"));
    EXPECT_EQ(w.control().ToString(), QStringLiteral("150.0.0.0"));
    w.control().Clear();
    EXPECT_EQ(w.control().ToString(),
              QStringLiteral("150.0.0.0")); // blank reads as the lower limit

    w.control().SetText(QStringLiteral("1.100.250.1"));
    w.control().SetFieldRange(1, 120, 255);
    w.control().SetFieldRange(2, 0, 200);
    w.control().SetFieldRange(4, 10, 20); // ignored
    w.control().SetFieldRange(-1, 10, 20);
    EXPECT_EQ(w.control().Text(), QStringLiteral("1.120.200.1"));
}

TEST(IPAddressControlLayout, ExtraWidthIsSpreadOverTheGaps) {
    for (BorderStyle style : {BorderStyle::Fixed3D, BorderStyle::FixedSingle, BorderStyle::None}) {
        TestWindow w;
        w.control().SetBorderStyle(style);
        const QSize minimum = w.control().MinimumSize();
        const int offset = style == BorderStyle::Fixed3D       ? 3
                           : style == BorderStyle::FixedSingle ? 2
                                                               : 0;
        int fields = 0;
        int height = 0;
        for (int i = 0; i < 4; ++i) {
            fields += w.field(i).MinimumSize().width();
            height = std::max(height, w.field(i).MinimumSize().height());
            EXPECT_EQ(w.field(i).size(), w.field(i).MinimumSize());
        }
        for (int i = 0; i < 3; ++i) {
            fields += w.dot(i).MinimumSize().width();
            height = std::max(height, w.dot(i).MinimumSize().height());
        }
        EXPECT_EQ(minimum.width(), fields + 2 * offset);
        EXPECT_GE(minimum.height(), height + 2 * offset);
        if (style == BorderStyle::None) {
            EXPECT_EQ(minimum.height(), height);
        }
        EXPECT_GE(w.control().width(), minimum.width());

        w.control().resize(minimum.width() + 10, minimum.height());
        const std::array<int, 8> gaps{2, 2, 1, 1, 1, 1, 1, 1};
        int x = offset;
        for (int i = 0; i < 4; ++i) {
            x += gaps[static_cast<std::size_t>(2 * i)];
            EXPECT_EQ(w.field(i).pos(), QPoint(x, offset)) << "field " << i;
            x += w.field(i).width();
            if (i < 3) {
                x += gaps[static_cast<std::size_t>(2 * i + 1)];
                EXPECT_EQ(w.dot(i).pos(), QPoint(x, offset)) << "dot " << i;
                x += w.dot(i).width();
            }
        }
        EXPECT_EQ(w.control().width() - x - offset, 1); // the last gap is the right margin
    }
}

TEST(IPAddressControlLayout, SizeNeverGoesBelowTheMinimumAndAutoHeightFixesTheHeight) {
    TestWindow w;
    const QSize minimum = w.control().MinimumSize();
    w.control().resize(10, 100);
    EXPECT_EQ(w.control().size(), QSize(minimum.width(), minimum.height()));
    w.control().SetAutoHeight(false);
    w.control().resize(minimum.width(), minimum.height() + 20);
    EXPECT_EQ(w.control().height(), minimum.height() + 20);
    w.control().SetAutoHeight(true);
    EXPECT_EQ(w.control().height(), minimum.height());

    w.field(0).resize(200, 200); // fields snap back
    EXPECT_EQ(w.field(0).size(), w.field(0).MinimumSize());

    QFont bigger = w.control().font();
    bigger.setPointSize(bigger.pointSize() * 3);
    w.control().setFont(bigger);
    EXPECT_GT(w.control().MinimumSize().width(), minimum.width());
    EXPECT_EQ(w.control().size(), w.control().MinimumSize());
    EXPECT_GT(w.field(3).x(), w.dot(2).x());
    EXPECT_EQ(w.control().Baseline(), QFontMetrics(bigger).ascent() + 1 + 3);
}

TEST(IPAddressControlEvents, FieldChangedCarriesIndexAndTextBeforeTextChanged) {
    TestWindow w;
    std::vector<QString> log;
    QObject::connect(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::FieldChangedEvent,
                     [&log](const FieldChangedEventArgs& e) {
                         log.push_back(
                             QStringLiteral("field %1 %2").arg(e.FieldIndex()).arg(e.Text()));
                     });
    QObject::connect(
        &w.control(), &MarlinIPAddressControlLib::IPAddressControl::TextChanged,
        [&log](const QString& text) { log.push_back(QStringLiteral("text ") + text); });
    w.control().SetFieldFocus(2);
    w.type(QStringLiteral("7x"));
    w.press(Qt::Key_Backspace);
    const std::vector<QString> expected{QStringLiteral("field 2 7"), QStringLiteral("text ..7."),
                                        QStringLiteral("field 2 "), QStringLiteral("text ...")};
    EXPECT_EQ(log, expected);
}

TEST(IPAddressControlEvents, FocusEntersOnceAndLeavesOnce) {
    TestWindow w;
    QSignalSpy got(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::GotFocus);
    QSignalSpy lost(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::LostFocus);
    w.control().SetText(QStringLiteral("1.2.3.4"));
    w.before().setFocus();
    w.press(Qt::Key_Tab);
    EXPECT_EQ(w.focusedField(), 0);
    EXPECT_EQ(w.field(0).selectedText(), QStringLiteral("1"));
    EXPECT_TRUE(w.control().Focused());
    w.press(Qt::Key_Right, Qt::ControlModifier);
    w.press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(got.count(), 1);
    EXPECT_EQ(lost.count(), 0);
    w.press(Qt::Key_Tab); // internal Tab is off: out of the control
    EXPECT_TRUE(w.after().hasFocus());
    EXPECT_EQ(got.count(), 1);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(w.control().Focused());
}

TEST(IPAddressControlEvents, TabLeavesBothWaysOrWalksTheFieldsWhenAllowed) {
    TestWindow w;
    EXPECT_FALSE(w.control().AllowInternalTab());
    w.control().SetFieldFocus(2);
    w.press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(w.before().hasFocus());

    w.control().SetAllowInternalTab(true);
    EXPECT_TRUE(w.control().AllowInternalTab());
    w.control().SetFieldFocus(2);
    w.press(Qt::Key_Tab);
    EXPECT_EQ(w.focusedField(), 3);
    w.press(Qt::Key_Tab);
    EXPECT_TRUE(w.after().hasFocus());
    w.control().SetFieldFocus(0);
    w.press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(w.before().hasFocus());
}

TEST(IPAddressControlEvents, FieldAndDotInputIsReRaisedByTheControl) {
    TestWindow w;
    QSignalSpy clicks(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::Click);
    QSignalSpy doubles(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::DoubleClick);
    QSignalSpy keysDown(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::KeyDown);
    QSignalSpy keysUp(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::KeyUp);
    QSignalSpy chars(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::KeyPress);
    QSignalSpy previews(&w.control(), &MarlinIPAddressControlLib::IPAddressControl::PreviewKeyDown);
    QTest::mouseClick(&w.field(1), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(&w.dot(1), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 2);
    QTest::mouseDClick(&w.dot(0), Qt::LeftButton);
    EXPECT_EQ(doubles.count(), 1);
    w.control().SetFieldFocus(1);
    w.type(QStringLiteral("4q"));
    EXPECT_EQ(keysDown.count(), 2);
    EXPECT_EQ(keysUp.count(), 2);
    EXPECT_EQ(previews.count(), 2);
    EXPECT_EQ(chars.count(), 1); // "q" produces no character
}

} // namespace

namespace {

// Colour under the top-left corner of a field and of a dot, as painted.
std::pair<QColor, QColor> innerColours(TestWindow& w) {
    const QImage image = w.control().grab().toImage();
    return {image.pixelColor(w.field(0).pos() + QPoint(1, 1)),
            image.pixelColor(w.dot(0).pos() + QPoint(0, 1))};
}

TEST(IPAddressControlPainting, ReadOnlyAndDisabledUseTheControlColourUnlessTheOperatorChoseOne) {
    TestWindow w;
    const QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor control = QApplication::palette().color(QPalette::Active, QPalette::Window);
    ASSERT_NE(base, control);
    EXPECT_EQ(innerColours(w), std::make_pair(base, base));
    w.control().SetReadOnly(true);
    EXPECT_EQ(innerColours(w), std::make_pair(control, control));
    w.control().SetReadOnly(false);
    w.control().setEnabled(false);
    EXPECT_EQ(innerColours(w), std::make_pair(control, control));
    w.control().setEnabled(true);

    const QColor chosen(200, 10, 10);
    w.control().SetBackColor(chosen);
    EXPECT_EQ(innerColours(w), std::make_pair(chosen, chosen));
    w.control().SetReadOnly(true);
    EXPECT_EQ(innerColours(w), std::make_pair(chosen, chosen));
}

} // namespace
