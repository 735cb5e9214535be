#include "IPAddressControl.h"

#include "HandlerGuard.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

namespace MarlinIPAddressControlLib {

using Corvane::guarded;

IPAddressControl::IPAddressControl(QWidget* parent)
    : QWidget(parent) {
    // Addresses read left to right in every language.
    setLayoutDirection(Qt::LeftToRight);

    for (int i = 0; i < FieldCount; ++i) {
        AddField(i);
        if (i < DotCount) {
            AddDot(i);
        }
    }

    // The container is the tab stop; the fields take the focus only from it or by a click.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::IBeamCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    _backColorChanged = false;
    ApplyColours();
    resize(MinimumSize());
    AdjustSize();
    _constructed = true;
}

void IPAddressControl::AddField(int i) {
    auto* field = new FieldControl(this);
    field->SetFieldIndex(i);
    field->setObjectName(QStringLiteral("FieldControl%1").arg(i));
    connect(field, &FieldControl::CedeFocusEvent, this,
            guarded(this, [this](const FieldControl::CedeFocusEventArgs& e) { OnCedeFocus(e); }));
    connect(field, &FieldControl::PasteEvent, this,
            guarded(this, [this](const FieldControl::PasteEventArgs& e) {
                if (!_readOnly) {
                    SetText(e.Text());
                }
            }));
    connect(field, &FieldControl::TextChangedEvent, this,
            guarded(this, [this](const FieldControl::TextChangedEventArgs& e) {
                OnFieldTextChanged(e);
            }));
    connect(field, &FieldControl::GotFocus, this, guarded(this, [this] {
                if (!_focused) {
                    _focused = true;
                    update();
                    emit GotFocus();
                }
            }));
    connect(field, &FieldControl::LostFocus, this, guarded(this, [this] {
                if (_focused && !Focused()) {
                    _focused = false;
                    update();
                    emit LostFocus();
                }
            }));
    // The mouse and key notifications are the control's own signals, relayed unchanged.
    connect(field, &FieldControl::Click, this, &IPAddressControl::Click);
    connect(field, &FieldControl::DoubleClick, this, &IPAddressControl::DoubleClick);
    connect(field, &FieldControl::MouseClick, this, &IPAddressControl::MouseClick);
    connect(field, &FieldControl::MouseDoubleClick, this, &IPAddressControl::MouseDoubleClick);
    connect(field, &FieldControl::MouseMove, this, &IPAddressControl::MouseMove);
    connect(field, &FieldControl::MouseHover, this, &IPAddressControl::MouseHover);
    connect(field, &FieldControl::PreviewKeyDown, this, &IPAddressControl::PreviewKeyDown);
    connect(field, &FieldControl::KeyDown, this, &IPAddressControl::KeyDown);
    connect(field, &FieldControl::KeyPress, this, &IPAddressControl::KeyPress);
    connect(field, &FieldControl::KeyUp, this, &IPAddressControl::KeyUp);
    _fieldControls[static_cast<std::size_t>(i)] = field;
}

void IPAddressControl::AddDot(int i) {
    auto* dot = new DotControl(this);
    dot->setObjectName(QStringLiteral("DotControl%1").arg(i));
    dot->installEventFilter(this);
    connect(dot, &DotControl::Click, this, &IPAddressControl::Click);
    connect(dot, &DotControl::DoubleClick, this, &IPAddressControl::DoubleClick);
    connect(dot, &DotControl::MouseClick, this, &IPAddressControl::MouseClick);
    connect(dot, &DotControl::MouseDoubleClick, this, &IPAddressControl::MouseDoubleClick);
    connect(dot, &DotControl::MouseMove, this, &IPAddressControl::MouseMove);
    connect(dot, &DotControl::MouseHover, this, &IPAddressControl::MouseHover);
    _dotControls[static_cast<std::size_t>(i)] = dot;
}

QString IPAddressControl::Text() const {
    QString text;
    for (int i = 0; i < FieldCount; ++i) {
        text += _fieldControls[static_cast<std::size_t>(i)]->text();
        if (i < DotCount) {
            text += _dotControls[static_cast<std::size_t>(i)]->Text();
        }
    }
    return text;
}

void IPAddressControl::SetText(const QString& text) {
    Clear();
    if (text.isNull()) {
        return;
    }
    QStringList pieces;
    qsizetype start = 0;
    for (const DotControl* dot : _dotControls) {
        const QString separator = dot->Text();
        const qsizetype found = text.indexOf(separator, start, Qt::CaseSensitive);
        if (found < 0) {
            break;
        }
        pieces << text.mid(start, found - start);
        start = found + separator.size();
    }
    pieces << text.mid(start);
    for (qsizetype i = 0; i < std::min<qsizetype>(FieldCount, pieces.size()); ++i) {
        _fieldControls[static_cast<std::size_t>(i)]->SetFieldText(pieces[i]);
    }
}

QString IPAddressControl::ToString() const {
    QStringList values;
    for (const FieldControl* field : _fieldControls) {
        values << field->ToString();
    }
    return values.join(QLatin1Char('.'));
}

std::array<std::uint8_t, 4> IPAddressControl::GetAddressBytes() const {
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = _fieldControls[i]->Value();
    }
    return bytes;
}

