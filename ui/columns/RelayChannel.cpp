#include "RelayChannel.h"

#include "ChannelSettings.h"
#include "ClickLabel.h"
#include "DesignScale.h"
#include "DisplayRefresh.h"
#include "DropDownList.h"
#include "FuseTable.h"
#include "HandlerGuard.h"
#include "InputBox.h"
#include "NamedColors.h"
#include "NumberText.h"
#include "Packets.h"
#include "TarnInterface.h"
#include "Telemetry.h"
#include "UnitCodePage.h"
#include "WindowFonts.h"

#include <QCheckBox>
#include <QCompleter>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <string>

namespace Corvane {
namespace {

constexpr int kRowPitch = 35;

// Design-pixel boxes of the row's columns, relative to the row's top.
struct Slot {
    int x;
    int dy;
    int width;
    int height;
};
constexpr Slot kLabel{7, 5, 82, 17};
constexpr Slot kOn{96, 0, 45, 23};
constexpr Slot kOff{148, 0, 50, 23};
constexpr Slot kToggle{205, 0, 60, 23};
constexpr Slot kCurrent{272, 2, 60, 22};
constexpr Slot kStatus{339, 2, 100, 22};
constexpr Slot kFuse{446, 2, 70, 22};
constexpr Slot kI2t{523, 2, 50, 22};
constexpr Slot kProtect{580, 4, 91, 21};

// The standard ratings, written as updateFuse writes them and parse reads them: "7.5" in a
// point-decimal locale, "7,5" where the comma is the decimal separator (a literal "7.5" there
// would read as a grouped number, or not at all).
QStringList fuseChoices() {
    QStringList choices;
    for (const double rating : {1.0, 2.0, 3.0, 4.0, 5.0, 7.5, 10.0, 15.0, 20.0, 25.0, 30.0}) {
        choices.append(NumberText::upToOneDecimal(rating));
    }
    return choices;
}

template <typename W>
W* place(W* widget, const char* name, const DesignScale& scale, int top, const Slot& slot) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(scale.rect(slot.x, top + slot.dy, slot.width, slot.height));
    return widget;
}

// How a status box shows a state: its text, and its colours unless the state leaves them as
// they were.
struct StatusLook {
    QString text;
    std::optional<NamedColor> background;
    std::optional<NamedColor> foreground;
};

StatusLook relayLook(unsigned code) {
    const QString text = QString::fromLatin1(tarn::relayStateText(code));
    switch (code) {
    case tarn::RELAY_OFF:
        return {text, NamedColor::White, NamedColor::Black};
    case tarn::RELAY_ON:
    case tarn::RELAY_NO_LOAD:
        return {text, NamedColor::Green, NamedColor::White};
    case tarn::RELAY_BAD_RELAY:
    case tarn::RELAY_BAD_FUSE:
    case tarn::RELAY_OVER_CURRENT:
        return {text, NamedColor::Red, NamedColor::White};
    default:
        return {text, std::nullopt, std::nullopt};
    }
}

StatusLook inverterLook(const tarn::InverterFeedback& inverter) {
    const auto text = QString::fromLatin1(tarn::inverterStateText(inverter));
    if (inverter.over_load || inverter.over_temp) {
        return {text, NamedColor::Red, NamedColor::White};
    }
    if (inverter.on) {
        return {text, NamedColor::Green, NamedColor::White};
    }
    return {text, NamedColor::White, NamedColor::Black};
}

void showLook(QLineEdit& box, const StatusLook& look) {
    DisplayRefresh::setText(box, look.text);
    if (look.background && look.foreground) {
        DisplayRefresh::setColors(box, NamedColors::color(*look.background),
                                  NamedColors::color(*look.foreground));
    }
}

// General number format in the window's locale, as a loaded file's values are shown: 7.5, 30,
// 1130, never grouped.
QString generalNumber(double value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

// A completer that no fuse box keeps, lent to each box's line edit while the box takes it over.
QCompleter* standInCompleter(QWidget& parent) {
    const QString name = QStringLiteral("fuseCompleterStandIn");
    auto* completer = parent.findChild<QCompleter*>(name, Qt::FindDirectChildrenOnly);
    if (completer == nullptr) {
        completer = new QCompleter(&parent);
        completer->setObjectName(name);
    }
    return completer;
}

// Clears the fuse lock however the commit ends.
class UnlockOnExit {
public:
    explicit UnlockOnExit(RelayChannel& row)
        : row_(row) {}
    ~UnlockOnExit() { row_.fuseUnlock(); }
    UnlockOnExit(const UnlockOnExit&) = delete;
    UnlockOnExit& operator=(const UnlockOnExit&) = delete;

private:
    RelayChannel& row_;
};

} // namespace

RelayChannel::RelayChannel(QWidget* parent, const DeviceSlot& dev, std::uint32_t channel,
                           bool inverter)
    : channel_(channel)
    , dev_(dev)
    , inverter_(inverter) {
    const DesignScale scale = DesignScale::of(*parent);
    const int top = static_cast<int>(channel + 1) * kRowPitch;
    const bool updates = parent->updatesEnabled();
    parent->setUpdatesEnabled(false);
    createControls(parent, scale, top);
    if (!inverter_) {
        createFuseControls(parent, scale, top);
    }
    wireEvents(parent);
    parent->setUpdatesEnabled(updates);
    parent->update();
}

void RelayChannel::createControls(QWidget* parent, const DesignScale& scale, int top) {
    lblChannel = place(new ClickLabel(parent), "label1", scale, top, kLabel);
    // A name from the unit is shown as it is, never interpreted as markup.
    lblChannel->setTextFormat(Qt::PlainText);
    lblChannel->setText(QStringLiteral("Ch.%1").arg(channel_ + 1));

    btnOn = place(new QPushButton(QStringLiteral("ON"), parent), "button1", scale, top, kOn);
    btnOff = place(new QPushButton(QStringLiteral("OFF"), parent), "button2", scale, top, kOff);
    btnToggle =
        place(new QPushButton(QStringLiteral("TOGGLE"), parent), "button3", scale, top, kToggle);

    textBoxCurrent = place(new QLineEdit(parent), "textBoxCurrent", scale, top, kCurrent);
    textBoxCurrent->setFont(WindowFonts::courierNew(7.9));
    textBoxCurrent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    textBoxCurrent->setReadOnly(true);
    textBoxCurrent->setVisible(!inverter_);

    txtBoxRelayStatus = place(new QLineEdit(parent), "textBox3", scale, top, kStatus);
    txtBoxRelayStatus->setAlignment(Qt::AlignCenter);
    txtBoxRelayStatus->setReadOnly(true);
}

void RelayChannel::createFuseControls(QWidget* parent, const DesignScale& scale, int top) {
    comboBoxFuse = place(new DropDownList(parent), "comboBox1", scale, top, kFuse);
    // Made editable through a line edit that has a completer already: handed one without, the
    // box builds a default completer, costly at start-up, only for the line below to drop it.
    auto* edit = new QLineEdit(comboBoxFuse);
    edit->setCompleter(standInCompleter(*parent));
    comboBoxFuse->setLineEdit(edit);
    comboBoxFuse->setInsertPolicy(QComboBox::NoInsert);
    comboBoxFuse->setCompleter(nullptr); // a typed "7" stays 7, not 7.5
    comboBoxFuse->addItems(fuseChoices());
    comboBoxFuse->setCurrentIndex(-1);

    txtBoxCurrentSq = place(new QLineEdit(parent), "textBox5", scale, top, kI2t);
    txtBoxCurrentSq->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    checkBox1 = place(new QCheckBox(parent), "checkBox1", scale, top, kProtect);
    checkBox1->adjustSize();
}

// `owner` (the group box) parents the guard's message box.
void RelayChannel::wireEvents(QWidget* owner) {
    connect(lblChannel, &ClickLabel::clicked, this, guarded(owner, [this] { lblChannel_Click(); }));
    connect(btnOn, &QPushButton::clicked, this, guarded(owner, [this](bool) { btnOn_Click(); }));
    connect(btnOff, &QPushButton::clicked, this, guarded(owner, [this](bool) { btnOff_Click(); }));
    connect(btnToggle, &QPushButton::clicked, this,
            guarded(owner, [this](bool) { btnToggle_Click(); }));
    if (inverter_) {
        return;
    }
    // A pick of the item already selected but retyped meanwhile raises no index change; the
    // pick still counts as a change of selection.
    connect(comboBoxFuse, &QComboBox::currentIndexChanged, this,
            guarded(owner, [this](int) { fuseChange(); }));
    connect(comboBoxFuse, &QComboBox::activated, this,
            guarded(owner, [this](int) { fuseChange(); }));
    connect(comboBoxFuse, &DropDownList::focusGained, this,
            guarded(owner, [this] { fuseEnter(); }));
    connect(comboBoxFuse, &DropDownList::focusLost, this, guarded(owner, [this] { fuseLeave(); }));
    connect(checkBox1, &QCheckBox::toggled, this, guarded(owner, [this](bool) { setFuse(); }));
}

void RelayChannel::updateFuse(double rating) {
    if (comboBoxFuse == nullptr) {
        return;
    }
    setFuseText(NumberText::upToOneDecimal(rating));
    const FuseTable::Colors colors = FuseTable::colorsFor(rating);
    DisplayRefresh::setColors(*comboBoxFuse, NamedColors::color(colors.background),
                              NamedColors::color(colors.text));
}

// Showing an item's text selects that item; any other text selects none, so that picking any
// item later is a change of selection.
void RelayChannel::setFuseText(const QString& text) {
    const int index = comboBoxFuse->findText(text, Qt::MatchExactly);
    comboBoxFuse->setCurrentIndex(index);
    if (comboBoxFuse->currentText() != text) {
        comboBoxFuse->setEditText(text);
    }
}

void RelayChannel::SetVisible(bool visible) {
    lblChannel->setVisible(visible);
    btnOn->setVisible(visible);
    btnOff->setVisible(visible);
    btnToggle->setVisible(visible);
    txtBoxRelayStatus->setVisible(visible);
}

bool RelayChannel::fuseLock() {
    if (fuse_lock_) {
        return false;
    }
    fuse_lock_ = true;
    return true;
}

bool RelayChannel::fuseUnlock() {
    if (!fuse_lock_) {
        return false;
    }
    fuse_lock_ = false;
    fuse_text_.clear();
    return true;
}

// ---- What the polling loop shows ----

void RelayChannel::showCurrent(double amperes) {
    DisplayRefresh::setText(*textBoxCurrent, NumberText::n2(amperes));
}

void RelayChannel::showRelayState(unsigned code) {
    showLook(*txtBoxRelayStatus, relayLook(code));
}

void RelayChannel::showInverterState(const tarn::InverterFeedback& inverter) {
    showLook(*txtBoxRelayStatus, inverterLook(inverter));
}

void RelayChannel::showUnitFuse(double rating, double i2t, bool protect) {
    if (inverter_) {
        return;
    }
    // Taken here, the lock keeps the fuse handlers from writing these values back; a lock that
    // is held already stays with its holder.
    const bool locked = fuseLock();
    updateFuse(rating);
    DisplayRefresh::setText(*txtBoxCurrentSq, NumberText::n1(i2t));
    checkBox1->setChecked(protect);
    if (locked) {
        fuseUnlock();
    }
}

void RelayChannel::showUnitName(const std::string& name) {
    lblChannel->setText(UnitCodePage::fromUnit(name));
}

// ---- Save and load ----

void RelayChannel::collect(ChannelSettings& settings) const {
    // The configuration model keeps its texts as UTF-8.
    settings.name = lblChannel->text().toStdString();
    if (inverter_) {
        return;
    }
    settings.fuse = NumberText::parse(comboBoxFuse->currentText()).value_or(0.0);
    settings.I2T = NumberText::parse(txtBoxCurrentSq->text()).value_or(0.0);
    settings.protect = checkBox1->isChecked();
}

void RelayChannel::apply(const ChannelSettings& settings) {
    if (!dev_) {
        return;
    }
    // Cut where the unit cuts, so that the label shows the name the unit holds.
    const std::string name = UnitCodePage::toUnit(QString::fromStdString(settings.name),
                                                  tarn::TarnInterface::kMaxNameBytes);
    if (dev_->setChannelName(channel_, name)) {
        showUnitName(name);
    }
    if (inverter_) {
        return;
    }
    // The fuse and I²t texts send nothing by themselves; a changed protect box commits.
    if (settings.fuse) {
        setFuseText(generalNumber(*settings.fuse));
    }
    if (settings.I2T) {
        txtBoxCurrentSq->setText(generalNumber(*settings.I2T));
    }
    if (settings.protect) {
        checkBox1->setChecked(*settings.protect);
    }
}

// ---- Handlers ----

void RelayChannel::btnOn_Click() {
    if (dev_) {
        dev_->sendRelayRequestOn(channel_);
    }
}

void RelayChannel::btnOff_Click() {
    if (dev_) {
        dev_->sendRelayRequestOff(channel_);
    }
}

void RelayChannel::btnToggle_Click() {
    if (dev_) {
        dev_->sendRelayRequestToggle(channel_);
    }
}

void RelayChannel::fuseEnter() {
    fuse_text_ = comboBoxFuse->currentText();
}

void RelayChannel::fuseLeave() {
    if (!fuse_text_.isEmpty() && fuse_text_ != comboBoxFuse->currentText()) {
        calculateFuse();
    }
    fuse_text_.clear();
}

void RelayChannel::fuseChange() {
    fuseLeave();
    fuse_text_ = comboBoxFuse->currentText();
}

void RelayChannel::calculateFuse() {
    const std::optional<double> rating = NumberText::parse(comboBoxFuse->currentText());
    if (!rating) {
        return;
    }
    txtBoxCurrentSq->setText(FuseTable::i2tTextFor(*rating));
    setFuse();
}

void RelayChannel::setFuse() {
    if (fuse_lock_) {
        return;
    }
    fuse_lock_ = true;
    const UnlockOnExit unlock(*this);
    commitFuse();
}

void RelayChannel::commitFuse() {
    if (!dev_) {
        return;
    }
    const std::optional<double> typed = NumberText::parse(comboBoxFuse->currentText());
    if (!typed) {
        return;
    }
    const double rating = FuseTable::clampRating(*typed);
    const std::optional<double> typedI2t = NumberText::parse(txtBoxCurrentSq->text());
    // Held to what the unit's field carries, so that no value is converted out of range.
    const double i2t = FuseTable::clampI2t(typedI2t ? *typedI2t : rating * rating);
    const bool protect = checkBox1->isChecked();
    dev_->setChannelConfig(channel_, rating, i2t, protect);

    double ratingRead = 0;
    double i2tRead = 0;
    bool protectRead = protect;
    if (dev_->getChannelConfig(channel_, &ratingRead, &i2tRead, &protectRead)) {
        showUnitFuse(ratingRead, i2tRead, protectRead);
    }
}

void RelayChannel::lblChannel_Click() {
    if (!dev_) {
        return; // the window is torn down: no name could reach a unit
    }
    // On the heap with the window as parent: should the window go while the dialog's own event
    // loop runs, the dialog and this row go with it, and nothing here is touched again.
    const QPointer<InputBox> dialog = new InputBox(lblChannel->window());
    dialog->setFormText(QStringLiteral("Enter new channel name:"));
    dialog->setText(lblChannel->text());
    const int result = dialog->exec();
    if (dialog.isNull()) {
        return;
    }
    const QString text = dialog->getText();
    delete dialog.data();
    // Ticks run while the dialog is open; the window may have been torn down meanwhile.
    if (result != QDialog::Accepted || !dev_) {
        return;
    }
    dev_->setChannelName(channel_, UnitCodePage::toUnit(text, tarn::TarnInterface::kMaxNameBytes));
    std::string name;
    if (dev_->getChannelName(channel_, &name)) {
        showUnitName(name);
    }
}

} // namespace Corvane
