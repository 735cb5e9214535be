#include "ModalAnswerer.h"

#include "Actions.h"
#include "Controls.h"
#include "Session.h"
#include "TickWatch.h"

#include "HandlerGuard.h"
#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <array>
#include <cstdio>
#include <span>

namespace monkey {
namespace {

// Steps a dialog gets before it is closed for good, and how many more it may stay open after.
constexpr int kSteps = 6;
constexpr int kGrace = 3;
const char* const kStepsProperty = "monkeySteps";

// What the operator names in a file dialog: files that exist or will, a broken and an empty
// file, a folder, an odd name and none at all. None leads out of the session's folder.
constexpr std::array<const char*, 8> kFileNames{"config.xml",
                                                "second.xml",
                                                "broken.xml",
                                                "empty.xml",
                                                "missing.xml",
                                                "sub",
                                                "na\u00efve \u20ac.xml",
                                                ""};

QString fileName(Session& s) {
    return QString::fromUtf8(s.dice.pick(std::span<const char* const>(kFileNames)));
}

// The dialog shows the session's folder, whatever it was asked to show.
QFileDialog* fileDialog(Session& s, QWidget& modal) {
    auto* dialog = qobject_cast<QFileDialog*>(&modal);
    if (dialog != nullptr && !dialog->directory().absolutePath().startsWith(s.folder)) {
        dialog->setDirectory(s.folder);
    }
    return dialog;
}

bool tickStep(Session& s, QWidget&) {
    s.ticks.tick();
    return true;
}

bool type(Session& s, QWidget& modal) {
    if (QFileDialog* dialog = fileDialog(s, modal)) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (edit != nullptr) {
            edit->setText(fileName(s)); // set, not typed: typing opens the completer's list
        }
        return edit != nullptr;
    }
    const auto edits = usable<QLineEdit>(modal);
    if (edits.empty()) {
        return false;
    }
    QLineEdit* edit = edits.at(s.dice.below(edits.size()));
    edit->setFocus(Qt::TabFocusReason);
    uitest::typeText(edit, s.dice.oneIn(2) ? s.dice.number() : s.dice.text());
    return true;
}

bool accept(Session& s, QWidget& modal) {
    if (QFileDialog* dialog = fileDialog(s, modal)) {
        dialog->selectFile(fileName(s));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
        return true;
    }
    if (qobject_cast<QMessageBox*>(&modal) != nullptr) {
        return false; // its buttons are the way
    }
    press(modal, Qt::Key_Return);
    return true;
}

bool button(Session& s, QWidget& modal) {
    // A file dialog's tool buttons lead to other folders; only its OK and Cancel are pressed.
    const bool file = qobject_cast<QFileDialog*>(&modal) != nullptr;
    const QWidget* within = file ? modal.findChild<QDialogButtonBox*>() : &modal;
    if (within == nullptr) {
        return false;
    }
    const auto buttons = usable<QAbstractButton>(*within);
    if (buttons.empty()) {
        return false;
    }
    fileDialog(s, modal);
    click(*buttons.at(s.dice.below(buttons.size())));
    return true;
}

// The unit goes, comes back or spoils a transfer while the dialog is open.
bool cable(Session& s, QWidget&) {
    constexpr std::array<Action, 3> kCable{unplug, replug, spoilTransfer};
    return !s.dice.pick(std::span<const Action>(kCable))(s).empty();
}

bool escape(Session&, QWidget& modal) {
    press(modal, Qt::Key_Escape);
    return true;
}

bool tab(Session&, QWidget& modal) {
    press(modal, Qt::Key_Tab);
    return true;
}

struct Step {
    const char* name;
    int weight;
    bool (*run)(Session&, QWidget&);
};

constexpr std::array<Step, 7> kModalSteps{{
    {"tick", 3, tickStep},
    {"cable", 1, cable},
    {"type", 3, type},
    {"accept", 2, accept},
    {"button", 3, button},
    {"escape", 1, escape},
    {"tab", 1, tab},
}};

} // namespace

ModalAnswerer::ModalAnswerer(Session& session)
    : session_(session) {
    QApplication::instance()->installEventFilter(this);
}

bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->isModal()) {
            arm();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ModalAnswerer::arm() {
    if (posted_) {
        return;
    }
    posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            posted_ = false;
            look();
        },
        Qt::QueuedConnection);
}

void ModalAnswerer::look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return;
    }
    const int steps = modal->property(kStepsProperty).toInt();
    modal->setProperty(kStepsProperty, steps + 1);
    if (steps == 0) {
        ++dialogs_[modal->metaObject()->className()];
        noteGuardReport(*modal);
    }
    // The next look is posted first: a step may open a dialog of its own, whose event loop
    // then finds it.
    arm();
    step(*modal, steps);
}

void ModalAnswerer::step(QWidget& modal, int steps) {
    if (steps >= kSteps + kGrace) {
        session_.findings.add("a dialog would not close: \"" + modal.windowTitle().toStdString() +
                              "\" (" + modal.metaObject()->className() + ")");
        modal.hide(); // ends a dialog's event loop
        return;
    }
    if (steps >= kSteps) {
        if (auto* dialog = qobject_cast<QDialog*>(&modal)) {
            dialog->reject();
        } else {
            modal.close();
        }
        return;
    }
    for (int tries = 0; tries < 4; ++tries) {
        const Step& chosen =
            kModalSteps.at(session_.dice.weighted(std::span<const Step>(kModalSteps)));
        if (chosen.run(session_, modal)) {
            if (session_.trace) {
                std::printf("    %s: %s\n", modal.metaObject()->className(), chosen.name);
            }
            return;
        }
    }
}

// The guard's report of a failed handler is a critical message box captioned like the
// program's others; the one intended critical box, a configuration file's error, is named.
void ModalAnswerer::noteGuardReport(QWidget& modal) {
    const auto* box = qobject_cast<QMessageBox*>(&modal);
    if (box != nullptr && box->icon() == QMessageBox::Critical &&
        box->windowTitle() == Corvane::HandlerGuard::caption() &&
        box->objectName() != QStringLiteral("configFileError")) {
        session_.findings.add("a handler failed and its guard reported: \"" +
                              box->text().toStdString() + "\"");
    }
}

} // namespace monkey
