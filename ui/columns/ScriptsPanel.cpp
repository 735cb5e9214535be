#include "ScriptsPanel.h"

#include "ButtonCheckBox.h"
#include "DesignScale.h"
#include "HandlerGuard.h"
#include "UnitCodePage.h"
#include "WindowFonts.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>

#include <algorithm>
#include <string>

namespace Corvane {
namespace {

struct ScriptSlot {
    const char* page;
    const char* caption;
    const char* box;
    bool (tarn::TarnInterface::*read)(std::string&);
    bool (tarn::TarnInterface::*write)(const std::string&);
};

constexpr std::array<ScriptSlot, ScriptsPanel::kSlots> kSlotTable{{
    {"startup", "Startup", "textboxStartup", &tarn::TarnInterface::getScriptIgnitionOn,
     &tarn::TarnInterface::setScriptIgnitionOn},
    {"shutdown", "Shutdown", "textboxShutdown", &tarn::TarnInterface::getScriptIgnitionOff,
     &tarn::TarnInterface::setScriptIgnitionOff},
    {"valetStartup", "Valet Startup", "textboxValetStartup",
     &tarn::TarnInterface::getScriptValetIgnitionOn,
     &tarn::TarnInterface::setScriptValetIgnitionOn},
    {"valetShutdown", "Valet Shutdown", "textboxValetShutdown",
     &tarn::TarnInterface::getScriptValetIgnitionOff,
     &tarn::TarnInterface::setScriptValetIgnitionOff},
}};

constexpr int kButtonRowHeight = 30;

// +1 or -1 for the zoom keys, 0 for any other key. Only the main keyboard's plus (the key that
// also carries "=") and minus count, and only with Ctrl alone held.
int zoomStep(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers.testFlag(Qt::KeypadModifier) || modifiers != Qt::ControlModifier) {
        return 0;
    }
    switch (event.key()) {
    case Qt::Key_Equal:
    case Qt::Key_Plus: // layouts where plus needs no Shift
        return 1;
    case Qt::Key_Minus:
        return -1;
    default:
        return 0;
    }
}

} // namespace

ScriptsPanel::ScriptsPanel(QWidget* column, const DeviceSlot& dev, const DesignScale& scale)
    : QObject(column)
    , dev_(dev)
    , owner_(column) {
    auto* rows = new QVBoxLayout(column);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    buildTabs(column);
    rows->addWidget(tabs_, 1);

    QWidget* upper = buttonRow(column, scale);
    runStartup_ = new ButtonCheckBox(upper);
    button(upper, runStartup_, QStringLiteral("checkboxScriptStartup"),
           QStringLiteral("Run Startup"));
    runShutdown_ = new ButtonCheckBox(upper);
    button(upper, runShutdown_, QStringLiteral("checkboxScriptShutdown"),
           QStringLiteral("Run Shutdown"));
    stop_ = button(upper, new QPushButton(upper), QStringLiteral("buttonScriptStop"),
                   QStringLiteral("Stop Script"));
    rows->addWidget(upper);

    QWidget* lower = buttonRow(column, scale);
    load_ = button(lower, new QPushButton(lower), QStringLiteral("btnLoadScript"),
                   QStringLiteral("Read All Scripts"));
    save_ = button(lower, new QPushButton(lower), QStringLiteral("btnSaveScript"),
                   QStringLiteral("Write All Scripts"));
    defaults_ = button(lower, new QPushButton(lower), QStringLiteral("btnDefaultScript"),
                       QStringLiteral("Script Defaults"));
    rows->addWidget(lower);

    connectHandlers();
}

void ScriptsPanel::buildTabs(QWidget* column) {
    tabs_ = new QTabWidget(column);
    tabs_->setObjectName(QStringLiteral("ScriptTabBox"));
    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        const ScriptSlot& slot = kSlotTable.at(i);
        auto* page = new QWidget(tabs_);
        page->setObjectName(QString::fromLatin1(slot.page));
        auto* fill = new QVBoxLayout(page);
        fill->setContentsMargins(0, 0, 0, 0);
        auto* box = new QPlainTextEdit(page);
        box->setObjectName(QString::fromLatin1(slot.box));
        box->setFont(WindowFonts::consolas(kEditorPointSize));
        box->installEventFilter(this);
        fill->addWidget(box);
        tabs_->addTab(page, QString::fromLatin1(slot.caption));
        boxes_.at(i) = box;
    }
    tabs_->setCurrentIndex(0);
}

