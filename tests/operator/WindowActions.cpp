#include "Actions.h"

#include "Controls.h"
#include "Session.h"
#include "TickWatch.h"

#include "FormMain.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <span>

namespace monkey {
namespace {

QString nameOf(const QObject& o) {
    return o.objectName().isEmpty() ? QString::fromLatin1(o.metaObject()->className())
                                    : o.objectName();
}

std::string did(const char* what, const QObject& on, const QString& detail = {}) {
    std::string out = std::string(what) + ' ' + nameOf(on).toStdString();
    if (!detail.isEmpty()) {
        out += " \"" + detail.toStdString() + '"';
    }
    return out;
}

template <typename T>
T* any(Session& s, const std::vector<T*>& items) {
    return items.empty() ? nullptr : items.at(s.dice.below(items.size()));
}

// How the operator leaves a box once done typing.
void leave(Session& s, QWidget& box) {
    switch (s.dice.below(4)) {
    case 0:
        press(s.window, Qt::Key_Tab);
        break;
    case 1:
        QTest::keyClick(&box, Qt::Key_Return);
        break;
    case 2:
        s.window.setFocus(Qt::MouseFocusReason); // a click on the window's background
        break;
    default:
        break; // stays in it
    }
}

// Keys as they come; a fifth of them with Ctrl held (select all, copy, paste, cut, undo, zoom).
constexpr std::array kKeys{Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Return,    Qt::Key_Escape,
                           Qt::Key_Space, Qt::Key_Up,      Qt::Key_Down,      Qt::Key_Delete,
                           Qt::Key_Home,  Qt::Key_End,     Qt::Key_Backspace, Qt::Key_5,
                           Qt::Key_Minus, Qt::Key_Equal,   Qt::Key_Period,    Qt::Key_A,
                           Qt::Key_C,     Qt::Key_V,       Qt::Key_X,         Qt::Key_Z};

} // namespace

std::string tick(Session& s) {
    const int ticks = s.dice.between(1, 3);
    for (int i = 0; i < ticks; ++i) {
        s.ticks.tick();
    }
    return "tick x" + std::to_string(ticks);
}

std::string clickButton(Session& s) {
    QPushButton* button = any(s, usable<QPushButton>(s.window));
    if (button == nullptr) {
        return {};
    }
    click(*button);
    return did("click", *button, button->text());
}

std::string clickCheckBox(Session& s) {
    QCheckBox* box = any(s, usable<QCheckBox>(s.window));
    if (box == nullptr) {
        return {};
    }
    click(*box);
    return did("click", *box);
}

std::string renameChannel(Session& s) {
    std::vector<QLabel*> names;
    for (QLabel* label : usable<QLabel>(s.window)) {
        if (label->objectName() == QStringLiteral("label1")) {
            names.push_back(label);
        }
    }
    QLabel* name = any(s, names);
    if (name == nullptr) {
        return {};
    }
    const QString before = name->text();
    click(*name); // opens the rename dialog, which the answerer fills
    return did("rename", *name, before);
}

std::string editLine(Session& s) {
    std::vector<QLineEdit*> boxes;
    for (QLineEdit* box : usable<QLineEdit>(s.window)) {
        if (!box->isReadOnly()) {
            boxes.push_back(box); // I²t, PIN and the fuse lists' own boxes
        }
    }
    QLineEdit* box = any(s, boxes);
    if (box == nullptr) {
        return {};
    }
    // A fuse list's box is named after its list.
    auto* list = qobject_cast<QComboBox*>(box->parentWidget());
    const QObject& control = list != nullptr ? static_cast<QObject&>(*list) : *box;
    click(*box);
    if (s.dice.oneIn(2)) {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    }
    const QString typed = s.dice.oneIn(4) ? s.dice.text() : s.dice.number();
    uitest::typeText(box, typed);
    leave(s, *box);
    return did("type into", control, typed);
}

// Keys on the closed list, or the list opened, moved through (ticks may come meanwhile) and
// closed on a choice or on Escape.
std::string pickFromList(Session& s) {
    QComboBox* list = any(s, usable<QComboBox>(s.window));
    if (list == nullptr) {
        return {};
    }
    list->setFocus(Qt::MouseFocusReason);
    const Qt::Key move = s.dice.oneIn(2) ? Qt::Key_Down : Qt::Key_Up;
    const int moves = s.dice.between(0, 3);
    if (s.dice.oneIn(3)) {
        for (int i = 0; i < moves; ++i) {
            QTest::keyClick(list, move);
        }
        return did("arrow keys on", *list, list->currentText());
    }
    QTest::keyClick(list, Qt::Key_F4);
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) {
        return did("could not open", *list);
    }
    for (int i = 0; i < moves; ++i) {
        press(*popup, move);
        if (s.dice.oneIn(3)) {
            s.ticks.tick();
        }
    }
    const bool choose = !s.dice.oneIn(4);
    if (QApplication::activePopupWidget() == popup) {
        press(*popup, choose ? Qt::Key_Return : Qt::Key_Escape);
    }
    return did(choose ? "choose from" : "escape from", *list, list->currentText());
}

