#pragma once

#include "DotControl.h"
#include "FieldChangedEventArgs.h"
#include "FieldControl.h"
#include "HostAddress.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include <QKeyEvent>
#include <QMouseEvent>

namespace MarlinIPAddressControlLib {

enum class BorderStyle { None, FixedSingle, Fixed3D };

// An entry box for one IPv4 address: four FieldControls with three DotControls between them,
// behaving towards the operator like one text box. The address is nothing but the four field
// texts; every reading is computed from them.
//
// Events and the Qt signals that carry them (event pointers are valid only while the signal is
// being emitted, so connect directly):
//   FieldChangedEvent        FieldChangedEvent(const FieldChangedEventArgs&): a field's text
//                            changed (after correction), with its index and new text
//   text changed             TextChanged(const QString&): follows every FieldChangedEvent,
//                            with the whole Text()
//   got focus / lost focus   GotFocus(), LostFocus(): once when the focus enters the fields,
//                            once when it leaves all of them
//   mouse enter / leave      MouseEnter(), MouseLeave(): the pointer enters any part of the
//                            control / leaves its whole area (not between field and dot)
//   click, double-click      Click(), DoubleClick(): from any field or dot
//   mouse click, mouse       MouseClick(QMouseEvent*), MouseDoubleClick(QMouseEvent*): the
//   double-click             same, with the releasing (or double-clicking) mouse event
//   mouse move               MouseMove(QMouseEvent*): pointer moves over a field or dot
//   hover                    MouseHover(): the pointer rested on a field or dot (once a visit)
//   preview-key              PreviewKeyDown(QKeyEvent*): every key press in a field, Tab
//                            included, before the field handles it
//   key down                 KeyDown(QKeyEvent*): a key press reaching a field's key handling
//   key press                KeyPress(QKeyEvent*): a key that the field lets produce its text
//   key up                   KeyUp(QKeyEvent*): a key release in a field
class IPAddressControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int FieldCount = 4;
    static constexpr QSize Fixed3DOffset{3, 3};
    static constexpr QSize FixedSingleOffset{2, 2};

    explicit IPAddressControl(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    QString ToString() const;
    std::array<std::uint8_t, 4> GetAddressBytes() const;
    void SetAddressBytes(std::span<const std::uint8_t> bytes);
    // Always an IPv4 address; a blank control reads as 0.0.0.0.
    HostAddress IPAddress() const;
    // Clears the fields, then fills them only from an IPv4 address.
    void SetIPAddress(const std::optional<HostAddress>& address);
    void Clear();
    bool Blank() const;
    bool AnyBlank() const;
    bool Focused() const;
    bool ReadOnly() const { return _readOnly; }
    void SetReadOnly(bool readOnly);
    bool AllowInternalTab() const;
    void SetAllowInternalTab(bool allow);
    bool AutoHeight() const { return _autoHeight; }
    void SetAutoHeight(bool autoHeight);
    MarlinIPAddressControlLib::BorderStyle BorderStyle() const { return _borderStyle; }
    void SetBorderStyle(MarlinIPAddressControlLib::BorderStyle style);
    int Baseline() const;
    QSize MinimumSize() const;
    void SetFieldFocus(int fieldIndex);
    void SetFieldRange(int fieldIndex, std::uint8_t rangeLower, std::uint8_t rangeUpper);

    // Background and text colour: the Base and Text roles of the palette.
    QColor BackColor() const { return palette().color(QPalette::Active, QPalette::Base); }
    void SetBackColor(const QColor& color);
    QColor ForeColor() const { return palette().color(QPalette::Active, QPalette::Text); }
    void SetForeColor(const QColor& color);

    QSize sizeHint() const override { return MinimumSize(); }
    QSize minimumSizeHint() const override { return MinimumSize(); }

signals:
    void FieldChangedEvent(const MarlinIPAddressControlLib::FieldChangedEventArgs& e);
    void TextChanged(const QString& text);
    void GotFocus();
    void LostFocus();
    void MouseEnter();
    void MouseLeave();
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
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int DotCount = FieldCount - 1;

    // Builds field i, or the dot after field i, and relays its events as the control's own.
    void AddField(int i);
    void AddDot(int i);
    QSize BorderOffset() const;
    int BorderedHeight(int contentHeight) const;
    bool UsesVisualStyles() const;
    int FocusedFieldIndex() const;
    void AdjustSize();
    void LayoutControls();
    void ApplyColours();
    void OnCedeFocus(const FieldControl::CedeFocusEventArgs& e);
    void OnFieldTextChanged(const FieldControl::TextChangedEventArgs& e);
    template <typename DragEvent>
    bool AcceptDrag(DragEvent* event) const;

    std::array<FieldControl*, FieldCount> _fieldControls{};
    std::array<DotControl*, DotCount> _dotControls{};
    bool _autoHeight = true;
    MarlinIPAddressControlLib::BorderStyle _borderStyle =
        MarlinIPAddressControlLib::BorderStyle::Fixed3D;
    bool _readOnly = false;
    bool _focused = false;
    bool _hasMouse = false;
    bool _backColorChanged = false;
    bool _constructed = false;
};

} // namespace MarlinIPAddressControlLib
