#include "FormMain.h"

#include "ConfigTransfer.h"
#include "HandlerGuard.h"
#include "PollingLoop.h"
#include "Readings.h"
#include "RelayChannel.h"
#include "ScriptsPanel.h"
#include "SettingsMenu.h"
#include "TarnUsb.h"
#include "TelemetryTools.h"
#include "ToolsMenu.h"
#include "UnitSettings.h"
#include "WindowBackups.h"
#include "WindowIcon.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

namespace Corvane {
namespace {

constexpr int kClientWidth = 1102;
constexpr int kClientHeight = 518;
constexpr int kChannelColumnWidth = 635;
constexpr int kCenterColumnWidth = 135;

struct Heading {
    const char* name;
    const char* text;
    int x;
    int width;
};

// Over the rows' current, status, fuse, I²t and protect columns.
const std::array<Heading, 5> kHeadings{{
    {"labelHeadingCurrent", "Current (A)", 274, 90},
    {"labelHeadingStatus", "Status", 366, 74},
    {"labelHeadingFuseRating", "Fuse Rating (A)", 442, 82},
    {"labelHeadingI2t", "I\u00b2 t (A\u00b2 s)", 525, 49},
    {"labelHeadingProtect", "Protect", 575, 55},
}};
constexpr int kHeadingTop = 19;

} // namespace

static_assert(std::tuple_size_v<ChannelRows> == FormMain::kChannels);

FormMain::FormMain(QWidget* parent)
    : QMainWindow(parent)
    , dev(std::make_unique<tarn::TarnUsb>())
    , scale_(font()) {
    setWindowTitle(QStringLiteral("Tarnwell v1.2 (Marlin Inc.)"));
    setWindowIcon(WindowIcon::load());
    buildLayout();
    buildMenu();
    components = new QObject(this);
    components->setObjectName(QStringLiteral("components"));
    timer1_ = new QTimer(components);
    timer1_->setObjectName(QStringLiteral("timer1"));
    timer1_->setInterval(1);
    timer1_->start();
    buildRows();
    pollingLoop_ = std::make_unique<PollingLoop>(*this, dev, *settings_, *readings_, *scripts_,
                                                 channels_, *inverterChannel_);
    telemetryTools_ = std::make_unique<TelemetryTools>(*this);
    pollingLoop_->setTelemetrySink(telemetryTools_.get());
    connect(timer1_, &QTimer::timeout, this,
            [this] { HandlerGuard::run(this, [this] { timer1_Tick(); }); });
    resize(scale_.x(kClientWidth), scale_.y(kClientHeight));
}

FormMain::~FormMain() {
    dispose();
}

void FormMain::dispose() {
    if (disposed_) {
        return;
    }
    disposed_ = true;
    telemetryTools_->stopRecording();
    // The switch board borrows dev: it goes first.
    settingsMenu_->closeSwitchBoard();
    if (dev) {
        if (dev->isOpen()) {
            dev->sendDataStreamDisable();
        }
        dev.reset();
    }
    timer1_->stop();
}

void FormMain::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        dispose();
    }
}

// ---- Layout ----

void FormMain::buildLayout() {
    auto* table = new QWidget(this);
    table->setObjectName(QStringLiteral("tableLayoutPanelMain"));
    auto* columns = new QHBoxLayout(table);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(buildChannelColumn(table));
    columns->addWidget(buildCenterColumn(table));
    columns->addWidget(buildRightColumn(table), 1);
    setCentralWidget(table);
}

QWidget* FormMain::buildChannelColumn(QWidget* parent) {
    auto* column = new QWidget(parent);
    column->setFixedWidth(scale_.x(kChannelColumnWidth));
    auto* fill = new QVBoxLayout(column);
    fill->setContentsMargins(3, 3, 3, 3);
    groupChannels_ = new QGroupBox(QStringLiteral("Channels (double click name to edit)"), column);
    groupChannels_->setObjectName(QStringLiteral("groupChannels"));
    fill->addWidget(groupChannels_);
    for (const Heading& h : kHeadings) {
        auto* label = new QLabel(QString::fromUtf8(h.text), groupChannels_);
        label->setObjectName(QString::fromLatin1(h.name));
        label->setGeometry(scale_.rect(h.x, kHeadingTop, h.width, 13));
    }
    return column;
}

QWidget* FormMain::buildCenterColumn(QWidget* parent) {
    auto* column = new QWidget(parent);
    column->setObjectName(QStringLiteral("tableLayoutPanelCenterRows"));
    // Both edges scaled, so that the third column starts where it would in design pixels.
    column->setFixedWidth(scale_.x(kChannelColumnWidth + kCenterColumnWidth) -
                          scale_.x(kChannelColumnWidth));
    auto* rows = new QVBoxLayout(column);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    settings_ = new UnitSettings(*rows, dev, scale_);
    readings_ = std::make_unique<Readings>(*rows, scale_);
    return column;
}

QWidget* FormMain::buildRightColumn(QWidget* parent) {
    auto* column = new QWidget(parent);
    column->setObjectName(QStringLiteral("tableLayoutPanelRightRows"));
    scripts_ = new ScriptsPanel(column, dev, scale_);
    return column;
}