QWidget* ScriptsPanel::buttonRow(QWidget* column, const DesignScale& scale) {
    auto* row = new QWidget(column);
    row->setFixedHeight(scale.y(kButtonRowHeight));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(2, 2, 2, 2);
    line->setSpacing(4);
    return row;
}

QPushButton* ScriptsPanel::button(QWidget* row, QPushButton* made, const QString& name,
                                  const QString& text) {
    made->setObjectName(name);
    made->setText(text);
    made->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    row->layout()->addWidget(made);
    return made;
}

void ScriptsPanel::connectHandlers() {
    QWidget* w = owner_;
    connect(runStartup_, &QPushButton::clicked, this,
            guarded(w, [this](bool) { buttonStartup_Click(); }));
    connect(runShutdown_, &QPushButton::clicked, this,
            guarded(w, [this](bool) { buttonShutdown_Click(); }));
    connect(stop_, &QPushButton::clicked, this, guarded(w, [this](bool) { buttonStop_Click(); }));
    connect(load_, &QPushButton::clicked, this,
            guarded(w, [this](bool) { btnLoadScript_Click(); }));
    connect(save_, &QPushButton::clicked, this,
            guarded(w, [this](bool) { btnSaveScript_Click(); }));
    connect(defaults_, &QPushButton::clicked, this,
            guarded(w, [this](bool) { btnDefaultScript_Click(); }));
}

QString ScriptsPanel::scriptText(const QPlainTextEdit& box) {
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void ScriptsPanel::loadScript() {
    if (!dev_) {
        return;
    }
    std::string text;
    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        if (((*dev_).*kSlotTable.at(i).read)(text)) {
            boxes_.at(i)->setPlainText(UnitCodePage::fromUnit(text));
        }
    }
}

void ScriptsPanel::showScript(Slot slot, const QString& text) {
    boxes_.at(slot)->setPlainText(text);
}

void ScriptsPanel::showScriptStatus(tarn::ScriptType running) {
    runStartup_->setChecked(running == tarn::SCRIPT_IGNITION_ON);
    runShutdown_->setChecked(running == tarn::SCRIPT_IGNITION_OFF);
}

void ScriptsPanel::writeAll(bool empty) {
    if (!dev_) {
        return;
    }
    // Every slot is tried whatever became of the one before. A character the code page lacks
    // goes as "?"; the box keeps what was typed until the next read shows what the unit holds.
    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        const std::string text =
            empty ? std::string() : UnitCodePage::toUnit(scriptText(*boxes_.at(i)));
        ((*dev_).*kSlotTable.at(i).write)(text);
    }
}

void ScriptsPanel::btnSaveScript_Click() {
    writeAll(false);
}

void ScriptsPanel::btnDefaultScript_Click() {
    writeAll(true);
    loadScript();
}

void ScriptsPanel::buttonStartup_Click() {
    if (!dev_) {
        return;
    }
    uint8_t mode = 0;
    if (dev_->getMode(&mode) && mode == tarn::MODE_VALET) {
        dev_->executeScriptValetIgnitionOn();
    } else {
        dev_->executeScriptIgnitionOn();
    }
}

void ScriptsPanel::buttonShutdown_Click() {
    if (!dev_) {
        return;
    }
    uint8_t mode = 0;
    if (dev_->getMode(&mode) && mode == tarn::MODE_VALET) {
        dev_->executeScriptValetIgnitionOff();
    } else {
        dev_->executeScriptIgnitionOff();
    }
}

void ScriptsPanel::buttonStop_Click() {
    if (dev_) {
        dev_->executeScriptStop();
    }
}

void ScriptsPanel::txtScript_KeyUp(const QKeyEvent& event) {
    if (!zoomSize_) {
        const QFont& font = boxes_.at(Startup)->font();
        zoomSize_ = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    }
    const double before = *zoomSize_;
    // A held key repeats its release; the operator lets go of it once.
    const int step = event.isAutoRepeat() ? 0 : zoomStep(event);
    double size = before + step;
    if (step < 0 && size < kMinZoomPointSize) {
        size = std::min(before, kMinZoomPointSize);
    }
    if (size != before) {
        zoomSize_ = size;
        const QFont font = WindowFonts::consolas(size);
        for (QPlainTextEdit* box : boxes_) {
            box->setFont(font);
        }
    }
}

bool ScriptsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        HandlerGuard::run(owner_, [&] { txtScript_KeyUp(*static_cast<QKeyEvent*>(event)); });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Corvane
