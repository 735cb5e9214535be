// Saving and loading a unit's configuration through the real window, its real (widget-based)
// file dialogs and the simulated unit: what reaches the file, what reaches the unit, and what
// the window shows, including file errors and device reads that fail.

#include "ConfigTransfer.h"
#include "ConfigLocale.h"
#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "RelayChannel.h"
#include "ScriptsPanel.h"
#include "SettingsMenu.h"
#include "SwitchBoardConfig.h"
#include "TarnConfig.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <tuple>
#include <vector>

namespace uitest {
namespace {

using Corvane::ConfigTransfer;
using Corvane::TarnConfig;
using tarn::Command;
using Act = std::function<void(QWidget&)>;

Act chooseFile(const QString& path) {
    return [path](QWidget& w) {
        auto* dialog = qobject_cast<QFileDialog*>(&w);
        ASSERT_NE(dialog, nullptr) << w.metaObject()->className();
        EXPECT_EQ(dialog->nameFilters(), QStringList{ConfigTransfer::nameFilter()});
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    };
}

Act cancelDialog() {
    return [](QWidget& w) {
        auto* dialog = qobject_cast<QDialog*>(&w);
        ASSERT_NE(dialog, nullptr);
        dialog->reject();
    };
}

Act pressYes() {
    return [](QWidget& w) {
        auto& box = dynamic_cast<QMessageBox&>(w);
        box.button(QMessageBox::Yes)->click();
    };
}

// Records the text of a message box and closes it.
Act readMessage(QString& text, QString& title) {
    return [&text, &title](QWidget& w) {
        auto* box = qobject_cast<QMessageBox*>(&w);
        ASSERT_NE(box, nullptr) << w.metaObject()->className();
        text = box->text();
        title = box->windowTitle();
        box->accept();
    };
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray xml(const char* body) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<TarnConfig>") + body +
           "</TarnConfig>";
}

auto networkOf(const sim::SimNetworkSettings& n) {
    return std::tuple(n.ipAddress, n.subnet, n.gateway, n.dns1, n.dns2, n.lcmAddress, n.lcmPort,
                      n.dhcp);
}

auto networkOf(sim::SimUnit& unit) {
    return networkOf(unit.settings().network);
}

class ConfigTransferTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // No polling: every request on the bus is then one the command itself made.
        window().timer1()->stop();
        ASSERT_TRUE(dir_.isValid());
    }

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    ConfigTransfer transfer() {
        return ConfigTransfer(window(), window().device(), window().unitSettings(),
                              window().scriptsPanel(), window().channels());
    }

    void save(const QString& file) {
        answerInTurn({chooseFile(file)});
        transfer().saveConfigXMLToolStripMenuItem_Click();
    }
    void load(const QString& file) {
        answerInTurn({chooseFile(file)});
        transfer().loadConfigxmlToolStripMenuItem_Click();
    }
    void loadXml(const char* body) {
        const QString file = path("in.xml");
        writeFile(file, xml(body));
        bus().clearCalls();
        load(file);
    }
    TarnConfig readBack(const QString& file) {
        TarnConfig config(Corvane::configNumberLocale(QLocale()));
        config.readConfigFile(QFile::encodeName(file).toStdString());
        return config;
    }

    // Reconnects through the polling loop, which reads the unit's whole configuration into the
    // window as on any new connection.
    void showUnit() {
        windowDev().closeDevice();
        window().timer1_Tick();
        ASSERT_TRUE(windowDev().isOpen());
        bus().clearCalls();
    }

    // Types into a row's boxes as the operator could, without committing anything.
    void setComboTextForTest(std::size_t row, const char* fuse, const char* i2t) {
        Corvane::RelayChannel& r = *window().channels().at(row);
        r.comboBoxFuse->setEditText(QString::fromUtf8(fuse));
        r.txtBoxCurrentSq->setText(QString::fromUtf8(i2t));
    }

    QTemporaryDir dir_;
};

// ---- Dialogs ----

