#include "BackupsDialog.h"

#include "CompareDialog.h"
#include "ConfigFileReport.h"
#include "HandlerGuard.h"
#include "TarnConfig.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <chrono>
#include <utility>

namespace Corvane {
namespace {

QString pathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

QString localTime(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms.count()).toLocalTime();
    const QLocale locale;
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), QStringLiteral("HH:mm:ss"));
}

QTableWidgetItem* cell(const QString& text, const QString& tip) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(tip);
    return item;
}

} // namespace

BackupsDialog::BackupsDialog(QWidget* parent, const DeviceSlot& dev, mapping::BackupStore store)
    : QDialog(parent)
    , dev_(dev)
    , store_(std::move(store)) {
    build();
    fill();
}

QString BackupsDialog::reasonText(const std::string& reason) {
    if (reason == mapping::BackupStore::kBeforeLoad) {
        return QStringLiteral("before load");
    }
    if (reason == mapping::BackupStore::kBeforeReset) {
        return QStringLiteral("before factory reset");
    }
    if (reason == mapping::BackupStore::kBeforeSend) {
        return QStringLiteral("before sending selected items");
    }
    return QString::fromStdString(reason);
}

bool BackupsDialog::unitConnected() const {
    return dev_ && dev_->isOpen();
}

void BackupsDialog::build() {
    setObjectName(QStringLiteral("BackupsDialog"));
    setWindowTitle(QStringLiteral("Backups"));
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("labelFolder"));
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("tableBackups"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Serial Number"), QStringLiteral("Taken"), QStringLiteral("Reason")});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setStretchLastSection(true);

    compare_ = new QPushButton(QStringLiteral("Compare with Unit\u2026"), this);
    compare_->setObjectName(QStringLiteral("buttonCompare"));
    openFolder_ = new QPushButton(QStringLiteral("Open Folder"), this);
    openFolder_->setObjectName(QStringLiteral("buttonOpenFolder"));
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("buttonClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(compare_);
    buttons->addWidget(openFolder_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(folder_);
    layout->addLayout(buttons);

    connect(compare_, &QPushButton::clicked, this,
            guarded(this, [this](bool) { btnCompare_Click(); }));
    connect(openFolder_, &QPushButton::clicked, this,
            guarded(this, [this](bool) { btnOpenFolder_Click(); }));
    connect(close_, &QPushButton::clicked, this, guarded(this, [this](bool) { accept(); }));
    connect(table_, &QTableWidget::itemSelectionChanged, this, guarded(this, [this] {
                compare_->setEnabled(unitConnected() && !table_->selectedItems().isEmpty());
            }));
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 80, metrics.height() * 24);
}

void BackupsDialog::fill() {
    const bool unit = unitConnected();
    entries_ = unit ? store_.list(dev_->serialNumber()) : store_.listAll();
    table_->setColumnHidden(SerialColumn, unit);
    table_->setRowCount(static_cast<int>(entries_.size()));
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const mapping::BackupEntry& e = entries_[i];
        const QString file = pathText(e.path);
        const auto row = static_cast<int>(i);
        table_->setItem(row, SerialColumn, cell(QString::number(e.serial), file));
        table_->setItem(row, TakenColumn, cell(localTime(e.time), file));
        table_->setItem(row, ReasonColumn, cell(reasonText(e.reason), file));
    }
    table_->resizeColumnsToContents();
    const std::filesystem::path folder = unit ? store_.folder(dev_->serialNumber()) : store_.root();
    folder_->setText(QDir::toNativeSeparators(pathText(folder)));
    if (!entries_.empty()) {
        table_->selectRow(0);
    }
    compare_->setEnabled(unit && !entries_.empty());
}

void BackupsDialog::btnCompare_Click() {
    const int row = table_->currentRow();
    if (!unitConnected() || row < 0 || static_cast<std::size_t>(row) >= entries_.size()) {
        return;
    }
    const QString path = pathText(entries_[static_cast<std::size_t>(row)].path);
    const std::optional<TarnConfig> backup = ConfigFileReport::read(this, path);
    if (!backup) {
        return;
    }
    CompareDialog compare(this, dev_, store_, *backup, path);
    compare.exec();
    fill(); // a send has added a backup of its own
}

void BackupsDialog::btnOpenFolder_Click() {
    const std::filesystem::path folder =
        unitConnected() ? store_.folder(dev_->serialNumber()) : store_.root();
    const QString path = pathText(folder);
    QDir().mkpath(path); // a folder with nothing in it yet still opens
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace Corvane
