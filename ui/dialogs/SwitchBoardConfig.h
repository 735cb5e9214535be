#pragma once

#include "Packets.h"
#include "TarnInterface.h"

#include <QFont>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <array>
#include <optional>

class QComboBox;

namespace Corvane {

// Assigns the unit's eight switch-panel functions to the 27 buttons of the CAN switch panel:
// one drop-down list above each button of a picture of the panel. There is no OK or Cancel;
// every change is written to the unit at once. Modeless; closing the window destroys it.
//
// The dialog works on its own copy of the unit's record, read once when it is built: a change
// made meanwhile by other means is not shown, and the dialog's next write replaces it.
class SwitchBoardConfig : public QWidget {
    Q_OBJECT
public:
    static constexpr int NUM_BUTTONS = 27;

    // The options of every box, in order; option i (1 to 8) is record byte i - 1.
    enum Options {
        NONE_IDX = 0,
        MODE_SELECT_IDX,
        STARTUP_IDX,
        SHUTDOWN_IDX,
        MODE_AUTO_IDX,
        MODE_MANUAL_IDX,
        MODE_VALET_IDX,
        INVERTER_MASTER,
        INVERTER_SLAVE,
    };

    // Builds the window and its boxes, then reads the unit's record and shows it (writing the
    // normalised record back once per assigned function).
    explicit SwitchBoardConfig(tarn::TarnInterface& dev, QWidget* parent = nullptr);

    // The working copy of the record, as last written.
    const tarn::CanMsgConfig& buttonConfig() const { return btnConfig_; }
    // The box of button 0 to 26.
    QComboBox* box(int button) const;

    static const QStringList& options();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateButton(int button, QPoint position);
    void readUnit();
    void OnSelectedIndexChanged(QComboBox* sender, int index);

    tarn::TarnInterface& dev_;
    tarn::CanMsgConfig btnConfig_{};
    std::array<QComboBox*, NUM_BUTTONS> cboBoxes_{};
    std::optional<QFont> boxFont_; // the same for every box, fitted to the first
};

} // namespace Corvane
