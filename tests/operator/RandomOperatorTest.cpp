// A careless operator on the real window: thousands of random clicks, keys and typed texts
// over every control, menu and dialog, with the unit unplugged, replugged and its transfers
// spoilt in between. A run fails on an exception that reaches the event loop or a handler's
// guard, a tick that outlasts what its exchanges allow, a dialog that will not close, or a
// console that does not show the unit once it is plugged in for good (every 500 actions and at
// the end); a crash or a sanitizer report ends the process with the step it was at.
// TARN_RANDOM_SEED and TARN_RANDOM_ACTIONS replay one run (bench/random_operator.sh runs long
// ones).

#include "Actions.h"
#include "ModalAnswerer.h"
#include "ProcessWatch.h"
#include "Session.h"
#include "TickWatch.h"

#include "BackupStore.h"
#include "FormMain.h"
#include "PollingLoop.h"
#include "ToolsMenu.h"
#include "UnitCodePage.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <random>
#include <stdexcept>

namespace monkey {
namespace {

constexpr std::size_t kShortActions = 1000;
constexpr std::size_t kRecent = 15; // actions a failure lists
constexpr std::size_t kProgressEvery = 10000;
// Every so often the unit is plugged in for good, and the console must show it.
constexpr std::size_t kCheckEvery = 500;
constexpr std::array<std::uint64_t, 3> kShortSeeds{1, 2, 3};

// The operator's locale, by seed: a point or a comma for the decimals, a comma, a point or a
// space between the groups.
const std::array<QLocale, 3> kLocales{QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France)};

const QLocale& localeOf(std::uint64_t seed) {
    return kLocales.at(seed % kLocales.size());
}

struct Plan {
    std::uint64_t seed = 0;
    std::size_t actions = 0;
};

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    if (std::string(text) == "random") {
        return std::random_device{}();
    }
    return std::strtoull(text, nullptr, 10);
}

// The short run's seeds, or the one run the environment asks for.
std::vector<Plan> runs() {
    const std::size_t actions = fromEnvironment("TARN_RANDOM_ACTIONS", kShortActions);
    if (std::getenv("TARN_RANDOM_SEED") != nullptr) {
        return {{fromEnvironment("TARN_RANDOM_SEED", 0), actions}};
    }
    std::vector<Plan> out;
    for (std::uint64_t seed : kShortSeeds) {
        out.push_back({seed, actions});
    }
    return out;
}

// Opening the firmware download page must not start a browser, nor the backups' Open Folder a
// file manager.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }
    ~UrlCatcher() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;

public slots:
    void open(const QUrl&) {}
};

class RandomOperator : public uitest::WindowTest, public ::testing::WithParamInterface<Plan> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the actions; false once a fault was found (and reported).
    bool operate(Session& s, const Plan& plan);
    std::string act(Session& s, const Plan& plan, std::size_t index);
    void report(const Session& s, const Plan& plan, std::size_t index) const;
    // What the event loop does between two of the operator's doings.
    void settle();
    // The unit, free of faults, is plugged in for good.
    void plugInForGood(Session& s);
    void expectShowsUnit();
    // Plugs the unit in for good after `done` actions; false when the console failed it.
    bool checkpoint(Session& s, const Plan& plan, std::size_t done);

    QTemporaryDir folder_;
    QString cwd_;
    std::unique_ptr<UrlCatcher> urls_;
    std::deque<std::string> recent_;
};