TEST_F(ConfigTransferTest, LoadWithoutAUnitShowsNoDialogAndSendsNothing) {
    const auto outcome = answerNextModal(cancelDialog(), 300);
    transfer().loadConfigxmlToolStripMenuItem_Click();
    QTest::qWait(350);
    EXPECT_FALSE(outcome->answered);
    EXPECT_TRUE(bus().transfers().empty());
}

TEST_F(ConfigTransferTest, CancellingEitherDialogReadsWritesAndSendsNothing) {
    connectWindow();
    const Corvane::MainMenu& menu = window().menu();
    for (QAction* command :
         {menu.saveConfigXMLToolStripMenuItem, menu.loadConfigxmlToolStripMenuItem}) {
        SCOPED_TRACE(command->text().toStdString());
        const auto outcome = answerNextModal(cancelDialog());
        command->trigger();
        EXPECT_TRUE(outcome->answered);
        EXPECT_TRUE(commandsSent().empty());
        EXPECT_TRUE(QDir(dir_.path()).isEmpty());
    }
}

// ---- Load: items through their stated path ----

TEST_F(ConfigTransferTest, AnAddressAloneChangesOnlyTheAddress) {
    sim::SimNetworkSettings before = unit().settings().network;
    before.lcmPort = 5000;
    before.dhcp = 1;
    unit().settings().network = before;
    connectWindow();
    loadXml("<IP><Address>10.1.2.3</Address></IP>");
    sim::SimNetworkSettings expected = before;
    expected.ipAddress = sim::ipv4(10, 1, 2, 3);
    EXPECT_EQ(networkOf(unit()), networkOf(expected));
    EXPECT_EQ(commandsSent(), (Bytes{0x30, 0x29}));
}

TEST_F(ConfigTransferTest, AValetStartupButtonAloneWritesTheRecordBackUnchanged) {
    unit().settings().buttons = {0, 1, 2, 3, 4, 5, 6, 7};
    connectWindow();
    loadXml("<SwitchBoard><ValetStartup>9</ValetStartup></SwitchBoard>");
    const std::vector<Bytes> set = sent(Command::SET_BUTTON_CONFIG);
    ASSERT_EQ(set.size(), 1U);
    EXPECT_EQ(Bytes(set[0].begin() + 1, set[0].begin() + 9), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(unit().settings().buttons, (std::array<uint8_t, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(ConfigTransferTest, ModeValetIsSentAndTheModeBoxWaitsForThePoll) {
    connectWindow();
    showUnit();
    ASSERT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 0);
    loadXml("<Mode>Valet</Mode>");
    EXPECT_EQ(sentValues(Command::SET_MODE, 1, 1), (std::vector<uint32_t>{2}));
    EXPECT_EQ(unit().settings().mode, 2);
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 0);
    for (int tick = 0; tick < 4 && named<Corvane::DropDownList>("cboMode")->currentIndex() != 2;
         ++tick) {
        window().timer1_Tick();
    }
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 2);
}

TEST_F(ConfigTransferTest, AModeSavedWithNothingSelectedIsEmptyAndLeavesTheModeAlone) {
    connectWindow();
    named<Corvane::DropDownList>("cboMode")->setCurrentIndex(-1);
    const QString file = path("nomode.xml");
    save(file);
    EXPECT_TRUE(fileBytes(file).contains("<Mode></Mode>")) << fileBytes(file).toStdString();
    unit().settings().mode = 1;
    bus().clearCalls();
    load(file);
    EXPECT_TRUE(sent(Command::SET_MODE).empty());
    EXPECT_EQ(unit().settings().mode, 1);
}

TEST_F(ConfigTransferTest, ARefusedScriptKeepsItsBoxAndTheNextScriptsAreStillSent) {
    struct Case {
        const char* what;
        bool timeout;   // the unit's reply to the first chunk never comes
        bool oversized; // a hand-edited script the unit's 16-bit offsets cannot carry
    };
    for (const Case c : {Case{"reply lost", true, false}, Case{"too long", false, true}}) {
        SCOPED_TRACE(c.what);
        unit().settings().scripts = {"old start", "old stop", "old valet on", "old valet off"};
        if (!windowDev().isOpen()) {
            connectWindow();
        }
        showUnit();
        const std::string first = c.oversized ? std::string(65536, 'x') : "new start";
        const QByteArray body = "<StartupScript>" + QByteArray::fromStdString(first) +
                                "</StartupScript><ShutdownScript>new stop</ShutdownScript>"
                                "<ValetShutdownScript>caf\xc3\xa9</ValetShutdownScript>";
        writeFile(path("scripts.xml"), xml(body.constData()));
        if (c.timeout) {
            unit().failNextReplies(sim::ReplyFault::Timeout, 1);
        }
        load(path("scripts.xml"));
        EXPECT_EQ(named<QPlainTextEdit>("textboxStartup")->toPlainText(),
                  QStringLiteral("old start"));
        EXPECT_EQ(unit().settings().scripts[0], "old start");
        EXPECT_EQ(named<QPlainTextEdit>("textboxShutdown")->toPlainText(),
                  QStringLiteral("new stop"));
        EXPECT_EQ(unit().settings().scripts[1], "new stop");
        EXPECT_EQ(named<QPlainTextEdit>("textboxValetStartup")->toPlainText(),
                  QStringLiteral("old valet on"));
        EXPECT_EQ(named<QPlainTextEdit>("textboxValetShutdown")->toPlainText(),
                  QStringLiteral("caf\u00e9"));
        EXPECT_EQ(unit().settings().scripts[3], "caf\xe9"); // one byte in the unit's code page
    }
}

TEST_F(ConfigTransferTest, AChannelNumberedThreeTouchesOnlyRowTwoAndNoNameSendsTheEmptyOne) {
    connectWindow();
    showUnit();
    loadXml("<Channels><Channel><Number>3</Number><Group>True</Group></Channel></Channels>");
    EXPECT_EQ(sentValues(Command::SET_CHANNEL_NAME, 1, 1), (std::vector<uint32_t>{2}));
    EXPECT_EQ(unit().settings().names[2], "");
    EXPECT_EQ(window().channels()[2]->lblChannel->text(), QString());
    EXPECT_EQ(window().channels()[1]->lblChannel->text(), QStringLiteral("Channel 2"));
    EXPECT_TRUE(sent(Command::SET_CHANNEL_CONFIG).empty());
    EXPECT_EQ(unit().settings().groups, 0x0004);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(n))->isChecked(), n == 3) << n;
    }
}

