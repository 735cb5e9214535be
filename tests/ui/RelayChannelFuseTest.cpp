// The channel row's fuse controls: what a rating change, a protect toggle or a typed I²t sends
// to the unit, and what the row shows afterwards (always the unit's read-back).

#include "FuseTable.h"
#include "RowFixture.h"
#include "SimUnitSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace {

using uitest::RowFixture;
constexpr std::uint32_t kCh = 3;
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

TEST_F(RowFixture, PickingFifteenSendsItsTableI2tAndShowsTheReadBack) {
    Corvane::RelayChannel& row = connectedRow(kCh);
    ASSERT_EQ(row.comboBoxFuse->currentText(), "10");

    pick(row, QStringLiteral("15"));

    EXPECT_EQ(commits(), 1u);
    EXPECT_DOUBLE_EQ(storedRating(kCh), 15.0);
    EXPECT_NEAR(storedI2t(kCh), 270.0, 1e-5);
    EXPECT_TRUE(storedProtect(kCh));
    EXPECT_EQ(row.comboBoxFuse->currentText(), "15");
    EXPECT_EQ(fuseBackground(row), kBlue);
    EXPECT_EQ(fuseText(row), kWhite);
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "270.0");
    EXPECT_FALSE(row.fuseLocked());
    // Leaving the box afterwards is no second change.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(commits(), 1u);
}

struct TypedRating {
    const char* typed;
    std::optional<double> rating; // sent, or nothing sent
    double i2t;
    const char* shown; // the fuse box afterwards
};

TEST_F(RowFixture, ATypedRatingIsCommittedOnLeavingTheBox) {
    const TypedRating cases[] = {
        {"12", 12.0, 144.0, "12"},     {"0.5", 1.0, 1.0, "1"},
        {"40", 30.0, 1130.0, "30"},    {"2.5", 2.5, 6.25, "2.5"},
        {"7.5", 7.5, 68.0, "7.5"},     {"abc", std::nullopt, 0, "abc"},
        {"10", std::nullopt, 0, "10"}, {"7,5", std::nullopt, 0, "7,5"},
    };
    Corvane::RelayChannel& row = connectedRow(kCh);
    for (const TypedRating& c : cases) {
        SCOPED_TRACE(c.typed);
        unit().settings() = sim::factoryDefaults();
        refresh(row);
        bus().clearCalls();

        typeRating(row, QString::fromUtf8(c.typed));

        EXPECT_EQ(row.comboBoxFuse->currentText(), c.shown);
        EXPECT_FALSE(row.fuseLocked());
        if (!c.rating) {
            EXPECT_EQ(commits(), 0u);
            continue;
        }
        EXPECT_EQ(commits(), 1u);
        EXPECT_DOUBLE_EQ(storedRating(kCh), *c.rating);
        EXPECT_NEAR(storedI2t(kCh), c.i2t, 1e-5);
    }
}

TEST_F(RowFixture, AChangeAwayFromAnEmptyBoxIsNotCommittedButTheNextOneIs) {
    openDevice();
    Corvane::RelayChannel& row = addRow(kCh);
    uitest::showActive(window());
    ASSERT_TRUE(row.comboBoxFuse->currentText().isEmpty());

    pick(row, QStringLiteral("15"));
    EXPECT_EQ(commits(), 0u);
    EXPECT_DOUBLE_EQ(storedRating(kCh), 10.0);

    pick(row, QStringLiteral("20"));
    EXPECT_EQ(commits(), 1u);
    EXPECT_DOUBLE_EQ(storedRating(kCh), 20.0);
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "380.0");
}

struct ProtectCase {
    const char* i2tTyped; // nullptr: leave the refreshed text
    double i2tSent;
};

TEST_F(RowFixture, TogglingProtectSendsTheShownRatingAndI2t) {
    const ProtectCase cases[] = {
        {nullptr, 100.0},                      // the refreshed "100.0"
        {"50", 50.0},                          // typed by hand
        {"1,130.0", 1130.0},                   // grouped, as the row writes it
        {"x", 100.0},                          // unparsable: the rating squared
        {"5000", Corvane::FuseTable::kMaxI2t}, // more than the unit's field carries
        {"-20", 0.0},
        {"1e999", 100.0}, // no finite number
    };
    Corvane::RelayChannel& row = connectedRow(kCh);
    for (const ProtectCase& c : cases) {
        SCOPED_TRACE(c.i2tTyped ? c.i2tTyped : "refreshed");
        unit().settings() = sim::factoryDefaults();
        refresh(row);
        bus().clearCalls();
        if (c.i2tTyped != nullptr) {
            typeI2t(row, QString::fromUtf8(c.i2tTyped));
        }

        clickProtect(row);

        EXPECT_EQ(commits(), 1u);
        EXPECT_FALSE(storedProtect(kCh));
        EXPECT_FALSE(row.checkBox1->isChecked());
        EXPECT_DOUBLE_EQ(storedRating(kCh), 10.0);
        EXPECT_NEAR(storedI2t(kCh), c.i2tSent, 1e-5);
        EXPECT_EQ(row.txtBoxCurrentSq->text(), Corvane::NumberText::n1(storedI2t(kCh)));
    }
}

TEST_F(RowFixture, AnOutOfRangeI2tReachesTheUnitHeldToItsField) {
    Corvane::RelayChannel& row = connectedRow(kCh);
    typeI2t(row, QStringLiteral("99999"));
    clickProtect(row);
    EXPECT_EQ(unit().settings().channels[kCh].i2tSteps, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "1,688.9");
}

