// The compare and backups dialogs over the real window and the simulated unit: what is listed,
// what Send Selected sends, the backup it takes first, and a restore from a backup.

#include "BackupFixture.h"
#include "BackupsDialog.h"
#include "CompareDialog.h"
#include "ConfigFileReport.h"
#include "ConsoleProgram.h"
#include "HandlerGuard.h"
#include "TarnConfig.h"
#include "WindowBackups.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

namespace uitest {
namespace {

using Corvane::BackupsDialog;
using Corvane::CompareDialog;
using Corvane::mapping::BackupStore;
using CompareBackupsTest = BackupTest;

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST_F(CompareBackupsTest, OnlyTheSettingsThatDifferAreListedInTheWindowsNumberFormat) {
    setLocale(QLocale(QLocale::German, QLocale::Germany));
    const QString path = saveUnit(QStringLiteral("unit.xml"));
    unit().settings().mode = 1;
    unit().settings().names[0] = "Pump";
    unit().settings().channels[2].currentMa = 7500;
    const auto dialog = compareWith(path);
    using Cells = std::vector<QString>;
    EXPECT_EQ(rows(*dialog), (std::map<std::string, Cells>{
                                 {"mode", {"MANUAL", "AUTO", ""}},
                                 {"channel 1 name", {"\"Pump\"", "\"Channel 1\"", ""}},
                                 {"channel 3 fuse", {"7,5 A", "10 A", ""}},
                             }));
    EXPECT_EQ(summary(*dialog), QStringLiteral("84 items in the file, 3 differ"));
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("tableItems"));
    for (int row = 0; row < table->rowCount(); ++row) {
        EXPECT_EQ(table->item(row, 0)->checkState(), Qt::Checked);
    }
    EXPECT_TRUE(bus().transfers().empty()); // comparing sent nothing

    unit().settings() = sim::factoryDefaults();
    const auto same = compareWith(path);
    EXPECT_TRUE(rows(*same).empty());
    EXPECT_EQ(summary(*same),
              QStringLiteral("The unit already holds every one of the 84 items in the file."));
    EXPECT_FALSE(same->findChild<QPushButton*>(QStringLiteral("buttonSendSelected"))->isEnabled());
}

TEST_F(CompareBackupsTest, SendSelectedBacksUpFirstSendsOnlyTheTickedAndMarksEachRow) {
    const QString path = saveUnit(QStringLiteral("unit.xml"), [](auto& state) {
        state.names[1] = std::string(70, 'n'); // the unit keeps 61 characters
    });
    unit().settings().mode = 1;
    unit().settings().names[0] = "Pump";
    unit().settings().channels[2].currentMa = 7500;
    const sim::SimUnitSettings before = unit().settings();
    const auto dialog = compareWith(path);
    auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("tableItems"));
    ASSERT_EQ(table->item(1, 0)->text(), QStringLiteral("channel 1 name"));
    table->item(1, 0)->setCheckState(Qt::Unchecked);
    // Right after the backup, the first request sent (the mode's) is lost on the way.
    atBackup_ = [this] { unit().device()->failTransfer(0, sim::TransferFault::Timeout); };
    dialog->findChild<QPushButton*>(QStringLiteral("buttonSendSelected"))->click();

    const auto shown = rows(*dialog);
    EXPECT_EQ(shown.at("mode").at(2), QStringLiteral("does not hold: the unit has MANUAL"));
    EXPECT_EQ(shown.at("channel 1 name").at(2), QStringLiteral("not sent"));
    EXPECT_TRUE(shown.at("channel 2 name")
                    .at(2)
                    .startsWith(QStringLiteral("does not hold: the unit has \"nnnnn")));
    EXPECT_EQ(shown.at("channel 3 fuse").at(2), QStringLiteral("holds"));
    EXPECT_EQ(summary(*dialog), QStringLiteral("Sent 3 items: 1 holds, 2 do not."));
    EXPECT_EQ(unit().settings().names[0], "Pump");
    EXPECT_EQ(unit().settings().channels[2].currentMa, 10000);

    const auto backups = BackupStore(root()).list(0x12345);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].reason, BackupStore::kBeforeSend);
    ASSERT_EQ(moments_.size(), 1u);
    EXPECT_LE(moments_[0], firstWrite());
    EXPECT_LT(firstWrite(), bus().transfers().size());
    // Sending the backup back restores the unit as it was.
    const auto restore = compareWith(QString::fromStdString(backups[0].path.string()));
    atBackup_ = {};
    restore->btnSendSelected_Click();
    EXPECT_EQ(configurationOf(unit().settings()), configurationOf(before));
}

TEST_F(CompareBackupsTest, WithoutABackupTheOperatorIsAskedAndNoSendsNothing) {
    struct Case {
        const char* name;
        bool failRead;
        bool answerYes;
    };
    const Case cases[] = {
        {"a read fails, No", true, false},
        {"a read fails, Yes", true, true},
        {"folder unwritable, No", false, false},
        {"folder unwritable, Yes", false, true},
    };
    const QString path = saveUnit(QStringLiteral("unit.xml"));
    for (const Case& c : cases) {
        std::filesystem::remove_all(root());
        if (!c.failRead) {
            QFile blocker(QString::fromStdString(root().string()));
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        }
        unit().settings().mode = 1;
        const auto dialog = compareWith(path);
        if (c.failRead) {
            unit().device()->failTransfer(1, sim::TransferFault::Timeout);
        }
        QString text;
        QString title;
        bool noIsDefault = false;
        const auto outcome = answerNextModal([&](QWidget& w) {
            auto& box = dynamic_cast<QMessageBox&>(w);
            text = box.text();
            title = box.windowTitle();
            noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
            box.button(c.answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        dialog->btnSendSelected_Click();
        EXPECT_TRUE(outcome->answered) << c.name;
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("The unit's configuration could not be backed up: the ")))
            << c.name << ": " << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral(". Continue without a backup?"))) << c.name;
        EXPECT_EQ(title, Corvane::HandlerGuard::caption());
        EXPECT_TRUE(noIsDefault);
        EXPECT_EQ(firstWrite() < bus().transfers().size(), c.answerYes) << c.name;
        EXPECT_EQ(unit().settings().mode, c.answerYes ? 0 : 1) << c.name;
        std::filesystem::remove(root());
    }
}