TEST_F(ConfigTransferTest, ALoadedRatingReachesTheUnitOnlyWhenTheProtectFlagChanges) {
    struct Case {
        const char* protect;
        bool reachesUnit;
    };
    for (const Case c : {Case{"True", false}, Case{"False", true}}) {
        SCOPED_TRACE(c.protect);
        unit().settings() = sim::factoryDefaults(); // 10 A, 100 A²s, protected
        if (!windowDev().isOpen()) {
            connectWindow();
        }
        showUnit();
        const std::string body =
            std::string("<Channels><Channel><Number>5</Number><Name>Pump</Name>"
                        "<Fuse>25</Fuse><I2T>900</I2T><Protect>") +
            c.protect + "</Protect></Channel></Channels>";
        loadXml(body.c_str());
        Corvane::RelayChannel& row = *window().channels()[4];
        const sim::SimChannelConfig& stored = unit().settings().channels[4];
        EXPECT_EQ(row.comboBoxFuse->currentText(), QStringLiteral("25"));
        EXPECT_EQ(sent(Command::SET_CHANNEL_CONFIG).size(), c.reachesUnit ? 1U : 0U);
        EXPECT_NEAR(stored.ratingAmps(), c.reachesUnit ? 25.0 : 10.0, 1e-9);
        EXPECT_NEAR(stored.limitA2s(), c.reachesUnit ? 900.0 : 100.0, 1e-3);
        EXPECT_EQ(stored.protect(), !c.reachesUnit);
        EXPECT_EQ(unit().settings().names[4], "Pump");
    }
}