TEST_F(RowFixture, NothingIsSentWhileTheLockIsHeld) {
    Corvane::RelayChannel& row = connectedRow(kCh);
    ASSERT_TRUE(row.fuseLock());
    EXPECT_FALSE(row.fuseLock());
    clickProtect(row);
    pick(row, QStringLiteral("20"));
    EXPECT_EQ(commits(), 0u);
    EXPECT_TRUE(row.fuseUnlock());
    EXPECT_FALSE(row.fuseUnlock());
    // A protect box that does not parse its rating sends nothing and still unlocks.
    row.comboBoxFuse->setEditText(QStringLiteral("fuse"));
    clickProtect(row);
    EXPECT_EQ(commits(), 0u);
    EXPECT_FALSE(row.fuseLocked());
}

TEST_F(RowFixture, AFailedReadBackKeepsWhatTheOperatorEntered) {
    Corvane::RelayChannel& row = connectedRow(kCh);
    unit().failNextReplies(sim::ReplyFault::Timeout, 2);
    typeRating(row, QStringLiteral("12"));
    EXPECT_EQ(commits(), 1u);
    EXPECT_EQ(row.comboBoxFuse->currentText(), "12");
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "144");
    EXPECT_FALSE(row.fuseLocked());
}

struct ColorCase {
    double rating;
    const char* text;
    QColor background;
    QColor foreground;
};

TEST_F(RowFixture, TheFuseBoxShowsTheRatingInItsColourCode) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const ColorCase cases[] = {
        {1, "1", kBlack, kWhite},
        {2, "2", QColor(128, 128, 128), kBlack},
        {3, "3", QColor(128, 0, 128), kWhite},
        {4, "4", QColor(255, 192, 203), kBlack},
        {5, "5", QColor(255, 165, 0), kBlack},
        {7.45, "7.5", QColor(165, 42, 42), kWhite},
        {10.1, "10.1", QColor(255, 0, 0), kWhite},
        {15, "15", kBlue, kWhite},
        {20, "20", QColor(255, 255, 0), kBlack},
        {25, "25", kWhite, kBlack},
        {30, "30", QColor(0, 128, 0), kBlack},
        {12, "12", kWhite, kBlack},
        {0, "", kWhite, kBlack},
        {kNaN, "", kWhite, kBlack},
        {kInf, "", kWhite, kBlack},
    };
    openDevice();
    Corvane::RelayChannel& row = addRow(kCh);
    for (const ColorCase& c : cases) {
        SCOPED_TRACE(c.rating);
        row.fuseLock();
        row.updateFuse(c.rating);
        row.fuseUnlock();
        EXPECT_EQ(row.comboBoxFuse->currentText(), c.text);
        EXPECT_EQ(fuseBackground(row), c.background);
        EXPECT_EQ(fuseText(row), c.foreground);
    }
    // A text that is one of the items selects it; any other selects none.
    row.updateFuse(15);
    EXPECT_EQ(row.comboBoxFuse->currentIndex(), 7);
    row.updateFuse(12);
    EXPECT_EQ(row.comboBoxFuse->currentIndex(), -1);
    EXPECT_EQ(commits(), 0u);
}

TEST_F(RowFixture, AReadBackOfZeroOrSevenPointFourFiveShowsTheUnitsValue) {
    Corvane::RelayChannel& row = connectedRow(kCh);
    unit().settings().channels[kCh].currentMa = 7450;
    refresh(row);
    EXPECT_EQ(row.comboBoxFuse->currentText(), "7.5");
    EXPECT_EQ(fuseBackground(row), QColor(165, 42, 42));
    unit().settings().channels[kCh].currentMa = 0;
    refresh(row);
    EXPECT_EQ(row.comboBoxFuse->currentText(), "");
    EXPECT_EQ(fuseBackground(row), kWhite);
    EXPECT_EQ(fuseText(row), kBlack);
    EXPECT_EQ(commits(), 0u);
}

TEST_F(RowFixture, ACommaDecimalLocaleFormatsAndParsesWithItsOwnSeparators) {
    setLocale(QLocale(QLocale::German, QLocale::Germany));
    Corvane::RelayChannel& row = connectedRow(kCh);
    unit().settings().channels[kCh].i2tSteps = 1436860108; // 1130 A²s
    refresh(row);
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "1.130,0");
    clickProtect(row);
    EXPECT_NEAR(storedI2t(kCh), 1130.0, 1e-5);

    typeRating(row, QStringLiteral("2"));
    EXPECT_NEAR(storedI2t(kCh), 2.8, 1e-5);
    EXPECT_EQ(row.txtBoxCurrentSq->text(), "2,8");
    typeRating(row, QStringLiteral("7,5"));
    EXPECT_DOUBLE_EQ(storedRating(kCh), 7.5);
    EXPECT_NEAR(storedI2t(kCh), 68.0, 1e-5);
    EXPECT_EQ(row.comboBoxFuse->currentText(), "7,5");
    // The list offers its ratings in the same form, so a pick parses and selects its item.
    pick(row, QStringLiteral("10"));
    pick(row, QStringLiteral("7,5"));
    EXPECT_DOUBLE_EQ(storedRating(kCh), 7.5);
    EXPECT_EQ(row.comboBoxFuse->currentIndex(), 5);
}

} // namespace