void FormMain::buildMenu() {
    menu_ = std::make_unique<MainMenu>(*menuBar());
    menuBar()->setObjectName(QStringLiteral("menuStrip1"));
    // A window torn down takes no more commands.
    const auto on = [this](QAction* action, void (FormMain::*handler)()) {
        connect(action, &QAction::triggered, this, guarded(this, [this, handler](bool) {
                    if (!disposed_) {
                        (this->*handler)();
                    }
                }));
    };
    on(menu_->saveConfigXMLToolStripMenuItem, &FormMain::saveConfigXMLToolStripMenuItem_Click);
    on(menu_->loadConfigxmlToolStripMenuItem, &FormMain::loadConfigxmlToolStripMenuItem_Click);
    on(menu_->factoryResetToolStripMenuItem, &FormMain::factoryResetToolStripMenuItem_Click);
    on(menu_->exitToolStripMenuItem, &FormMain::exitToolStripMenuItem_Click);
    on(menu_->stopToolStripMenuItem, &FormMain::stopToolStripMenuItem_Click);
    on(menu_->startupToolStripMenuItem, &FormMain::startupToolStripMenuItem_Click);
    on(menu_->shutdownToolStripMenuItem, &FormMain::shutdownToolStripMenuItem_Click);
    settingsMenu_ = std::make_unique<SettingsMenu>(dev, *this);
    on(menu_->networkSettingsToolStripMenuItem, &FormMain::networkSettingsToolStripMenuItem_Click);
    on(menu_->switchBoardToolStripMenuItem, &FormMain::switchBoardToolStripMenuItem_Click);
    buildToolsMenu();
}

// Beside the three menus of the window's own commands, after them.
void FormMain::buildToolsMenu() {
    tools_ = std::make_unique<ToolsMenu>(*menu_->toolsToolStripMenuItem, *this, dev);
    const auto on = [this](QAction* action, void (ToolsMenu::*handler)()) {
        connect(action, &QAction::triggered, this, guarded(this, [this, handler](bool) {
                    if (!disposed_) {
                        (tools_.get()->*handler)();
                    }
                }));
    };
    on(tools_->compareWithFileToolStripMenuItem,
       &ToolsMenu::compareWithFileToolStripMenuItem_Click);
    on(tools_->compareTwoFilesToolStripMenuItem,
       &ToolsMenu::compareTwoFilesToolStripMenuItem_Click);
    on(tools_->backupsToolStripMenuItem, &ToolsMenu::backupsToolStripMenuItem_Click);
}

void FormMain::networkSettingsToolStripMenuItem_Click() {
    settingsMenu_->networkSettingsToolStripMenuItem_Click();
}

void FormMain::switchBoardToolStripMenuItem_Click() {
    settingsMenu_->switchBoardToolStripMenuItem_Click();
}

void FormMain::buildRows() {
    // The rows are owned by the group box they stand in, like the controls they place there.
    const auto row = [this](uint32_t channel, bool inverter) {
        auto* made = new RelayChannel(groupChannels_, dev, channel, inverter);
        made->setParent(groupChannels_);
        return made;
    };
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        channels_.at(i) = row(static_cast<uint32_t>(i), false);
    }
    inverterChannel_ = row(tarn::TarnInterface::kInverterChannel, true);
    inverterChannel_->SetVisible(false);
}

// ---- Operations ----

bool FormMain::setMode(int mode) {
    return settings_->setMode(mode);
}

void FormMain::updateMode() {
    settings_->updateMode();
}

void FormMain::updateId() {
    settings_->updateId();
}

void FormMain::updatePin() {
    settings_->updatePin();
}

void FormMain::setPin() {
    settings_->setPin();
}

void FormMain::loadScript() {
    scripts_->loadScript();
}

// ---- The polling loop ----

void FormMain::timer1_Tick() {
    pollingLoop_->timer1_Tick();
}

void FormMain::updateInverterStatus(const tarn::InverterFeedback& inverter) {
    pollingLoop_->updateInverterStatus(inverter);
}

void FormMain::setSerialText(uint32_t serial) {
    pollingLoop_->setSerialText(serial);
}

// ---- Menu commands ----

ConfigTransfer FormMain::transfer() {
    // The unit is backed up once the file has been read, before the load sends anything.
    return ConfigTransfer(*this, dev, *settings_, *scripts_, channels_, [this] {
        return WindowBackups::takeOrAsk(this, *dev, tools_->backups(),
                                        mapping::BackupStore::kBeforeLoad);
    });
}

void FormMain::saveConfigXMLToolStripMenuItem_Click() {
    transfer().saveConfigXMLToolStripMenuItem_Click();
}

void FormMain::loadConfigxmlToolStripMenuItem_Click() {
    transfer().loadConfigxmlToolStripMenuItem_Click();
}

void FormMain::factoryResetToolStripMenuItem_Click() {
    if (!dev || !dev->isOpen()) {
        return;
    }
    QMessageBox question(QMessageBox::Warning, HandlerGuard::caption(),
                         QStringLiteral("Reset all configurations to factory defaults?"),
                         QMessageBox::Ok | QMessageBox::Cancel, this);
    // Ticks keep running while the question is open; the device may be gone when it returns.
    if (question.exec() != QMessageBox::Ok || !dev) {
        return;
    }
    // What the reset wipes is kept first; without a backup the operator decides.
    if (!WindowBackups::takeOrAsk(this, *dev, tools_->backups(),
                                  mapping::BackupStore::kBeforeReset) ||
        !dev) {
        return;
    }
    dev->factoryReset();
    // The next tick reopens the unit and reads its whole configuration afresh.
    dev->closeDevice();
}

void FormMain::exitToolStripMenuItem_Click() {
    QCoreApplication::quit();
}

void FormMain::stopToolStripMenuItem_Click() {
    scripts_->buttonStop_Click();
}

void FormMain::startupToolStripMenuItem_Click() {
    scripts_->buttonStartup_Click();
}

void FormMain::shutdownToolStripMenuItem_Click() {
    scripts_->buttonShutdown_Click();
}

// ---- Editing flags ----

bool FormMain::modeChange() const {
    return settings_->modeChange();
}

bool FormMain::idChange() const {
    return settings_->idChange();
}

bool FormMain::pinChange() const {
    return settings_->pinChange();
}

} // namespace Corvane
