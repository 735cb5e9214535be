// The window's commands that change the unit keep a backup first (Load, Factory Reset), and the
// Tools menu's compare: what the backup holds, that it comes before the first write, and the
// question when none can be taken.

#include "BackupFixture.h"
#include "CompareDialog.h"
#include "ConfigTransfer.h"
#include "HandlerGuard.h"
#include "WindowBackups.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace uitest {
namespace {

using Corvane::mapping::BackupStore;
using Act = std::function<void(QWidget&)>;

Act chooseFile(const QString& path, std::function<void()> then = {}) {
    return [path, then](QWidget& w) {
        auto& dialog = dynamic_cast<QFileDialog&>(w);
        EXPECT_EQ(dialog.nameFilters(), QStringList{Corvane::ConfigTransfer::nameFilter()});
        dialog.selectFile(path);
        if (then) {
            then();
        }
        static_cast<QDialog&>(dialog).accept();
    };
}

Act press(QMessageBox::StandardButton button, std::function<void()> then = {},
          QString* text = nullptr) {
    return [=](QWidget& w) {
        auto& box = dynamic_cast<QMessageBox&>(w);
        if (text != nullptr) {
            *text = box.text();
            EXPECT_EQ(box.windowTitle(), Corvane::HandlerGuard::caption());
        }
        if (then) {
            then();
        }
        box.button(button)->click();
    };
}

enum class Command { Load, FactoryReset };

class BackupTriggersTest : public BackupTest {
protected:
    void SetUp() override {
        BackupTest::SetUp();
        factoryFile_ = saveUnit(QStringLiteral("factory.xml"));
        unit().settings().mode = tarn::MODE_VALET;
        unit().settings().names[0] = "Winch";
        unit().settings().channels[3].currentMa = 7500;
        unit().settings().scripts[0] = "RELAY 1 ON";
    }

    // Runs the command, answering its dialogs up to the backup with `beforeBackup` run just
    // before the backup's reads, then `afterwards` for what comes next (the backup's question).
    void run(Command command, const std::function<void()>& beforeBackup,
             std::vector<Act> afterwards = {}) {
        std::vector<Act> acts{command == Command::Load ? chooseFile(factoryFile_, beforeBackup)
                                                       : press(QMessageBox::Ok, beforeBackup)};
        acts.insert(acts.end(), afterwards.begin(), afterwards.end());
        answerInTurn(acts);
        const Corvane::MainMenu& menu = window().menu();
        (command == Command::Load ? menu.loadConfigxmlToolStripMenuItem
                                  : menu.factoryResetToolStripMenuItem)
            ->trigger();
    }

    QString factoryFile_;
};

TEST_F(BackupTriggersTest, LoadAndFactoryResetKeepTheUnitAsItWasBeforeTheirFirstWrite) {
    for (const auto& [command, reason] :
         {std::pair(Command::Load, BackupStore::kBeforeLoad),
          std::pair(Command::FactoryReset, BackupStore::kBeforeReset)}) {
        const std::string expected = backupBytes();
        moments_.clear();
        run(command, {});
        const auto backups = BackupStore(root()).list(0x12345);
        ASSERT_EQ(backups.size(), 1u) << reason;
        EXPECT_EQ(backups[0].reason, reason);
        QFile file(QString::fromStdString(backups[0].path.string()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), expected) << reason;
        ASSERT_EQ(moments_.size(), 1u);
        EXPECT_LE(moments_[0], firstWrite()) << reason;
        EXPECT_LT(firstWrite(), bus().transfers().size()) << reason;
        EXPECT_EQ(unit().settings().mode, tarn::MODE_AUTO) << reason; // and the command went on
        std::filesystem::remove_all(root());
        unit().settings().mode = tarn::MODE_VALET;
        if (!windowDev().isOpen()) {
            connectWindow();
        }
    }
}

TEST_F(BackupTriggersTest, WithoutABackupTheOperatorDecidesAndNoSendsNothing) {
    struct Case {
        Command command;
        bool failRead; // otherwise the backup folder cannot be written
        bool yes;
    };
    const Case cases[] = {
        {Command::Load, true, false},
        {Command::Load, false, true},
        {Command::FactoryReset, false, false},
        {Command::FactoryReset, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command == Command::Load ? "load" : "reset") +
                     (c.failRead ? ", a read fails" : ", folder unwritable") +
                     (c.yes ? ", Yes" : ", No"));
        QFile blocker(QString::fromStdString(root().string()));
        ASSERT_TRUE(c.failRead || blocker.open(QIODevice::WriteOnly));
        QString text;
        run(c.command,
            [&] {
                bus().clearCalls();
                if (c.failRead) {
                    unit().device()->failTransfer(1, sim::TransferFault::Timeout);
                }
            },
            {press(c.yes ? QMessageBox::Yes : QMessageBox::No, {}, &text)});
        if (c.failRead) {
            EXPECT_EQ(text, Corvane::WindowBackups::question(
                                QStringLiteral("the unit's mode could not be read")));
        } else {
            EXPECT_TRUE(text.contains(QString::fromStdString(root().string())) &&
                        text.endsWith(QStringLiteral("Continue without a backup?")))
                << text.toStdString();
        }
        EXPECT_EQ(firstWrite() < bus().transfers().size(), c.yes);
        EXPECT_EQ(unit().settings().mode, c.yes ? tarn::MODE_AUTO : tarn::MODE_VALET);
        blocker.remove();
        unit().settings().mode = tarn::MODE_VALET;
        if (!windowDev().isOpen()) {
            connectWindow();
        }
    }
}

TEST_F(BackupTriggersTest, CompareWithFileShowsTheDifferencesOrTheFileError) {
    const QString bad = dir_.filePath(QStringLiteral("bad.xml"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<TarnConfig><Mode>");
    file.close();
    QAction* command = window().tools().compareWithFileToolStripMenuItem;

    QString error;
    answerInTurn({chooseFile(bad), [&](QWidget& w) {
                      EXPECT_EQ(w.objectName(), QStringLiteral("configFileError"));
                      error = dynamic_cast<QMessageBox&>(w).text();
                      dynamic_cast<QMessageBox&>(w).accept();
                  }});
    command->trigger();
    EXPECT_TRUE(error.startsWith(QStringLiteral("The configuration could not be loaded from")));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    std::size_t listed = 0;
    answerInTurn({chooseFile(factoryFile_), [&](QWidget& w) {
                      auto& dialog = dynamic_cast<Corvane::CompareDialog&>(w);
                      listed = rows(dialog).size();
                      dialog.reject();
                  }});
    command->trigger();
    EXPECT_EQ(listed, 4u); // mode, channel 1 name, channel 4 fuse, startup script
    EXPECT_EQ(firstWrite(), bus().transfers().size());
}

} // namespace
} // namespace uitest
