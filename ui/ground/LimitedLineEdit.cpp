#include "LimitedLineEdit.h"

#include "HandlerGuard.h"

#include <algorithm>

namespace Corvane {

LimitedLineEdit::LimitedLineEdit(int limit, QWidget* parent)
    : QLineEdit(parent)
    , limit_(limit) {
    // textEdited comes only from the operator; textChanged also from setText.
    connect(this, &QLineEdit::textEdited, this,
            guarded(this, [this](const QString& edited) { limitEdit(edited); }));
    connect(this, &QLineEdit::textChanged, this,
            guarded(this, [this](const QString&) { remember(); }));
}

void LimitedLineEdit::remember() {
    // Qt reports an edit's text after textEdited has run, so a text cut to fit here would be
    // reported in its uncut form: what counts is what the box shows now.
    if (!fixing_) {
        shown_ = QLineEdit::text();
    }
}

void LimitedLineEdit::limitEdit(const QString& edited) {
    const qsizetype before = shown_.size();
    if (edited.size() <= limit_ || edited.size() <= before) {
        shown_ = edited;
        return;
    }
    // The edit replaced the middle of the old text with `inserted`; keep the common ends.
    qsizetype prefix = 0;
    const qsizetype common = std::min(before, edited.size());
    while (prefix < common && shown_[prefix] == edited[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < common - prefix &&
           shown_[before - 1 - suffix] == edited[edited.size() - 1 - suffix]) {
        ++suffix;
    }
    const qsizetype room = std::max<qsizetype>(0, limit_ - (prefix + suffix));
    const qsizetype insertedLength = edited.size() - prefix - suffix;
    const qsizetype kept = std::min(room, insertedLength);
    // At most the limit, or the old length when a preset text was longer already.
    const QString result = edited.left(prefix + kept) + edited.right(suffix);
    fixing_ = true;
    setText(result);
    fixing_ = false;
    setCursorPosition(static_cast<int>(std::min(prefix + kept, result.size())));
    shown_ = result;
}

} // namespace Corvane