TEST_F(CompareBackupsTest, TwoFilesAreOnlyCompared) {
    const QString first = saveUnit(QStringLiteral("first.xml"));
    const QString second = saveUnit(QStringLiteral("second.xml"),
                                    [](auto& state) { state.scripts[0] = "RELAY 1 ON\nEND"; });
    CompareDialog dialog(&window(), *Corvane::ConfigFileReport::read(&window(), first), first,
                         *Corvane::ConfigFileReport::read(&window(), second), second);
    EXPECT_EQ(rows(dialog), (std::map<std::string, std::vector<QString>>{
                                {"startup script", {"\"\"", "\"RELAY 1 ON...\" (14 bytes)"}}}));
    EXPECT_EQ(summary(dialog),
              QStringLiteral("84 items in the first file, 84 in the second, 1 differs"));
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("buttonSendSelected"))->isHidden());
}

TEST_F(CompareBackupsTest, BackupsListTheUnitsNewestFirstOrEveryUnitsWithoutOne) {
    const BackupStore backups = store();
    Corvane::TarnConfig config;
    config.setMode(1);
    const auto at = [](int s) {
        return std::chrono::system_clock::time_point(std::chrono::seconds(s));
    };
    backups.write(0x12345, BackupStore::kBeforeLoad, config, at(1000));
    backups.write(0x12345, BackupStore::kBeforeReset, config, at(2000));
    backups.write(99, BackupStore::kBeforeSend, config, at(3000));
    const auto reasons = [](const QDialog& d) {
        const auto* table = d.findChild<QTableWidget*>(QStringLiteral("tableBackups"));
        std::vector<std::pair<QString, QString>> out;
        for (int row = 0; row < table->rowCount(); ++row) {
            out.emplace_back(table->isColumnHidden(0) ? QString() : table->item(row, 0)->text(),
                             table->item(row, 2)->text());
        }
        return out;
    };
    using Rows = std::vector<std::pair<QString, QString>>;
    UrlCatcher catcher;
    BackupsDialog connected(&window(), window().device(), backups);
    EXPECT_EQ(reasons(connected), (Rows{{"", "before factory reset"}, {"", "before load"}}));
    connected.btnOpenFolder_Click();
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0],
              QUrl::fromLocalFile(QString::fromStdString(backups.folder(0x12345).string())));

    windowDev().closeDevice();
    BackupsDialog offline(&window(), window().device(), backups);
    EXPECT_EQ(reasons(offline), (Rows{{"99", "before sending selected items"},
                                      {"74565", "before factory reset"},
                                      {"74565", "before load"}}));
    EXPECT_FALSE(offline.findChild<QPushButton*>(QStringLiteral("buttonCompare"))->isEnabled());
}

TEST_F(CompareBackupsTest, RestoringABackupFromTheListReturnsTheUnitToIt) {
    unit().settings().mode = 2;
    unit().settings().names[4] = "Winch";
    unit().settings().network.gateway = sim::ipv4(10, 0, 0, 1);
    unit().settings().scripts[1] = "RELAY 5 OFF";
    const sim::SimUnitSettings backedUp = unit().settings();
    ASSERT_TRUE(Corvane::WindowBackups::takeOrAsk(&window(), windowDev(), store(),
                                                  BackupStore::kBeforeLoad));
    unit().settings() = sim::factoryDefaults();

    BackupsDialog list(&window(), window().device(), store());
    const auto outcome = answerNextModal([](QWidget& w) {
        auto& compare = dynamic_cast<CompareDialog&>(w);
        compare.findChild<QPushButton*>(QStringLiteral("buttonSendSelected"))->click();
        compare.findChild<QPushButton*>(QStringLiteral("buttonClose"))->click();
    });
    list.findChild<QPushButton*>(QStringLiteral("buttonCompare"))->click();
    EXPECT_TRUE(outcome->answered);
    EXPECT_FALSE(outcome->forced);
    EXPECT_EQ(configurationOf(unit().settings()), configurationOf(backedUp));
    EXPECT_EQ(BackupStore(root()).list(0x12345).size(), 2u); // the restore backed up first
}

TEST(WindowBackupsFolder, IsTheFolderTheCliOfTheSameProgramUses) {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QString name = QCoreApplication::applicationName();
    QTemporaryDir home;
    for (const char* program : {Corvane::ConsoleProgram::kApplicationName,
                                Corvane::ConsoleProgram::kSimApplicationName}) {
        QCoreApplication::setApplicationName(QString::fromLatin1(program));
        for (const bool set : {true, false}) {
            if (set) {
                qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
            } else {
                qunsetenv("XDG_DATA_HOME");
            }
            EXPECT_EQ(Corvane::WindowBackups::defaultRoot(), BackupStore::defaultRoot(program))
                << program << set;
        }
    }
    QCoreApplication::setApplicationName(name);
    if (!dataHome.isNull()) {
        qputenv("XDG_DATA_HOME", dataHome);
    }
}

} // namespace
} // namespace uitest

#include "CompareBackupsTest.moc"
