// The control's look: the border it draws, the size it asks for, where the fields and dots sit
// inside it, and the colours it hands down to them. Kept apart from the address and focus logic
// in IPAddressControl.cpp because it changes with the style and the font, not with the text.
#include "IPAddressControl.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <qdrawutil.h>

#include <algorithm>

namespace MarlinIPAddressControlLib {

using Style = MarlinIPAddressControlLib::BorderStyle;

void IPAddressControl::SetAutoHeight(bool autoHeight) {
    _autoHeight = autoHeight;
    AdjustSize();
}

void IPAddressControl::SetBorderStyle(MarlinIPAddressControlLib::BorderStyle style) {
    _borderStyle = style;
    AdjustSize();
    update();
}

int IPAddressControl::Baseline() const {
    return QFontMetrics(font()).ascent() + 1 + BorderOffset().height();
}

QSize IPAddressControl::BorderOffset() const {
    switch (_borderStyle) {
    case Style::Fixed3D:
        return Fixed3DOffset;
    case Style::FixedSingle:
        return FixedSingleOffset;
    case Style::None:
        break;
    }
    return {0, 0};
}

int IPAddressControl::BorderedHeight(int contentHeight) const {
    // What a line edit of this font with this frame would ask for, but never less than the
    // fields need inside the border.
    const int inner = contentHeight + 2 * BorderOffset().height();
    if (_borderStyle != Style::Fixed3D) {
        return inner;
    }
    const QFontMetrics metrics(font());
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const int textHeight = std::max(metrics.height(), 14) + 2;
    const QSize lineEdit = style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(metrics.averageCharWidth(), textHeight), this);
    return std::max(inner, lineEdit.height());
}

QSize IPAddressControl::MinimumSize() const {
    int width = 0;
    int height = 0;
    for (const FieldControl* field : _fieldControls) {
        width += field->MinimumSize().width();
        height = std::max(height, field->MinimumSize().height());
    }
    for (const DotControl* dot : _dotControls) {
        width += dot->MinimumSize().width();
        height = std::max(height, dot->MinimumSize().height());
    }
    if (_borderStyle == Style::None) {
        return {width, height};
    }
    return {width + 2 * BorderOffset().width(), BorderedHeight(height)};
}

void IPAddressControl::SetBackColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
    _backColorChanged = true;
    ApplyColours();
}

void IPAddressControl::SetForeColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, color);
    setPalette(p);
}

void IPAddressControl::AdjustSize() {
    const QSize minimum = MinimumSize();
    setMinimumSize(minimum);
    setMaximumHeight(_autoHeight ? minimum.height() : QWIDGETSIZE_MAX);
    QSize wanted = size().expandedTo(minimum);
    if (_autoHeight) {
        wanted.setHeight(minimum.height());
    }
    if (wanted != size()) {
        resize(wanted);
    }
    LayoutControls();
    updateGeometry();
}

void IPAddressControl::LayoutControls() {
    constexpr int gapCount = FieldCount + DotCount + 1;
    const int extra = std::max(0, width() - MinimumSize().width());
    const int gapWidth = extra / gapCount;
    const int wideGaps = extra % gapCount;
    int gap = 0;
    auto nextGap = [&] { return gapWidth + (gap++ < wideGaps ? 1 : 0); };

    const QSize offset = BorderOffset();
    int x = offset.width() + nextGap();
    for (int i = 0; i < FieldCount; ++i) {
        FieldControl* field = _fieldControls[static_cast<std::size_t>(i)];
        field->move(x, offset.height());
        x += field->width();
        if (i < DotCount) {
            DotControl* dot = _dotControls[static_cast<std::size_t>(i)];
            x += nextGap();
            dot->move(x, offset.height());
            x += dot->width() + nextGap();
        }
    }
}

void IPAddressControl::ApplyColours() {
    const QPalette system = QApplication::palette(this);
    const bool controlColour = (!isEnabled() || _readOnly) && !_backColorChanged;
    const QColor back = controlColour ? system.color(QPalette::Active, QPalette::Window)
                                      : palette().color(QPalette::Active, QPalette::Base);
    const QColor fore = palette().color(QPalette::Active, QPalette::Text);
    for (FieldControl* field : _fieldControls) {
        QPalette p = field->palette();
        for (QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Base, back);
        }
        p.setColor(QPalette::Active, QPalette::Text, fore);
        p.setColor(QPalette::Inactive, QPalette::Text, fore);
        p.setColor(QPalette::Disabled, QPalette::Text,
                   system.color(QPalette::Disabled, QPalette::Text));
        field->setPalette(p);
    }
    for (DotControl* dot : _dotControls) {
        QPalette p = dot->palette();
        for (QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Base, palette().color(QPalette::Active, QPalette::Base));
            p.setColor(group, QPalette::Text, fore);
        }
        dot->setPalette(p);
        dot->SetBackColorChanged(_backColorChanged);
    }
    update();
}

bool IPAddressControl::UsesVisualStyles() const {
    // The classic Windows style draws the old sunken edge; every other style has its own frame.
    return style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void IPAddressControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette system = QApplication::palette(this);
    QColor back = BackColor();
    if ((!isEnabled() || _readOnly) && !_backColorChanged) {
        back = system.color(QPalette::Active, QPalette::Window);
    }
    painter.fillRect(rect(), back);

    switch (_borderStyle) {
    case Style::Fixed3D:
        if (UsesVisualStyles()) {
            QStyleOptionFrame option;
            option.initFrom(this);
            option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
            option.midLineWidth = 0;
            option.state |= QStyle::State_Sunken;
            if (_readOnly) {
                option.state |= QStyle::State_ReadOnly;
            }
            if (_focused) {
                option.state |= QStyle::State_HasFocus;
            }
            style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
        } else {
            qDrawWinPanel(&painter, rect(), palette(), true);
        }
        break;
    case Style::FixedSingle:
        painter.setPen(system.color(QPalette::Active, QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        break;
    case Style::None:
        break;
    }
}

void IPAddressControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
}

void IPAddressControl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        AdjustSize();
        update();
        break;
    case QEvent::PaletteChange:
        if (_constructed && palette().isBrushSet(QPalette::Active, QPalette::Base)) {
            _backColorChanged = true;
        }
        ApplyColours();
        break;
    case QEvent::EnabledChange:
        ApplyColours();
        break;
    default:
        break;
    }
}

} // namespace MarlinIPAddressControlLib
