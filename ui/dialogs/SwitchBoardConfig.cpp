#include "SwitchBoardConfig.h"

#include "DesignScale.h"
#include "DropDownList.h"
#include "HandlerGuard.h"
#include "ItemFields.h"
#include "SwitchPanelPicture.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVariant>

#include <algorithm>

namespace Corvane {

namespace {

// The toolkit's per-control tag: the button number a box belongs to.
constexpr const char* kTag = "tag";

constexpr QSize kBoxSize{89, 21};
constexpr int kTextMargins = 4; // what the style keeps free around a combo box's text
constexpr double kSmallestPointSize = 6.0;
constexpr QSize kClientSize{854, 582};
constexpr QSize kMaximumSize{870, 620};

// The record's bytes in option order: option k + 1 is byte k.
constexpr const auto& kFunctions = mapping::kButtonFields;
static_assert(kFunctions.size() == SwitchBoardConfig::INVERTER_SLAVE);

uint8_t& recordByte(tarn::CanMsgConfig& record, std::size_t k) {
    return record.*kFunctions.at(k).byte;
}

// Where the box of button n stands, in design pixels: just above its button in the picture.
QPoint boxPosition(int button) {
    if (button < SwitchPanelPicture::kGridButtons) {
        const int column = button % SwitchPanelPicture::kGridColumns;
        const int row = button / SwitchPanelPicture::kGridColumns;
        return {196 + 91 * column, 75 + 90 * row};
    }
    switch (button) {
    case SwitchPanelPicture::kKeySwitch:
        return {8, 86};
    case SwitchPanelPicture::kGreenButton:
        return {8, 230};
    default:
        return {8, 371};
    }
}

// The box's font, or a smaller one if the longest option would be cut off in the box's text
// area: the boxes keep the design's width, which a font wider than the design's overfills.
QFont fittedFont(const QComboBox& box, const QStringList& texts) {
    QStyleOptionComboBox option;
    option.initFrom(&box);
    const int room =
        box.style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &box)
            .width() -
        kTextMargins;
    QFont font = box.font();
    const auto widest = [&texts](const QFont& f) {
        const QFontMetrics metrics(f);
        int width = 0;
        for (const QString& text : texts) {
            width = std::max(width, metrics.horizontalAdvance(text));
        }
        return width;
    };
    while (widest(font) > room && font.pointSizeF() > kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    return font;
}

} // namespace

const QStringList& SwitchBoardConfig::options() {
    static const QStringList texts = [] {
        QStringList list{QStringLiteral("None")};
        for (const mapping::ButtonField& function : kFunctions) {
            list.append(QString::fromLatin1(function.name.data(),
                                            static_cast<qsizetype>(function.name.size())));
        }
        return list;
    }();
    return texts;
}

SwitchBoardConfig::SwitchBoardConfig(tarn::TarnInterface& dev, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , dev_(dev) {
    setObjectName(QStringLiteral("SwitchBoardConfig"));
    setWindowTitle(QStringLiteral("Switch Board Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);
    const DesignScale scale = DesignScale::of(*this);
    resize(scale.size(kClientSize.width(), kClientSize.height()));
    setMaximumSize(scale.size(kMaximumSize.width(), kMaximumSize.height()));

    for (int n = 0; n < NUM_BUTTONS; ++n) {
        CreateButton(n, boxPosition(n));
    }
    readUnit();
}

QComboBox* SwitchBoardConfig::box(int button) const {
    return button >= 0 && button < NUM_BUTTONS ? cboBoxes_[static_cast<std::size_t>(button)]
                                               : nullptr;
}

void SwitchBoardConfig::CreateButton(int button, QPoint position) {
    auto* cbo = new DropDownList(this);
    cbo->setObjectName(QStringLiteral("cboButton%1").arg(button));
    cbo->setEditable(false);
    cbo->addItems(options());
    cbo->setGeometry(DesignScale::of(*this).rect(position.x(), position.y(), kBoxSize.width(),
                                                 kBoxSize.height()));
    if (!boxFont_) {
        boxFont_ = fittedFont(*cbo, options());
    }
    cbo->setFont(*boxFont_);
    cbo->setCurrentIndex(NONE_IDX);
    cbo->setProperty(kTag, button);
    // Attached only now, so that the initial "None" writes nothing.
    connect(cbo, &QComboBox::currentIndexChanged, this,
            guarded(this, [this, cbo](int index) { OnSelectedIndexChanged(cbo, index); }));
    cboBoxes_[static_cast<std::size_t>(button)] = cbo;
}

void SwitchBoardConfig::readUnit() {
    // A failed read leaves the record as constructed: every function unassigned.
    if (!dev_.getButtonConfig(&btnConfig_)) {
        btnConfig_ = tarn::CanMsgConfig{};
        return;
    }
    // Each selection runs the change handler as the operator's would, so a record naming one
    // button twice comes out normalised, and is written back once per selection.
    for (std::size_t k = 0; k < kFunctions.size(); ++k) {
        const uint8_t b = recordByte(btnConfig_, k);
        if (tarn::CanMsgConfig::hasButton(b)) {
            cboBoxes_[b]->setCurrentIndex(static_cast<int>(k) + 1);
        }
    }
}

void SwitchBoardConfig::OnSelectedIndexChanged(QComboBox* sender, int index) {
    const int tag = sender->property(kTag).toInt();
    const auto n = static_cast<uint8_t>(tag);

    // The button gives up whatever it did before.
    for (std::size_t k = 0; k < kFunctions.size(); ++k) {
        if (recordByte(btnConfig_, k) == n) {
            recordByte(btnConfig_, k) = tarn::CanMsgConfig::kNoButton;
            break;
        }
    }

    if (index >= MODE_SELECT_IDX && index <= INVERTER_SLAVE) {
        const auto k = static_cast<std::size_t>(index - 1);
        const uint8_t old = recordByte(btnConfig_, k);
        if (old != n) {
            if (tarn::CanMsgConfig::hasButton(old)) {
                // Runs this handler for the other box at once: the unit sees the function
                // unassigned before it sees it on its new button.
                cboBoxes_[old]->setCurrentIndex(NONE_IDX);
            }
            recordByte(btnConfig_, k) = n;
        }
    }

    // Write failures are not reported; the boxes keep the operator's choice.
    dev_.setButtonConfig(btnConfig_);
}

void SwitchBoardConfig::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    // The picture follows the boxes: at the design cell it is drawn at its own size, and under
    // a larger font it grows with the box positions, so that every box stays above its button.
    const DesignScale scale = DesignScale::of(*this);
    SwitchPanelPicture::paint(painter, scale.factorX(), scale.factorY());
}

} // namespace Corvane
