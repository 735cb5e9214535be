#pragma once

#include "FieldChangedEventArgs.h"

#include <QClipboard>
#include <QLineEdit>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include <QKeyEvent>
#include <QMouseEvent>

namespace MarlinIPAddressControlLib {

// One number field of the address: a frameless single-line text box of at most three digits
// that keeps its value inside [RangeLower, RangeUpper] and asks its container to move the focus
// when the operator types past its end or steps off one of its edges.
class FieldControl : public QLineEdit {
    Q_OBJECT
public:
    enum class Direction { Forward = 0, Reverse = 1 };
    enum class Selection { None = 0, All = 1 };
    enum class Action { None = 0, Trim = 1, Home = 2, End = 3 };

    class CedeFocusEventArgs {
    public:
        CedeFocusEventArgs() = default;
        CedeFocusEventArgs(int fieldIndex, FieldControl::Action action,
                           FieldControl::Direction direction, FieldControl::Selection selection)
            : _fieldIndex(fieldIndex)
            , _action(action)
            , _direction(direction)
            , _selection(selection) {}

        int FieldIndex() const { return _fieldIndex; }
        void SetFieldIndex(int fieldIndex) { _fieldIndex = fieldIndex; }
        FieldControl::Action Action() const { return _action; }
        void SetAction(FieldControl::Action action) { _action = action; }
        FieldControl::Direction Direction() const { return _direction; }
        void SetDirection(FieldControl::Direction direction) { _direction = direction; }
        FieldControl::Selection Selection() const { return _selection; }
        void SetSelection(FieldControl::Selection selection) { _selection = selection; }

    private:
        int _fieldIndex = -1;
        FieldControl::Action _action = FieldControl::Action::None;
        FieldControl::Direction _direction = FieldControl::Direction::Forward;
        FieldControl::Selection _selection = FieldControl::Selection::None;
    };

    // The pasted text that is not plain digits, handed to the container to parse whole.
    class PasteEventArgs : public FieldTextEventArgs {
    public:
        using FieldTextEventArgs::FieldTextEventArgs;
    };

    // The field's text after normalisation.
    class TextChangedEventArgs : public FieldTextEventArgs {
    public:
        using FieldTextEventArgs::FieldTextEventArgs;
    };

    // Callables that fit the matching signals, for callers that keep handlers as values.
    using CedeFocusEventHandler = std::function<void(const CedeFocusEventArgs&)>;
    using PasteEventHandler = std::function<void(const PasteEventArgs&)>;
    using TextChangedEventHandler = std::function<void(const TextChangedEventArgs&)>;

    static constexpr std::uint8_t MinimumValue = 0;
    static constexpr std::uint8_t MaximumValue = 255;

    explicit FieldControl(QWidget* parent = nullptr);

    bool Blank() const { return text().isEmpty(); }
    int FieldIndex() const { return _fieldIndex; }
    void SetFieldIndex(int fieldIndex) { _fieldIndex = fieldIndex; }
    std::uint8_t RangeLower() const { return _rangeLower; }
    void SetRangeLower(std::uint8_t value);
    std::uint8_t RangeUpper() const { return _rangeUpper; }
    void SetRangeUpper(std::uint8_t value);
    std::uint8_t Value() const;
    QSize MinimumSize() const;
    void TakeFocus(FieldControl::Direction direction, FieldControl::Selection selection);
    void TakeFocus(FieldControl::Action action);
    QString ToString() const { return QString::number(Value()); }

    // Writes a text as a whole, the way the container fills a field from an address: the text
    // is normalised as a whole instead of being cut to the field's three characters first.
    void SetFieldText(const QString& text);

    QSize sizeHint() const override { return MinimumSize(); }
    QSize minimumSizeHint() const override { return MinimumSize(); }

signals:
    void CedeFocusEvent(const MarlinIPAddressControlLib::FieldControl::CedeFocusEventArgs& e);
    void PasteEvent(const MarlinIPAddressControlLib::FieldControl::PasteEventArgs& e);
    void TextChangedEvent(const MarlinIPAddressControlLib::FieldControl::TextChangedEventArgs& e);

    void GotFocus();
    void LostFocus();
    void Click();
    void DoubleClick();
    void MouseClick(QMouseEvent* event);
    void MouseDoubleClick(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseHover();
    void PreviewKeyDown(QKeyEvent* event);
    void KeyDown(QKeyEvent* event);
    void KeyPress(QKeyEvent* event);
    void KeyUp(QKeyEvent* event);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Normalised {
        QString text;
        bool caretAtStart = false;
        qsizetype shortenedBy = 0;
    };

    static std::optional<std::int32_t> ParseInt32(QStringView text);
    static bool IsDigitKey(const QKeyEvent* event);
    static bool IsDotKey(const QKeyEvent* event);

    Normalised Normalise(const QString& text) const;
    void OnTextChanged();
    void PassOn(QKeyEvent* event);
    void PasteFrom(QClipboard::Mode mode);
    void Cede(FieldControl::Action action);
    void Cede(FieldControl::Direction direction, FieldControl::Selection selection);
    // Arrow keys: move the caret, and hand the focus on at the field's edge (or with Ctrl).
    void MoveCaret(QKeyEvent* event, bool forward, bool control, bool atStart, bool atEnd);

    int _fieldIndex = -1;
    std::uint8_t _rangeLower = MinimumValue;
    std::uint8_t _rangeUpper = MaximumValue;
    int _textFormatFlags = 0;
    bool _normalising = false;
};

} // namespace MarlinIPAddressControlLib
