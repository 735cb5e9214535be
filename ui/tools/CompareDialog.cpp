#include "CompareDialog.h"

#include "ConfigLocale.h"
#include "HandlerGuard.h"
#include "ItemView.h"
#include "NamedColors.h"
#include "SelectedSend.h"
#include "TarnConfig.h"
#include "UnitState.h"
#include "WindowBackups.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace Corvane {
namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString fileTitle(const QString& path) {
    return QFileInfo(path).fileName();
}

// "1 item", "84 items"
QString count(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QTableWidgetItem* cell(const QString& shown, const QString& whole) {
    auto* item = new QTableWidgetItem(shown);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(whole);
    return item;
}

} // namespace

CompareDialog::CompareDialog(QWidget* parent, const DeviceSlot& dev,
                             const mapping::BackupStore& store, const TarnConfig& file,
                             const QString& path)
    : QDialog(parent)
    , dev_(&dev)
    , store_(store)
    , locale_(configNumberLocale(QLocale())) {
    mapping::UnitState unit;
    if (dev && dev->isOpen()) {
        mapping::readSections(*dev, mapping::allSections(), unit);
    }
    comparison_ = mapping::compareWithUnit(file, unit, locale_);
    setWindowTitle(QStringLiteral("Compare with Unit"));
    build(dev ? QStringLiteral("Unit %1").arg(dev->serialNumber()) : QStringLiteral("Unit"),
          fileTitle(path));
}

CompareDialog::CompareDialog(QWidget* parent, const TarnConfig& first, const QString& firstPath,
                             const TarnConfig& second, const QString& secondPath)
    : QDialog(parent)
    , locale_(configNumberLocale(QLocale())) {
    comparison_ = mapping::compareFiles(first, second, locale_);
    setWindowTitle(QStringLiteral("Compare Two Files"));
    build(fileTitle(firstPath), fileTitle(secondPath));
}

void CompareDialog::build(const QString& firstTitle, const QString& secondTitle) {
    setObjectName(QStringLiteral("CompareDialog"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("labelSummary"));
    notes_ = new QLabel(this);
    notes_->setObjectName(QStringLiteral("labelNotes"));
    notes_->setWordWrap(true);
    const bool sending = dev_ != nullptr;
    table_ = new QTableWidget(0, sending ? 4 : 3, this);
    table_->setObjectName(QStringLiteral("tableItems"));
    QStringList headers{QStringLiteral("Item"), firstTitle, secondTitle};
    if (sending) {
        headers << QStringLiteral("Result");
    }
    table_->setHorizontalHeaderLabels(headers);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);

    send_ = new QPushButton(QStringLiteral("Send Selected"), this);
    send_->setObjectName(QStringLiteral("buttonSendSelected"));
    send_->setVisible(sending);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("buttonClose"));
    close_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_, 1);
    layout->addWidget(notes_);
    layout->addLayout(buttons);

    fillRows();
    showSummary();
    showNotes();
    updateSendButton();
    connect(send_, &QPushButton::clicked, this,
            guarded(this, [this](bool) { btnSendSelected_Click(); }));
    connect(close_, &QPushButton::clicked, this, guarded(this, [this](bool) { accept(); }));
    connect(table_, &QTableWidget::itemChanged, this,
            guarded(this, [this](QTableWidgetItem*) { updateSendButton(); }));
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 130, metrics.height() * 32);
}

void CompareDialog::fillRows() {
    const std::vector<mapping::DifferenceView> views = mapping::viewOf(comparison_);
    table_->setRowCount(static_cast<int>(views.size()));
    for (std::size_t i = 0; i < views.size(); ++i) {
        const mapping::ItemDifference& d = comparison_.differences[i];
        const auto row = static_cast<int>(i);
        QTableWidgetItem* item = cell(text(views[i].label), text(views[i].label));
        if (dev_ != nullptr) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
        table_->setItem(row, ItemColumn, item);
        table_->setItem(row, FirstColumn, cell(text(views[i].a), text(d.a ? d.a->value : "")));
        table_->setItem(row, SecondColumn, cell(text(views[i].b), text(d.b ? d.b->value : "")));
        if (dev_ != nullptr) {
            table_->setItem(row, ResultColumn, cell(QString(), QString()));
        }
    }
    table_->resizeColumnsToContents();
    // A long name or script is cut in its cell (its tooltip has it whole), so that the result
    // column stays in view.
    const int widest = fontMetrics().averageCharWidth() * 30;
    for (const int column : {FirstColumn, SecondColumn}) {
        table_->setColumnWidth(column, std::min(table_->columnWidth(column), widest));
    }
}