TEST_F(ConfigTransferTest, AnOpenSwitchBoardKeepsItsOwnCopyAndWritesItAtItsNextChange) {
    connectWindow();
    window().switchBoardToolStripMenuItem_Click();
    Corvane::SwitchBoardConfig* board = window().settingsMenu().switchBoard();
    ASSERT_NE(board, nullptr);
    loadXml("<SwitchBoard><ModeSelect>0</ModeSelect><Startup>1</Startup><Shutdown>2</Shutdown>"
            "<Auto>3</Auto><Manual>4</Manual><Valet>5</Valet><InverterMaster>6</InverterMaster>"
            "<InverterSlave>7</InverterSlave></SwitchBoard>");
    EXPECT_EQ(unit().settings().buttons, (std::array<uint8_t, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(board->box(0)->currentIndex(), Corvane::SwitchBoardConfig::NONE_IDX);
    board->box(9)->setCurrentIndex(Corvane::SwitchBoardConfig::MODE_SELECT_IDX);
    EXPECT_EQ(unit().settings().buttons,
              (std::array<uint8_t, 8>{9, 255, 255, 255, 255, 255, 255, 255}));
}

// ---- Save ----

TEST_F(ConfigTransferTest, RowNumbersAreReadInTheWindowLocaleAndTextIsZero) {
    connectWindow();
    showUnit();
    struct Case {
        const char* fuse;
        const char* i2t;
        double fuseSaved;
        double i2tSaved;
    };
    const std::vector<Case> cases{
        {"abc", "1,130.0", 0, 1130}, {"7.5", "", 7.5, 0}, {"7,5", "56.3", 0, 56.3}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        setComboTextForTest(i, cases[i].fuse, cases[i].i2t);
    }
    const QString file = path("numbers.xml");
    save(file);
    const TarnConfig saved = readBack(file);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].fuse);
        const auto ch = saved.getChannel(static_cast<int>(i));
        ASSERT_TRUE(ch);
        EXPECT_DOUBLE_EQ(*ch->fuse, cases[i].fuseSaved);
        EXPECT_DOUBLE_EQ(*ch->I2T, cases[i].i2tSaved);
    }
}

TEST_F(ConfigTransferTest, SavedFileLoadedOntoASecondUnitConfiguresItLikeTheFirst) {
    sim::SimUnitSettings& first = unit().settings();
    first.names[0] = "Head lights";
    first.names[11] = "Fridge \xe9";
    first.channels[3] = {0, 25000, 0}; // 25 A, unprotected
    first.channels[7] = {0, 7500, 0};  // 7.5 A, unprotected
    first.channels[2] = {1, 30000, 0}; // protected: its rating stays home
    first.groups = 0x0812;
    first.mode = 1;
    first.id = 2;
    first.pin = 0x04030201; // 1234
    first.bluetooth = false;
    first.network = {0,
                     5000,
                     sim::ipv4(10, 1, 2, 3),
                     sim::ipv4(255, 255, 0, 0),
                     sim::ipv4(10, 1, 0, 1),
                     sim::ipv4(8, 8, 8, 8),
                     sim::ipv4(8, 8, 4, 4),
                     sim::ipv4(10, 1, 2, 20)};
    first.buttons = {3, 1, 2, 9, 10, 11, 20, 21};
    first.scripts = {"on\nline two", "off", "valet on", "valet off"};
    const sim::SimUnitSettings configured = first;
    connectWindow();
    showUnit();
    const QString file = path("unit.xml");
    save(file);

    windowDev().closeDevice();
    replaceUnit(sim::SimUnitOptions{.identity = {.serial = 0x00054321}});
    connectWindow();
    showUnit();
    load(file);

    const sim::SimUnitSettings& second = unit().settings();
    EXPECT_EQ(second.names, configured.names);
    EXPECT_EQ(second.channels[3].currentMa, 25000);
    EXPECT_EQ(second.channels[7].currentMa, 7500);
    EXPECT_FALSE(second.channels[3].protect());
    EXPECT_EQ(second.channels[2].currentMa, 10000);
    EXPECT_EQ(second.groups, configured.groups);
    EXPECT_EQ(second.mode, configured.mode);
    EXPECT_EQ(second.id, configured.id);
    EXPECT_EQ(second.pin, configured.pin);
    EXPECT_EQ(second.bluetooth, configured.bluetooth);
    EXPECT_EQ(networkOf(second.network), networkOf(configured.network));
    EXPECT_EQ(second.buttons, configured.buttons);
    EXPECT_EQ(second.scripts, configured.scripts);
    EXPECT_EQ(window().channels()[11]->lblChannel->text(), QStringLiteral("Fridge \u00e9"));
}

