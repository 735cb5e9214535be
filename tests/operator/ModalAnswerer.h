#pragma once

// Answers whatever modal dialog the operator's actions open, as a careless operator would:
// types into it, clicks its buttons, presses Escape or Enter, lets the polling timer tick while
// it is open, and after a few such steps closes it for good, so that every nested event loop
// ends. It runs from posted calls: Qt fires no timer again while that timer's own handler runs,
// so a dialog opened from inside a timer's answer would never be answered by a timer.

#include <QObject>

#include <cstddef>
#include <map>
#include <string>

class QEvent;
class QWidget;

namespace monkey {

struct Session;

class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(Session& session);
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    // The dialogs answered so far, by class.
    const std::map<std::string, std::size_t>& dialogsAnswered() const { return dialogs_; }

protected:
    // A modal dialog being shown: its event loop is about to run, and finds a look posted.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Draws nothing from the dice unless a dialog is open, so that a seed replays the same run.
    void arm();
    void look();
    void step(QWidget& modal, int steps);
    void noteGuardReport(QWidget& modal);

    Session& session_;
    bool posted_ = false;
    std::map<std::string, std::size_t> dialogs_;
};

} // namespace monkey
