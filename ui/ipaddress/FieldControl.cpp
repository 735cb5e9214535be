#include "FieldControl.h"

#include "HandlerGuard.h"
#include "MouseEventRelay.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>

#include <algorithm>
#include <memory>

namespace MarlinIPAddressControlLib {

using Corvane::guarded;

namespace {

// QLineEdit keeps a fixed 2-pixel margin on each side of its text and needs one more pixel for
// the caret; without them three digits would scroll inside a field measured to fit them.
constexpr int kLineEditTextMargin = 2;
constexpr int kCaretWidth = 1;

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsIntegerWhiteSpace(QChar c) {
    return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
}

// X11 and Wayland report the hardware key as an X keycode; 10 to 19 are the main row's 1 to 0.
// Windows uses set-1 scan codes 2 to 11 for the same keys.
bool IsMainRowDigitScanCode(quint32 scanCode) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        return scanCode >= 10 && scanCode <= 19;
    }
    if (platform == QLatin1String("windows")) {
        return scanCode >= 2 && scanCode <= 11;
    }
    return false;
}

} // namespace

FieldControl::FieldControl(QWidget* parent)
    : QLineEdit(parent)
    , _textFormatFlags(Qt::AlignCenter | Qt::TextSingleLine) {
    setFrame(false);
    setMaxLength(3);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::ClickFocus);
    // Drops belong to the container, which takes a dropped address as a whole.
    setAcceptDrops(false);
    setInputMethodHints(Qt::ImhDigitsOnly);
    setFixedSize(MinimumSize());

    auto* relay = new MouseEventRelay(this);
    connect(relay, &MouseEventRelay::Click, this, &FieldControl::Click);
    connect(relay, &MouseEventRelay::DoubleClick, this, &FieldControl::DoubleClick);
    connect(relay, &MouseEventRelay::MouseClick, this, &FieldControl::MouseClick);
    connect(relay, &MouseEventRelay::MouseDoubleClick, this, &FieldControl::MouseDoubleClick);
    connect(relay, &MouseEventRelay::MouseMove, this, &FieldControl::MouseMove);
    connect(relay, &MouseEventRelay::MouseHover, this, &FieldControl::MouseHover);

    connect(this, &QLineEdit::textChanged, this,
            guarded(this, [this](const QString&) { OnTextChanged(); }));
}

void FieldControl::SetRangeLower(std::uint8_t value) {
    _rangeLower = std::min(value, _rangeUpper);
    if (Value() < _rangeLower) {
        SetFieldText(QString::number(_rangeLower));
    }
}

void FieldControl::SetRangeUpper(std::uint8_t value) {
    _rangeUpper = std::max(value, _rangeLower);
    if (Value() > _rangeUpper) {
        SetFieldText(QString::number(_rangeUpper));
    }
}

std::uint8_t FieldControl::Value() const {
    const std::optional<std::int32_t> number = ParseInt32(text());
    if (!number || *number < MinimumValue || *number > MaximumValue) {
        return _rangeLower;
    }
    return static_cast<std::uint8_t>(*number);
}

QSize FieldControl::MinimumSize() const {
    const QFontMetrics metrics(font());
    const QSize measured = metrics.size(_textFormatFlags, QStringLiteral("333"));
    int widestDigits = 0;
    for (char c = '0'; c <= '9'; ++c) {
        widestDigits = std::max(widestDigits, metrics.horizontalAdvance(QLatin1Char(c)) * 3);
    }
    const int bearings =
        std::max(0, -metrics.minLeftBearing()) + std::max(0, -metrics.minRightBearing());
    const int width =
        std::max(measured.width(), widestDigits) + 2 * kLineEditTextMargin + kCaretWidth + bearings;
    return {width, measured.height()};
}

void FieldControl::TakeFocus(FieldControl::Direction direction, FieldControl::Selection selection) {
    setFocus(Qt::OtherFocusReason);
    if (selection == Selection::All) {
        selectAll();
    } else if (direction == Direction::Forward) {
        setCursorPosition(0);
    } else {
        setCursorPosition(static_cast<int>(text().size()));
    }
}

