#pragma once

#include "BackupStore.h"
#include "Comparison.h"
#include "DeviceSlot.h"

#include <QDialog>
#include <QString>

#include <locale>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace Corvane {

class TarnConfig;

// Lists every setting in which two configurations differ, one row each: the setting, the first
// one's value and the second one's, numbers in the window's format.
//
// Against the unit (the first) and a file, each row has a check box, all ticked; "Send Selected"
// backs the unit up, sends only the ticked settings and reads each back, marking its row
// "holds" or "does not hold: the unit has ...". Sending the settings of a backup this way is how
// a unit is restored. Two files are only compared: there is nothing to send.
class CompareDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { ItemColumn, FirstColumn, SecondColumn, ResultColumn };

    // Reads the unit's whole configuration now and compares `file` (read from `path`) with it.
    CompareDialog(QWidget* parent, const DeviceSlot& dev, const mapping::BackupStore& store,
                  const TarnConfig& file, const QString& path);
    // Two files, without a unit.
    CompareDialog(QWidget* parent, const TarnConfig& first, const QString& firstPath,
                  const TarnConfig& second, const QString& secondPath);

    // Backs the unit up, sends the ticked settings and shows what became of each.
    void btnSendSelected_Click();

private:
    void build(const QString& firstTitle, const QString& secondTitle);
    void fillRows();
    void showSummary();
    void showNotes();
    std::vector<std::string> tickedLabels() const;
    void updateSendButton();

    const DeviceSlot* dev_ = nullptr; // none: two files
    std::optional<mapping::BackupStore> store_;
    std::locale locale_;
    mapping::Comparison comparison_;
    bool sent_ = false; // the rows show what became of a send; the comparison no longer holds

    QLabel* summary_ = nullptr;
    QLabel* notes_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace Corvane