void CompareDialog::showSummary() {
    const std::size_t differ = comparison_.differences.size();
    if (dev_ != nullptr) {
        summary_->setText(
            differ == 0
                ? QStringLiteral("The unit already holds every one of the %1 in the file.")
                      .arg(count(comparison_.itemsB, "item", "items"))
                : QStringLiteral("%1 in the file, %2 %3")
                      .arg(count(comparison_.itemsB, "item", "items"))
                      .arg(differ)
                      .arg(differ == 1 ? QStringLiteral("differs") : QStringLiteral("differ")));
        return;
    }
    summary_->setText(
        differ == 0 ? QStringLiteral("The two files hold the same %1.")
                          .arg(count(comparison_.itemsA, "item", "items"))
                    : QStringLiteral("%1 in the first file, %2 in the second, %3 %4")
                          .arg(count(comparison_.itemsA, "item", "items"))
                          .arg(comparison_.itemsB)
                          .arg(differ)
                          .arg(differ == 1 ? QStringLiteral("differs") : QStringLiteral("differ")));
}

void CompareDialog::showNotes() {
    QStringList lines;
    for (const std::string& note : comparison_.notes) {
        lines << text(note);
    }
    notes_->setText(lines.join(QLatin1Char('\n')));
    notes_->setVisible(!lines.isEmpty());
}

std::vector<std::string> CompareDialog::tickedLabels() const {
    std::vector<std::string> labels;
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->item(row, ItemColumn)->checkState() == Qt::Checked) {
            labels.push_back(comparison_.differences.at(static_cast<std::size_t>(row)).label);
        }
    }
    return labels;
}

void CompareDialog::updateSendButton() {
    send_->setEnabled(dev_ != nullptr && !sent_ && !tickedLabels().empty());
}

void CompareDialog::btnSendSelected_Click() {
    const std::vector<std::string> labels = tickedLabels();
    if (dev_ == nullptr || !*dev_ || labels.empty() ||
        !WindowBackups::takeOrAsk(this, **dev_, *store_, mapping::BackupStore::kBeforeSend)) {
        return;
    }
    const std::vector<mapping::ItemOutcome> outcomes =
        mapping::sendSelected(**dev_, comparison_.plan, labels, locale_);
    std::size_t holding = 0;
    for (const mapping::ItemOutcome& outcome : outcomes) {
        const auto at = std::find_if(
            comparison_.differences.begin(), comparison_.differences.end(),
            [&](const mapping::ItemDifference& d) { return d.label == outcome.label; });
        const auto row = static_cast<int>(at - comparison_.differences.begin());
        const bool holds = outcome.result == mapping::ItemOutcome::Result::Holds;
        holding += holds ? 1 : 0;
        QTableWidgetItem* result = table_->item(row, ResultColumn);
        result->setText(text(mapping::outcomeText(outcome)));
        result->setToolTip(result->text());
        result->setForeground(NamedColors::color(holds ? NamedColor::Green : NamedColor::Red));
    }
    // What the unit holds has changed: a second send would start from values no longer there.
    sent_ = true;
    for (int row = 0; row < table_->rowCount(); ++row) {
        QTableWidgetItem* item = table_->item(row, ItemColumn);
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        if (item->checkState() != Qt::Checked) {
            table_->item(row, ResultColumn)->setText(QStringLiteral("not sent"));
            table_->item(row, ResultColumn)->setForeground(NamedColors::color(NamedColor::Gray));
        }
    }
    send_->setEnabled(false);
    summary_->setText(
        QStringLiteral("Sent %1: %2 %3, %4 %5 not.")
            .arg(count(outcomes.size(), "item", "items"))
            .arg(holding)
            .arg(holding == 1 ? QStringLiteral("holds") : QStringLiteral("hold"))
            .arg(outcomes.size() - holding)
            .arg(outcomes.size() - holding == 1 ? QStringLiteral("does") : QStringLiteral("do")));
}

} // namespace Corvane