void FieldControl::TakeFocus(FieldControl::Action action) {
    setFocus(Qt::OtherFocusReason);
    switch (action) {
    case Action::Trim:
        // Backspace from the next field must not edit a field the operator may not change.
        if (!isReadOnly() && !text().isEmpty()) {
            SetFieldText(text().chopped(1));
        }
        setCursorPosition(static_cast<int>(text().size()));
        break;
    case Action::Home:
        setCursorPosition(0);
        break;
    case Action::End:
        setCursorPosition(static_cast<int>(text().size()));
        break;
    case Action::None:
        break;
    }
}

void FieldControl::SetFieldText(const QString& value) {
    setText(value.isEmpty() ? value : Normalise(value).text);
}

std::optional<std::int32_t> FieldControl::ParseInt32(QStringView value) {
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && IsIntegerWhiteSpace(value[begin])) {
        ++begin;
    }
    while (end > begin && IsIntegerWhiteSpace(value[end - 1])) {
        --end;
    }
    bool negative = false;
    if (begin < end && (value[begin] == QLatin1Char('+') || value[begin] == QLatin1Char('-'))) {
        negative = value[begin] == QLatin1Char('-');
        ++begin;
    }
    if (begin == end) {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    for (qsizetype i = begin; i < end; ++i) {
        if (!IsAsciiDigit(value[i])) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (value[i].unicode() - '0');
        if (magnitude > std::int64_t{2147483648}) {
            return std::nullopt;
        }
    }
    const std::int64_t number = negative ? -magnitude : magnitude;
    if (number > std::int64_t{2147483647}) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

FieldControl::Normalised FieldControl::Normalise(const QString& value) const {
    const std::optional<std::int32_t> number = ParseInt32(value);
    if (!number) {
        return {};
    }
    if (*number > _rangeUpper) {
        return {QString::number(_rangeUpper), true, 0};
    }
    // A negative number can never grow into a valid value, whatever its length, so it is
    // treated like a complete three-digit entry below the range.
    if (*number < 0 || (value.size() == 3 && *number < _rangeLower)) {
        return {QString::number(_rangeLower), true, 0};
    }
    QString plain = QString::number(*number);
    const qsizetype shortenedBy = std::max<qsizetype>(0, value.size() - plain.size());
    return {std::move(plain), false, shortenedBy};
}

void FieldControl::OnTextChanged() {
    if (_normalising) {
        return;
    }
    {
        const QScopedValueRollback<bool> guard(_normalising, true);
        const QString current = text();
        if (!current.isEmpty()) {
            const int caret = cursorPosition();
            const Normalised normalised = Normalise(current);
            if (normalised.text != current) {
                setText(normalised.text);
                if (normalised.caretAtStart) {
                    setCursorPosition(0);
                } else {
                    setCursorPosition(
                        std::max(0, caret - static_cast<int>(normalised.shortenedBy)));
                }
            }
        }
    }
    // An emptied field is a change too: the container's text and its listeners must hear of it.
    emit TextChangedEvent(TextChangedEventArgs(_fieldIndex, text()));
    if (text().size() == 3 && hasFocus() && cursorPosition() == 3) {
        Cede(Direction::Forward, Selection::All);
    }
}

bool FieldControl::IsDigitKey(const QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return true;
    }
    // With Shift most layouts report the shifted symbol instead of the digit; it still counts
    // as a digit key, and the symbol it produces then fails the integer test.
    return (event->modifiers() & Qt::ShiftModifier) && !(event->modifiers() & Qt::KeypadModifier) &&
           IsMainRowDigitScanCode(event->nativeScanCode());
}

bool FieldControl::IsDotKey(const QKeyEvent* event) {
    // Some layouts put a comma on the keypad's decimal key; it is still the decimal key.
    return event->key() == Qt::Key_Period ||
           (event->key() == Qt::Key_Comma && (event->modifiers() & Qt::KeypadModifier));
}

bool FieldControl::event(QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        emit PreviewKeyDown(static_cast<QKeyEvent*>(e));
    }
    return QLineEdit::event(e);
}

void FieldControl::PassOn(QKeyEvent* event) {
    if (!event->text().isEmpty()) {
        emit KeyPress(event);
    }
    QLineEdit::keyPressEvent(event);
}