TEST_F(ConfigTransferTest, NumbersTravelWithTheWindowLocaleSeparators) {
    setLocale(QLocale(QLocale::German, QLocale::Germany));
    unit().settings().channels[0] = {1, 7500, 0};
    connectWindow();
    showUnit();
    window().channels()[0]->txtBoxCurrentSq->setText(QStringLiteral("1.130,5"));
    const QString file = path("de.xml");
    save(file);
    EXPECT_TRUE(fileBytes(file).contains("<Fuse>7,5</Fuse>"));
    EXPECT_TRUE(fileBytes(file).contains("<I2T>1130,5</I2T>"));

    window().channels()[0]->checkBox1->setChecked(false);
    bus().clearCalls();
    load(file);
    EXPECT_EQ(window().channels()[0]->comboBoxFuse->currentText(), QStringLiteral("7,5"));
    EXPECT_TRUE(unit().settings().channels[0].protect());
    EXPECT_NEAR(unit().settings().channels[0].limitA2s(), 1130.5, 1e-3);
}

TEST(ConfigLocaleTest, CarriesTheSeparatorsACharFacetCan) {
    struct Case {
        QLocale locale;
        char decimal;
        std::string grouping;
        char group;
    };
    const std::vector<Case> cases{
        {QLocale(QLocale::English, QLocale::UnitedStates), '.', "\3", ','},
        {QLocale(QLocale::German, QLocale::Germany), ',', "\3", '.'},
        {QLocale(QLocale::French, QLocale::France), ',', "", ','}, // narrow no-break space
        {QLocale::c(), '.', "\3", ','},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const std::locale made = Corvane::configNumberLocale(c.locale);
        const auto& punct = std::use_facet<std::numpunct<char>>(made);
        EXPECT_EQ(punct.decimal_point(), c.decimal);
        EXPECT_EQ(punct.grouping(), c.grouping);
        if (!c.grouping.empty()) {
            EXPECT_EQ(punct.thousands_sep(), c.group);
        }
    }
}

// ---- File errors: one message, nothing sent, nothing lost ----

TEST_F(ConfigTransferTest, AMalformedFileIsReportedWithItsPlaceAndNothingIsSent) {
    connectWindow();
    const QString file = path("broken.xml");
    writeFile(file,
              "<?xml version=\"1.0\"?>\n<TarnConfig>\n  <Mode>Valet</Mode>\n  <IP>\n</TarnConfig>");
    QString text;
    QString title;
    answerInTurn({chooseFile(file), readMessage(text, title)});
    transfer().loadConfigxmlToolStripMenuItem_Click();
    EXPECT_EQ(title, QStringLiteral("Tarnwell (Marlin Inc.)"));
    EXPECT_TRUE(text.contains(file)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Line 5, column"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Reason: "))) << text.toStdString();
    EXPECT_TRUE(commandsSent().empty());
    EXPECT_EQ(unit().settings().mode, 0);
}