std::string editScript(Session& s) {
    QPlainTextEdit* box = any(s, usable<QPlainTextEdit>(s.window));
    if (box == nullptr) {
        return {};
    }
    click(*box);
    if (s.dice.oneIn(4)) {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
    }
    const int lines = s.dice.between(1, 3);
    for (int i = 0; i < lines; ++i) {
        uitest::typeText(box, s.dice.text());
        QTest::keyClick(box, Qt::Key_Return);
    }
    if (s.dice.oneIn(3)) {
        QTest::keyClick(box, s.dice.oneIn(2) ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
    }
    return did("type script into", *box);
}

std::string switchTab(Session& s) {
    QTabBar* bar = any(s, usable<QTabBar>(s.window));
    if (bar == nullptr || bar->count() == 0) {
        return {};
    }
    const int tab = static_cast<int>(s.dice.below(static_cast<std::size_t>(bar->count())));
    click(*bar, bar->tabRect(tab).center());
    return did("click tab", *bar, bar->tabText(tab));
}

std::string useMenu(Session& s) {
    std::vector<QAction*> items;
    for (QAction* top : s.window.menuBar()->actions()) {
        if (top->menu() == nullptr) {
            continue;
        }
        for (QAction* item : top->menu()->actions()) {
            // Exit ends the program, and with it the session.
            if (!item->isSeparator() &&
                item->objectName() != QStringLiteral("exitToolStripMenuItem")) {
                items.push_back(item);
            }
        }
    }
    QAction* item = any(s, items);
    if (item == nullptr) {
        return {};
    }
    item->trigger();
    return did("menu", *item, item->text());
}

std::string useSwitchBoard(Session& s) {
    auto* board = s.window.findChild<QWidget*>(QStringLiteral("SwitchBoardConfig"));
    if (board == nullptr || !board->isVisible()) {
        return {}; // opened through the menu
    }
    if (s.dice.oneIn(6)) {
        board->close();
        return "close the switch board";
    }
    QComboBox* box = any(s, usable<QComboBox>(*board));
    if (box == nullptr) {
        return {};
    }
    box->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(box, s.dice.oneIn(2) ? Qt::Key_Down : Qt::Key_Up);
    return did("switch board", *box, box->currentText());
}

std::string pressKey(Session& s) {
    const Qt::Key key = s.dice.pick(std::span<const Qt::Key>(kKeys));
    const auto modifiers = s.dice.oneIn(5) ? Qt::ControlModifier : Qt::NoModifier;
    QWidget& target = keyTarget(s.window);
    QTest::keyClick(&target, key, modifiers);
    return did("key on", target, QKeySequence(QKeyCombination(modifiers, key)).toString());
}

// A turn of the mouse wheel over whatever is under the pointer: a list there changes its
// choice without being opened or given the focus.
std::string scrollWheel(Session& s) {
    std::vector<QWidget*> under = usable<QWidget>(s.window);
    if (s.dice.oneIn(2)) {
        const auto lists = usable<QComboBox>(s.window);
        under.assign(lists.begin(), lists.end());
    }
    QWidget* widget = any(s, under);
    if (widget == nullptr) {
        return {};
    }
    const QPointF at = QRectF(widget->rect()).center();
    const QPoint delta(0, s.dice.oneIn(2) ? QWheelEvent::DefaultDeltasPerStep
                                          : -QWheelEvent::DefaultDeltasPerStep);
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), delta, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
    return did("scroll over", *widget);
}

std::string clickAnywhere(Session& s) {
    QWidget* widget = any(s, usable<QWidget>(s.window));
    if (widget == nullptr) {
        return {};
    }
    const QPoint at(s.dice.between(0, std::max(0, widget->width() - 1)),
                    s.dice.between(0, std::max(0, widget->height() - 1)));
    click(*widget, at);
    return did("click inside", *widget);
}

} // namespace monkey
