#pragma once

#include "BackupStore.h"
#include "DeviceSlot.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace Corvane {

// The backups taken before loads, factory resets and sends: the connected unit's, newest first,
// or with no unit connected every unit's by serial number. "Compare with Unit..." opens the
// compare dialog with the chosen backup, from which its settings can be sent back: that is how
// a unit is restored. "Open Folder" shows the files in the desktop's file manager.
class BackupsDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { SerialColumn, TakenColumn, ReasonColumn };

    BackupsDialog(QWidget* parent, const DeviceSlot& dev, mapping::BackupStore store);

    void btnCompare_Click();
    void btnOpenFolder_Click();

    // "before load" for "before-load"; an unknown reason as it is.
    static QString reasonText(const std::string& reason);

private:
    void build();
    void fill();
    bool unitConnected() const;

    const DeviceSlot& dev_;
    mapping::BackupStore store_;
    std::vector<mapping::BackupEntry> entries_;

    QLabel* folder_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* compare_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace Corvane