TEST_F(ConfigTransferTest, AFailedSaveIsReportedAndLeavesTheOldFileByteForByte) {
    connectWindow();
    const QString file = path("keep.xml");
    const QByteArray old = xml("<Mode>Auto</Mode>");
    writeFile(file, old);
    QString text;
    QString title;
    answerInTurn({chooseFile(file), pressYes(), readMessage(text, title)});
    // Files may grow no larger than the old one: the new content cannot be written.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(old.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    transfer().saveConfigXMLToolStripMenuItem_Click();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(title, QStringLiteral("Tarnwell (Marlin Inc.)"));
    EXPECT_TRUE(text.contains(file)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("could not be saved"))) << text.toStdString();
    EXPECT_EQ(fileBytes(file), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// ---- Device reads that fail ----

struct SaveReadFault {
    unsigned failedReplies; // counted from the first read the save makes
    bool ip;
    bool switchBoard;
    bool startup;
};

class SaveReadFaultTest : public ConfigTransferTest,
                          public testing::WithParamInterface<SaveReadFault> {};

TEST_P(SaveReadFaultTest, AFailedReadLeavesItsItemsOutOfTheFile) {
    const SaveReadFault& c = GetParam();
    unit().settings().scripts = {"start", "stop", "v on", "v off"};
    connectWindow();
    showUnit();
    unit().failNextReplies(sim::ReplyFault::WrongId, c.failedReplies);
    const QString file = path("partial.xml");
    save(file);
    const TarnConfig saved = readBack(file);
    EXPECT_EQ(saved.ipHasValue(), c.ip);
    EXPECT_EQ(saved.switchBoardHasValue(), c.switchBoard);
    EXPECT_EQ(saved.startupScriptHasValue(), c.startup);
    EXPECT_EQ(saved.getShutdownScript(), "stop");
    EXPECT_TRUE(saved.modeHasValue());
    EXPECT_TRUE(saved.channelHasValue(11));
}

INSTANTIATE_TEST_SUITE_P(Reads, SaveReadFaultTest,
                         testing::Values(SaveReadFault{1, false, true, true},
                                         SaveReadFault{2, false, false, true},
                                         SaveReadFault{3, false, false, false}));

struct MergeReadFault {
    const char* body;
    Command set;
    bool sent;
};

class MergeReadFaultTest : public ConfigTransferTest,
                           public testing::WithParamInterface<MergeReadFault> {};

// The merge's read fails: only a record the file fills completely may go to the unit.
TEST_P(MergeReadFaultTest, ARecordIsSentOnlyWhenTheFileSuppliesAllOfIt) {
    const MergeReadFault& c = GetParam();
    connectWindow();
    writeFile(path("merge.xml"), xml(c.body));
    unit().failNextReplies(sim::ReplyFault::Timeout, 1);
    load(path("merge.xml"));
    EXPECT_EQ(sent(c.set).size(), c.sent ? 1U : 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Records, MergeReadFaultTest,
    testing::Values(
        MergeReadFault{"<IP><Address>10.1.2.3</Address></IP>", Command::SET_IP_SETTINGS, false},
        MergeReadFault{"<IP><Address>10.1.2.3</Address><Subnet>255.0.0.0</Subnet>"
                       "<Gateway>10.0.0.1</Gateway><PrimaryDNS>1.1.1.1</PrimaryDNS>"
                       "<AlternateDNS>1.0.0.1</AlternateDNS><LCMAddress>10.1.2.4</LCMAddress>"
                       "<LCMPort>7</LCMPort><UseDHCP>False</UseDHCP></IP>",
                       Command::SET_IP_SETTINGS, true},
        MergeReadFault{"<SwitchBoard><Startup>1</Startup></SwitchBoard>",
                       Command::SET_BUTTON_CONFIG, false},
        MergeReadFault{"<SwitchBoard><ModeSelect>0</ModeSelect><Startup>1</Startup>"
                       "<Shutdown>2</Shutdown><Auto>3</Auto><Manual>4</Manual><Valet>5</Valet>"
                       "<InverterMaster>6</InverterMaster><InverterSlave>7</InverterSlave>"
                       "</SwitchBoard>",
                       Command::SET_BUTTON_CONFIG, true}));

TEST_F(ConfigTransferTest, ANameLongerThanTheUnitsFieldIsCutAndTheLabelShowsTheCut) {
    connectWindow();
    const std::string longName(70, 'n');
    loadXml(
        ("<Channels><Channel><Number>1</Number><Name>" + longName + "</Name></Channel></Channels>")
            .c_str());
    EXPECT_EQ(unit().settings().names[0], std::string(61, 'n'));
    EXPECT_EQ(window().channels()[0]->lblChannel->text(), QString(61, u'n'));
}

} // namespace
} // namespace uitest
