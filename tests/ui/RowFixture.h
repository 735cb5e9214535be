#pragma once

// A channel row on a shown group box, over the simulated unit, driven as the operator drives it.

#include "DesignScale.h"
#include "DisplayRefresh.h"
#include "DropDownList.h"
#include "NumberText.h"
#include "RelayChannel.h"
#include "UiTestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <cstdint>
#include <memory>

namespace uitest {

class RowFixture : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        window_ = std::make_unique<QWidget>();
        group_ = new QGroupBox(QStringLiteral("Channels"), window_.get());
        group_->setObjectName(QStringLiteral("groupChannels"));
        group_->setGeometry(0, 0, 1000, 640);
        window_->resize(1000, 640);
    }
    void TearDown() override {
        rows_.clear();
        window_.reset();
        UiTest::TearDown();
    }

    Corvane::RelayChannel& addRow(std::uint32_t channel, bool inverter = false) {
        rows_.push_back(
            std::make_unique<Corvane::RelayChannel>(group_, deviceSlot(), channel, inverter));
        return *rows_.back();
    }
    // A relay row showing what the unit holds, as the main window fills it on connecting.
    Corvane::RelayChannel& connectedRow(std::uint32_t channel) {
        openDevice();
        Corvane::RelayChannel& row = addRow(channel);
        showActive(*window_);
        refresh(row);
        bus().clearCalls();
        return row;
    }
    void refresh(Corvane::RelayChannel& row) {
        double rating = 0;
        double i2t = 0;
        bool protect = false;
        ASSERT_TRUE(dev().getChannelConfig(row.channel(), &rating, &i2t, &protect));
        row.showUnitFuse(rating, i2t, protect);
    }

    // The operator enters the fuse box, opens its list and chooses `item` with the keyboard.
    static void pick(Corvane::RelayChannel& row, const QString& item) {
        Corvane::DropDownList& box = *row.comboBoxFuse;
        box.setFocus(Qt::MouseFocusReason);
        box.showPopup();
        QAbstractItemView* list = box.view();
        list->setCurrentIndex(box.model()->index(box.findText(item), 0));
        QTest::keyClick(list, Qt::Key_Return);
    }
    // The operator tabs into the fuse box, types over its text and tabs on.
    static void typeRating(Corvane::RelayChannel& row, const QString& text) {
        row.comboBoxFuse->setFocus(Qt::TabFocusReason);
        row.comboBoxFuse->lineEdit()->selectAll();
        typeText(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    static void typeI2t(Corvane::RelayChannel& row, const QString& text) {
        row.txtBoxCurrentSq->setFocus(Qt::TabFocusReason);
        row.txtBoxCurrentSq->selectAll();
        typeText(row.txtBoxCurrentSq, text);
    }
    static void clickProtect(Corvane::RelayChannel& row) {
        QTest::mouseClick(row.checkBox1, Qt::LeftButton, {}, row.checkBox1->rect().center());
    }

    // A control of one row by its internal name (every row uses the same names), told apart
    // from the other rows' by the row's top.
    template <typename W = QWidget>
    W* control(const Corvane::RelayChannel& row, const char* name) {
        const int top =
            Corvane::DesignScale::of(*group_).y((static_cast<int>(row.channel()) + 1) * 35);
        for (W* w : group_->findChildren<W*>(QString::fromLatin1(name))) {
            if (std::abs(w->y() - top) <= 8) {
                return w;
            }
        }
        return nullptr;
    }

    static QColor fuseBackground(const Corvane::RelayChannel& row) {
        return Corvane::DisplayRefresh::background(*row.comboBoxFuse);
    }
    static QColor fuseText(const Corvane::RelayChannel& row) {
        return Corvane::DisplayRefresh::foreground(*row.comboBoxFuse);
    }

    // What the unit stores for a channel, in amperes and A²s.
    double storedRating(std::uint32_t channel) {
        return unit().settings().channels.at(channel).ratingAmps();
    }
    double storedI2t(std::uint32_t channel) {
        return unit().settings().channels.at(channel).limitA2s();
    }
    bool storedProtect(std::uint32_t channel) {
        return unit().settings().channels.at(channel).protect();
    }
    static std::size_t commits() { return sent(tarn::Command::SET_CHANNEL_CONFIG).size(); }

    QWidget& window() { return *window_; }
    QGroupBox& group() { return *group_; }

private:
    std::unique_ptr<QWidget> window_;
    QGroupBox* group_ = nullptr;
    std::vector<std::unique_ptr<Corvane::RelayChannel>> rows_;
};

} // namespace uitest