void RandomOperator::SetUp() {
    WindowTest::SetUp();
    // The window again, in the operator's locale: it reads the locale as it builds its lists.
    window_.reset();
    setLocale(localeOf(GetParam().seed));
    window_ = std::make_unique<Corvane::FormMain>();
    window_->timer1()->stop();
    Corvane::PollingLoop::resetFirmwareChecked(); // a fresh program, whichever run came before
    ASSERT_TRUE(folder_.isValid());
    // The backups the window takes before loads, resets and sends stay in the folder as well.
    window_->tools().setBackups(
        Corvane::mapping::BackupStore(folder_.filePath(QStringLiteral("backups")).toStdString()));
    // Relative names in the file dialogs land in the folder too.
    cwd_ = QDir::currentPath();
    QDir::setCurrent(folder_.path());
    QDir(folder_.path()).mkdir(QStringLiteral("sub"));
    QFile broken(folder_.filePath(QStringLiteral("broken.xml")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<?xml version=\"1.0\"?><TarnConfig><Channel id=\"3\"><Fuse>7,,5</Fus");
    QFile empty(folder_.filePath(QStringLiteral("empty.xml")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    urls_ = std::make_unique<UrlCatcher>();
    uitest::showActive(window());
}

void RandomOperator::TearDown() {
    endSteps();
    urls_.reset();
    WindowTest::TearDown();
    QDir::setCurrent(cwd_);
}

void RandomOperator::settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // A click elsewhere closes an open list or menu.
    for (int i = 0; i < 4 && QApplication::activePopupWidget() != nullptr; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (auto* list = qobject_cast<QComboBox*>(popup->parentWidget())) {
            list->hidePopup();
        } else {
            popup->close();
        }
    }
    if (QApplication::activeWindow() != &window()) {
        window().activateWindow();
        QCoreApplication::processEvents();
    }
}

// One action drawn from the table, done; one that finds nothing to act on is drawn again.
std::string RandomOperator::act(Session& s, const Plan& plan, std::size_t index) {
    const std::span<const ActionKind> table = actionTable();
    std::string what;
    for (int tries = 0; what.empty() && tries < 8; ++tries) {
        const ActionKind& kind = table[s.dice.weighted(table)];
        noteStep("seed " + std::to_string(plan.seed) + ", action " + std::to_string(index) + " (" +
                 kind.name + ")");
        try {
            what = kind.run(s);
        } catch (const std::exception& e) {
            s.findings.add(std::string("an exception left a handler: ") + e.what());
            what = kind.name;
        }
    }
    return what;
}

bool RandomOperator::operate(Session& s, const Plan& plan) {
    for (std::size_t i = 0; i < plan.actions; ++i) {
        bus().clearCalls();
        const std::string what = act(s, plan, i);
        settle();
        s.ticks.checkTimeouts(0, what);
        for (std::string& escaped : takeEscapes()) {
            s.findings.add("an exception reached the event loop: " + escaped);
        }
        recent_.push_back(std::to_string(i) + ": " + what +
                          (window().device()->isOpen() ? " [open]" : ""));
        if (recent_.size() > kRecent) {
            recent_.pop_front();
        }
        if (s.trace) {
            std::printf("%s\n", recent_.back().c_str());
        }
        if (s.findings.any()) {
            report(s, plan, i);
            return false;
        }
        const bool last = i + 1 == plan.actions;
        if (((i + 1) % kCheckEvery == 0 || last) && !checkpoint(s, plan, i + 1)) {
            return false;
        }
        if ((i + 1) % kProgressEvery == 0) {
            std::printf("[ PROGRESS ] %zu actions, %zu ticks\n", i + 1, s.ticks.count());
            std::fflush(stdout);
        }
    }
    return true;
}

void RandomOperator::report(const Session& s, const Plan& plan, std::size_t index) const {
    std::string found;
    for (const std::string& f : s.findings.all()) {
        found += "\n  " + f;
    }
    std::string log;
    for (const std::string& line : recent_) {
        log += "\n  " + line;
    }
    ADD_FAILURE() << "seed " << plan.seed << ", action " << index << ":" << found
                  << "\nthe last actions ([open]: the unit was open after it):" << log;
}

bool RandomOperator::checkpoint(Session& s, const Plan& plan, std::size_t done) {
    const std::string where = "seed " + std::to_string(plan.seed) +
                              ", replugged for good after action " + std::to_string(done - 1);
    noteStep(where);
    plugInForGood(s);
    if (s.findings.any()) {
        report(s, plan, done - 1);
        return false;
    }
    SCOPED_TRACE(where);
    expectShowsUnit();
    return !HasFailure();
}

void RandomOperator::plugInForGood(Session& s) {
    // A fault never reached replaces any still waiting.
    unit().device()->failTransfer(std::numeric_limits<std::size_t>::max(),
                                  sim::TransferFault::Timeout);
    unit().failNextReplies(sim::ReplyFault::Timeout, 0);
    unit().unplugAfterRequests(0);
    unit().device()->setOpenResult(LIBUSB_SUCCESS);
    if (auto* board = window().findChild<QWidget*>(QStringLiteral("SwitchBoardConfig"))) {
        board->close();
    }
    settle();
    unit().unplug();
    s.ticks.tick();
    unit().replug();
    for (int i = 0; i < 4; ++i) {
        s.ticks.tick(); // connects, then polls
        settle();
    }
}

template <typename T>
T& control(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        throw std::runtime_error(std::string("no control named ") + name);
    }
    return *found;
}

// The rows' names, top to bottom: every row names its label alike.
std::vector<QLabel*> channelNames(QWidget& window) {
    std::vector<QLabel*> names;
    for (QLabel* label : window.findChildren<QLabel*>(QStringLiteral("label1"))) {
        names.push_back(label);
    }
    std::sort(names.begin(), names.end(), [&window](QLabel* a, QLabel* b) {
        return a->mapTo(&window, QPoint()).y() < b->mapTo(&window, QPoint()).y();
    });
    return names;
}

QString shownScript(const QPlainTextEdit& box) {
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void RandomOperator::expectShowsUnit() {
    ASSERT_TRUE(window().device() && window().device()->isOpen())
        << "the console did not reconnect";
    EXPECT_TRUE(unit().streaming());
    const sim::SimIdentity& id = unit().identity();
    const sim::SimUnitSettings& held = std::as_const(unit()).settings();
    QWidget& w = window();
    EXPECT_EQ(control<QLabel>(w, "labelConnectionStatus").text(),
              QStringLiteral("Firmware v%1.%2.%3").arg(id.major).arg(id.minor).arg(id.build));
    EXPECT_EQ(control<QLabel>(w, "labelSerialNumber").text(),
              QStringLiteral("Serial Number:\n%1").arg(id.serial));
    const std::vector<QLabel*> names = channelNames(w);
    ASSERT_EQ(names.size(), held.names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names.at(i)->text(), Corvane::UnitCodePage::fromUnit(held.names.at(i)))
            << "channel " << i;
    }
    EXPECT_EQ(names.back()->isVisible(), id.hwRev > 1) << "the inverter row";
    for (int n = 1; n <= 12; ++n) {
        const auto box = "chkGrp" + std::to_string(n);
        EXPECT_EQ(control<QCheckBox>(w, box.c_str()).isChecked(),
                  ((held.groups >> (n - 1)) & 1) != 0)
            << box;
    }
    EXPECT_EQ(control<QComboBox>(w, "cboMode").currentIndex(), held.mode);
    EXPECT_EQ(control<QComboBox>(w, "cboId").currentIndex(), held.id);
    EXPECT_EQ(control<QCheckBox>(w, "checkBoxEnableBluetooth").isChecked(), held.bluetooth);
    constexpr std::array kScriptBoxes{"textboxStartup", "textboxShutdown", "textboxValetStartup",
                                      "textboxValetShutdown"};
    for (std::size_t k = 0; k < kScriptBoxes.size(); ++k) {
        EXPECT_EQ(shownScript(control<QPlainTextEdit>(w, kScriptBoxes.at(k))),
                  Corvane::UnitCodePage::fromUnit(held.scripts.at(k)))
            << kScriptBoxes.at(k);
    }
}

TEST_P(RandomOperator, LeavesAWorkingConsole) {
    const Plan plan = GetParam();
    std::printf("[   SEED   ] %llu, %zu actions in %s (TARN_RANDOM_SEED=%llu "
                "TARN_RANDOM_ACTIONS=%zu replays it)\n",
                static_cast<unsigned long long>(plan.seed), plan.actions,
                localeOf(plan.seed).name().toStdString().c_str(),
                static_cast<unsigned long long>(plan.seed), plan.actions);
    std::fflush(stdout);
    Dice dice(plan.seed);
    Findings findings;
    TickWatch ticks(window(), unit(), clock(), findings);
    Session s{
        window(), unit(), clock(), dice, ticks, findings, QDir(folder_.path()).canonicalPath()};
    s.trace = std::getenv("TARN_RANDOM_TRACE") != nullptr;
    ModalAnswerer answerer(s);
    if (!operate(s, plan)) {
        return;
    }
    std::string dialogs;
    for (const auto& [kind, count] : answerer.dialogsAnswered()) {
        dialogs += ' ' + kind + ' ' + std::to_string(count);
    }
    const auto longest = std::chrono::duration_cast<std::chrono::milliseconds>(ticks.longest());
    std::printf("[   SEED   ] %llu: %zu ticks (longest %lld ms); dialogs answered:%s\n",
                static_cast<unsigned long long>(plan.seed), ticks.count(),
                static_cast<long long>(longest.count()), dialogs.c_str());
}

void PrintTo(const Plan& plan, std::ostream* os) {
    *os << "seed " << plan.seed << ", " << plan.actions << " actions";
}

std::string runName(const ::testing::TestParamInfo<Plan>& info) {
    return "seed" + std::to_string(info.param.seed);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomOperator, ::testing::ValuesIn(runs()), runName);

} // namespace
} // namespace monkey

#include "RandomOperatorTest.moc"
