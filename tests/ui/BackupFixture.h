#pragma once

// The real window over the simulated unit, with its backups kept in a scratch folder through a
// store whose clock notes how many transfers the bus had seen when each backup was taken: a
// backup taken before a command's first write comes at or before that write in the record.

#include "BackupStore.h"
#include "CompareDialog.h"
#include "ConfigFileReport.h"
#include "ConfigLocale.h"
#include "ConfigMapping.h"
#include "TarnConfig.h"
#include "ToolsMenu.h"
#include "UnitRequests.h"
#include "WindowFixture.h"

#include <QDialog>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <map>

#include <string>
#include <tuple>
#include <vector>

namespace uitest {

// Every stored setting the configuration file carries, to compare two units by.
inline auto configurationOf(const sim::SimUnitSettings& s) {
    std::vector<std::tuple<uint8_t, int32_t, int32_t, std::string>> channels;
    for (std::size_t ch = 0; ch < sim::kRelayChannels; ++ch) {
        channels.emplace_back(s.channels[ch].flags, s.channels[ch].currentMa,
                              s.channels[ch].i2tSteps, s.names[ch]);
    }
    const sim::SimNetworkSettings& n = s.network;
    return std::tuple(channels, s.mode, s.id, s.pin, s.bluetooth, s.groups, s.buttons, s.scripts,
                      std::tuple(n.dhcp, n.lcmPort, n.ipAddress, n.subnet, n.gateway, n.dns1,
                                 n.dns2, n.lcmAddress));
}

class BackupTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        connectWindow();
        window().tools().setBackups(store());
    }

    Corvane::mapping::BackupStore store() {
        return Corvane::mapping::BackupStore(root(), [this] {
            moments_.push_back(bus().transfers().size());
            if (atBackup_) {
                atBackup_();
            }
            return std::chrono::system_clock::now();
        });
    }
    std::filesystem::path root() const { return dir_.filePath("backups").toStdString(); }

    // The unit's configuration, as a save writes it, with `edit` applied first.
    QString saveUnit(const QString& name,
                     const std::function<void(Corvane::mapping::UnitState&)>& edit = {}) {
        Corvane::mapping::UnitState state;
        Corvane::mapping::readSections(windowDev(), Corvane::mapping::allSections(), state);
        if (edit) {
            edit(state);
        }
        std::vector<std::string> leftOut;
        const QString path = dir_.filePath(name);
        Corvane::mapping::toConfig(state, Corvane::configNumberLocale(QLocale()), leftOut)
            .writeConfigFile(path.toStdString());
        bus().clearCalls();
        return path;
    }

    // The unit's configuration as a backup of it now holds it.
    std::string backupBytes() {
        Corvane::mapping::UnitState state;
        Corvane::mapping::readSections(windowDev(), Corvane::mapping::allSections(), state);
        std::vector<std::string> leftOut;
        bus().clearCalls();
        return Corvane::mapping::toConfig(state, Corvane::configNumberLocale(QLocale()), leftOut)
            .toFileBytes();
    }

    std::unique_ptr<Corvane::CompareDialog> compareWith(const QString& path) {
        auto dialog = std::make_unique<Corvane::CompareDialog>(
            &window(), window().device(), store(),
            *Corvane::ConfigFileReport::read(&window(), path), path);
        bus().clearCalls();
        return dialog;
    }

    // Each row's texts by the setting's name.
    static std::map<std::string, std::vector<QString>> rows(const QDialog& dialog) {
        const auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tableItems"));
        std::map<std::string, std::vector<QString>> out;
        for (int row = 0; row < table->rowCount(); ++row) {
            std::vector<QString>& cells = out[table->item(row, 0)->text().toStdString()];
            for (int col = 1; col < table->columnCount(); ++col) {
                cells.push_back(table->item(row, col)->text());
            }
        }
        return out;
    }

    static QString summary(const QDialog& dialog) {
        return dialog.findChild<QLabel*>(QStringLiteral("labelSummary"))->text();
    }

    // The index of the first configuration request that changes the unit, or the count.
    static std::size_t firstWrite() { return simtest::firstWrite(bus().transfers()); }

    QTemporaryDir dir_;
    std::vector<std::size_t> moments_; // the bus's transfer count at each backup
    std::function<void()> atBackup_;
};

} // namespace uitest