void IPAddressControl::SetAddressBytes(std::span<const std::uint8_t> bytes) {
    Clear();
    const std::size_t count = std::min<std::size_t>(FieldCount, bytes.size());
    for (std::size_t i = 0; i < count; ++i) {
        _fieldControls[i]->SetFieldText(QString::number(bytes[i]));
    }
}

HostAddress IPAddressControl::IPAddress() const {
    return HostAddress::FromIPv4(GetAddressBytes());
}

void IPAddressControl::SetIPAddress(const std::optional<HostAddress>& address) {
    Clear();
    if (address && address->IsIPv4()) {
        SetAddressBytes(address->GetAddressBytes());
    }
}

void IPAddressControl::Clear() {
    for (FieldControl* field : _fieldControls) {
        field->clear();
    }
}

bool IPAddressControl::Blank() const {
    return std::all_of(_fieldControls.begin(), _fieldControls.end(),
                       [](const FieldControl* f) { return f->Blank(); });
}

bool IPAddressControl::AnyBlank() const {
    return std::any_of(_fieldControls.begin(), _fieldControls.end(),
                       [](const FieldControl* f) { return f->Blank(); });
}

bool IPAddressControl::Focused() const {
    return FocusedFieldIndex() >= 0;
}

int IPAddressControl::FocusedFieldIndex() const {
    for (int i = 0; i < FieldCount; ++i) {
        if (_fieldControls[static_cast<std::size_t>(i)]->hasFocus()) {
            return i;
        }
    }
    return -1;
}

void IPAddressControl::SetReadOnly(bool readOnly) {
    _readOnly = readOnly;
    for (FieldControl* field : _fieldControls) {
        field->setReadOnly(readOnly);
    }
    for (DotControl* dot : _dotControls) {
        dot->SetReadOnly(readOnly);
    }
    ApplyColours();
}

bool IPAddressControl::AllowInternalTab() const {
    return (_fieldControls[0]->focusPolicy() & Qt::TabFocus) != 0;
}