void FieldControl::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event);

    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    const bool controlOnly = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
    const bool selected = hasSelectedText();
    const int caret = cursorPosition();
    const bool empty = text().isEmpty();
    const bool atStart = !selected && caret == 0;
    const bool atEnd = !selected && caret == text().size();

    if (key == Qt::Key_End) {
        QLineEdit::keyPressEvent(event);
        Cede(Action::End);
        return;
    }
    if (key == Qt::Key_Home) {
        QLineEdit::keyPressEvent(event);
        Cede(Action::Home);
        return;
    }
    if (IsDotKey(event) || key == Qt::Key_Space) {
        if (!empty && !selected && caret > 0) {
            Cede(Direction::Forward, Selection::All);
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Right || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Up) {
        MoveCaret(event, key == Qt::Key_Right || key == Qt::Key_Down, control, atStart, atEnd);
        return;
    }
    if (key == Qt::Key_Backspace) {
        if (!isReadOnly() && (empty || atStart)) {
            Cede(Action::Trim);
            event->accept();
            return;
        }
        PassOn(event);
        return;
    }
    if (controlOnly && key == Qt::Key_V) {
        PasteFrom(QClipboard::Clipboard);
        event->accept();
        return;
    }
    if (IsDigitKey(event) || key == Qt::Key_Delete || key == Qt::Key_Return ||
        key == Qt::Key_Enter || (controlOnly && (key == Qt::Key_C || key == Qt::Key_X))) {
        PassOn(event);
        return;
    }
    // No character, but the key stays free for the dialog around the control (Escape).
    event->ignore();
}

void FieldControl::MoveCaret(QKeyEvent* event, bool forward, bool control, bool atStart,
                             bool atEnd) {
    // A single-line box moves its caret with Up and Down as with Left and Right.
    QKeyEvent horizontal(event->type(), forward ? Qt::Key_Right : Qt::Key_Left, event->modifiers(),
                         event->nativeScanCode(), event->nativeVirtualKey(),
                         event->nativeModifiers(), event->text(), event->isAutoRepeat(),
                         static_cast<quint16>(event->count()));
    QLineEdit::keyPressEvent(&horizontal);
    if (control) {
        Cede(forward ? Direction::Forward : Direction::Reverse, Selection::All);
    } else if (forward ? atEnd : atStart) {
        Cede(forward ? Direction::Forward : Direction::Reverse, Selection::None);
    }
    event->accept();
}

void FieldControl::keyReleaseEvent(QKeyEvent* event) {
    emit KeyUp(event);
    QLineEdit::keyReleaseEvent(event);
}

void FieldControl::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason) {
        emit GotFocus();
    }
}

void FieldControl::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason) {
        return;
    }
    if (reason != Qt::ActiveWindowFocusReason && !Blank() && Value() < _rangeLower) {
        SetFieldText(QString::number(_rangeLower));
    }
    emit LostFocus();
}

void FieldControl::mouseReleaseEvent(QMouseEvent* event) {
    // The selection paste of X11 goes through the same rule as Ctrl+V.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        PasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void FieldControl::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        if (disconnect(action, &QAction::triggered, this, &QLineEdit::paste)) {
            connect(action, &QAction::triggered, this,
                    guarded(this, [this](bool) { PasteFrom(QClipboard::Clipboard); }));
        }
    }
    menu->exec(event->globalPos());
}

void FieldControl::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        setFixedSize(MinimumSize());
    }
}

void FieldControl::PasteFrom(QClipboard::Mode mode) {
    if (isReadOnly()) {
        return;
    }
    const QString pasted = QGuiApplication::clipboard()->text(mode);
    if (pasted.isEmpty()) {
        return;
    }
    if (std::all_of(pasted.begin(), pasted.end(), IsAsciiDigit)) {
        insert(pasted);
    } else {
        emit PasteEvent(PasteEventArgs(_fieldIndex, pasted));
    }
}

void FieldControl::Cede(FieldControl::Action action) {
    emit CedeFocusEvent(
        CedeFocusEventArgs(_fieldIndex, action, Direction::Forward, Selection::None));
}

void FieldControl::Cede(FieldControl::Direction direction, FieldControl::Selection selection) {
    emit CedeFocusEvent(CedeFocusEventArgs(_fieldIndex, Action::None, direction, selection));
}

} // namespace MarlinIPAddressControlLib
