#pragma once

#include "DeviceSlot.h"
#include "Packets.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

class QKeyEvent;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace Corvane {

class ButtonCheckBox;
class DesignScale;

// The right-hand column: the unit's four scripts in a tab each, two run buttons that show what
// the unit runs, a stop button, and reading, writing and resetting all four scripts. Scripts
// are plain text to the console; edits stay in the boxes until "Write All Scripts". The controls
// are this column's own: the polling loop and the configuration load go through the operations
// below.
class ScriptsPanel : public QObject {
    Q_OBJECT

public:
    enum Slot : std::size_t { Startup, Shutdown, ValetStartup, ValetShutdown, kSlots };
    static constexpr double kEditorPointSize = 9.0;
    // Zooming out stops here: still a valid font, and the smallest one still legible.
    static constexpr double kMinZoomPointSize = 4.0;

    // Fills `column` (tableLayoutPanelRightRows) with the tabs above two rows of buttons.
    ScriptsPanel(QWidget* column, const DeviceSlot& dev, const DesignScale& scale);

    // The box's text exactly as the operator sees it, line breaks as single line feeds (Qt's
    // plain-text export would also turn no-break spaces into blanks).
    static QString scriptText(const QPlainTextEdit& box);

    // Reads the four scripts into their boxes; a box whose read fails keeps its text.
    void loadScript();
    // A script the unit has taken, in its box.
    void showScript(Slot slot, const QString& text);
    // "Run Startup" checked exactly while the unit runs the start-up script, "Run Shutdown"
    // while it runs the shut-down script; a valet script checks neither.
    void showScriptStatus(tarn::ScriptType running);
    // No unit: neither runs.
    void showNoScript() { showScriptStatus(tarn::SCRIPT_NONE); }

    // ---- Handlers ----
    void btnLoadScript_Click() { loadScript(); }
    void btnSaveScript_Click();
    void btnDefaultScript_Click();
    void buttonStartup_Click();
    void buttonShutdown_Click();
    void buttonStop_Click();
    void txtScript_KeyUp(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTabs(QWidget* column);
    QWidget* buttonRow(QWidget* column, const DesignScale& scale);
    QPushButton* button(QWidget* row, QPushButton* made, const QString& name, const QString& text);
    void connectHandlers();
    void writeAll(bool empty);

    const DeviceSlot& dev_;
    QWidget* owner_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::array<QPlainTextEdit*, kSlots> boxes_{};
    ButtonCheckBox* runStartup_ = nullptr;
    ButtonCheckBox* runShutdown_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* defaults_ = nullptr;
    // The one size all four boxes share, taken from the start-up box at the first key.
    std::optional<double> zoomSize_;
};

} // namespace Corvane