void IPAddressControl::SetAllowInternalTab(bool allow) {
    for (FieldControl* field : _fieldControls) {
        field->setFocusPolicy(allow ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void IPAddressControl::SetFieldFocus(int fieldIndex) {
    if (fieldIndex >= 0 && fieldIndex < FieldCount) {
        _fieldControls[static_cast<std::size_t>(fieldIndex)]->TakeFocus(
            FieldControl::Direction::Forward, FieldControl::Selection::All);
    }
}

void IPAddressControl::SetFieldRange(int fieldIndex, std::uint8_t rangeLower,
                                     std::uint8_t rangeUpper) {
    if (fieldIndex >= 0 && fieldIndex < FieldCount) {
        FieldControl* field = _fieldControls[static_cast<std::size_t>(fieldIndex)];
        field->SetRangeLower(rangeLower);
        field->SetRangeUpper(rangeUpper);
    }
}

void IPAddressControl::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    SetFieldFocus(0);
}

bool IPAddressControl::focusNextPrevChild(bool next) {
    const int current = FocusedFieldIndex();
    if (current < 0) {
        return QWidget::focusNextPrevChild(next);
    }
    if (AllowInternalTab()) {
        const int target = current + (next ? 1 : -1);
        if (target >= 0 && target < FieldCount) {
            _fieldControls[static_cast<std::size_t>(target)]->TakeFocus(
                FieldControl::Direction::Forward, FieldControl::Selection::All);
            return true;
        }
    }
    // Leaving the control: the container itself is a tab stop, so the default search would
    // come back to it (and from it to field 0) when going backwards.
    for (QWidget* w = next ? nextInFocusChain() : previousInFocusChain(); w != this;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (isAncestorOf(w) || w->window() != window()) {
            continue;
        }
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(window())) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

void IPAddressControl::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!_hasMouse) {
        _hasMouse = true;
        emit MouseEnter();
    }
}

void IPAddressControl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (_hasMouse) {
        _hasMouse = false;
        emit MouseLeave();
    }
}

void IPAddressControl::mousePressEvent(QMouseEvent* event) {
    // A press on the border, a gap or a dot brings the focus in as Tab would.
    if (event->button() == Qt::LeftButton && !Focused()) {
        SetFieldFocus(0);
    }
    QWidget::mousePressEvent(event);
}

bool IPAddressControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !Focused() &&
        std::find(_dotControls.begin(), _dotControls.end(), watched) != _dotControls.end()) {
        SetFieldFocus(0);
    }
    return QWidget::eventFilter(watched, event);
}

template <typename DragEvent>
bool IPAddressControl::AcceptDrag(DragEvent* event) const {
    return !_readOnly && event->mimeData() != nullptr && event->mimeData()->hasText() &&
           (event->possibleActions() & Qt::CopyAction);
}

void IPAddressControl::dragEnterEvent(QDragEnterEvent* event) {
    if (AcceptDrag(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void IPAddressControl::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptDrag(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void IPAddressControl::dropEvent(QDropEvent* event) {
    if (!AcceptDrag(event)) {
        event->ignore();
        return;
    }
    SetText(event->mimeData()->text());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void IPAddressControl::OnCedeFocus(const FieldControl::CedeFocusEventArgs& e) {
    switch (e.Action()) {
    case FieldControl::Action::End:
        _fieldControls[FieldCount - 1]->TakeFocus(FieldControl::Action::End);
        return;
    case FieldControl::Action::Home:
        _fieldControls[0]->TakeFocus(FieldControl::Action::Home);
        return;
    case FieldControl::Action::Trim: {
        const int target = e.FieldIndex() - 1;
        if (target >= 0 && target < FieldCount) {
            _fieldControls[static_cast<std::size_t>(target)]->TakeFocus(FieldControl::Action::Trim);
        }
        return;
    }
    case FieldControl::Action::None:
        break;
    }
    const int target =
        e.FieldIndex() + (e.Direction() == FieldControl::Direction::Forward ? 1 : -1);
    if (target >= 0 && target < FieldCount) {
        _fieldControls[static_cast<std::size_t>(target)]->TakeFocus(e.Direction(), e.Selection());
    }
}

void IPAddressControl::OnFieldTextChanged(const FieldControl::TextChangedEventArgs& e) {
    emit FieldChangedEvent(FieldChangedEventArgs(e.FieldIndex(), e.Text()));
    emit TextChanged(Text());
}

} // namespace MarlinIPAddressControlLib
