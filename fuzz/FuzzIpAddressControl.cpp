// The IP address control's text parsing and paste handling, driven by a script of operations
// from the fuzzer: writing Text, pasting into a field (Ctrl+V), dropping text on the control,
// typing keys into a field, narrowing a field's range, and switching read-only on and off.
//
// Properties, besides no crash or undefined behaviour, after every operation:
// - every field is blank or a plain decimal of at most three digits within its upper limit,
//   and Text, ToString and GetAddressBytes all say the same four fields;
// - writing Text with what Text reads changes nothing;
// - pasting text that is not plain digits, or dropping any text, sets the whole address exactly
//   as writing Text with it would (on a control with the same ranges), unless the control is
//   read-only, when nothing changes.

#include "FuzzInput.h"
#include "IPAddressControl.h"

#include <QApplication>
#include <QByteArray>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <QTest>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using MarlinIPAddressControlLib::FieldControl;
using MarlinIPAddressControlLib::IPAddressControl;

// One application for the process; the offscreen platform needs no display.
QApplication& application() {
    static int argc = 1;
    static char name[] = "fuzz_ipaddress";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

struct Ranges {
    std::array<uint8_t, 4> lower{0, 0, 0, 0};
    std::array<uint8_t, 4> upper{255, 255, 255, 255};
};

class Subject {
public:
    Subject() {
        for (int i = 0; i < IPAddressControl::FieldCount; ++i) {
            fields_[static_cast<std::size_t>(i)] =
                control_.findChild<FieldControl*>(QStringLiteral("FieldControl%1").arg(i));
            FUZZ_CHECK(fields_[static_cast<std::size_t>(i)] != nullptr);
        }
    }
    IPAddressControl& control() { return control_; }
    FieldControl& field(std::size_t i) { return *fields_[i % fields_.size()]; }

    void checkInvariants() {
        QStringList texts;
        QStringList values;
        const auto bytes = control_.GetAddressBytes();
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const FieldControl& f = *fields_[i];
            const QString t = f.text();
            FUZZ_CHECK(f.RangeLower() <= f.RangeUpper());
            if (t.isEmpty()) {
                FUZZ_CHECK(bytes[i] == f.RangeLower());
            } else {
                bool parsed = false;
                const uint value = t.toUInt(&parsed);
                FUZZ_CHECK(parsed && t.size() <= 3 && t == QString::number(value));
                FUZZ_CHECK(value <= f.RangeUpper());
                FUZZ_CHECK(bytes[i] == value);
            }
            texts << t;
            values << QString::number(bytes[i]);
        }
        FUZZ_CHECK(control_.Text() == texts.join(QLatin1Char('.')));
        FUZZ_CHECK(control_.ToString() == values.join(QLatin1Char('.')));
        FUZZ_CHECK(control_.Blank() == (control_.Text() == QStringLiteral("...")));
    }

private:
    IPAddressControl control_;
    std::array<FieldControl*, 4> fields_{};
};

// What writing Text gives on a fresh control with the same ranges.
QString writtenAsText(const QString& text, const Ranges& ranges) {
    IPAddressControl reference;
    for (int i = 0; i < 4; ++i) {
        const auto k = static_cast<std::size_t>(i);
        reference.SetFieldRange(i, ranges.lower[k], ranges.upper[k]);
    }
    reference.SetText(text);
    return reference.Text();
}

QString textFrom(fuzz::FuzzInput& in) {
    const bool latin1 = in.flag();
    const auto bytes = in.sized(40);
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    const auto size = static_cast<qsizetype>(bytes.size());
    return latin1 ? QString::fromLatin1(chars, size) : QString::fromUtf8(chars, size);
}

bool plainDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// Pasted text that is not plain digits lands as writing Text with it would; a read-only
// control or an empty clipboard takes nothing.
void checkPaste(Subject& s, const QString& before, const QString& pasted, bool readOnly,
                const Ranges& ranges) {
    if (readOnly || pasted.isEmpty()) {
        FUZZ_CHECK(s.control().Text() == before);
    } else if (!plainDigits(pasted)) {
        FUZZ_CHECK(s.control().Text() == writtenAsText(pasted, ranges));
    }
}

// Dropped text, digits or not, always sets the whole address (unless the control is read-only).
void checkDrop(Subject& s, const QString& before, const QString& dropped, bool readOnly,
               const Ranges& ranges) {
    FUZZ_CHECK(s.control().Text() == (readOnly ? before : writtenAsText(dropped, ranges)));
}

void drop(IPAddressControl& control, const QString& text) {
    QMimeData mime;
    mime.setText(text);
    const QPointF at(2, 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&control, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&control, &dropped);
}

constexpr std::array<Qt::Key, 12> kKeys = {
    Qt::Key_Period, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left,  Qt::Key_Right,
    Qt::Key_Home,   Qt::Key_End,   Qt::Key_Up,        Qt::Key_Down,   Qt::Key_Minus, Qt::Key_A,
};

void type(FieldControl& field, uint8_t choice) {
    if (choice < 160) {
        QTest::keyClick(&field, static_cast<char>('0' + choice % 10));
    } else {
        const Qt::KeyboardModifiers modifiers =
            (choice & 0x10u) != 0 ? Qt::ControlModifier : Qt::NoModifier;
        QTest::keyClick(&field, kKeys[choice % kKeys.size()], modifiers);
    }
}

void step(Subject& s, Ranges& ranges, bool& readOnly, fuzz::FuzzInput& in) {
    const QString before = s.control().Text();
    switch (in.below(6)) {
    case 0: {
        s.control().SetText(textFrom(in));
        const QString read = s.control().Text();
        s.control().SetText(read);
        FUZZ_CHECK(s.control().Text() == read);
        break;
    }
    case 1: {
        const std::size_t i = in.byte();
        const QString text = textFrom(in);
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(&s.field(i), Qt::Key_V, Qt::ControlModifier);
        checkPaste(s, before, text, readOnly, ranges);
        break;
    }
    case 2: {
        const QString text = textFrom(in);
        drop(s.control(), text);
        checkDrop(s, before, text, readOnly, ranges);
        break;
    }
    case 3: {
        const int i = static_cast<int>(in.byte() % 6u); // 4 and 5 are out of range: ignored
        const uint8_t lower = in.byte();
        const uint8_t upper = in.byte();
        s.control().SetFieldRange(i, lower, upper);
        if (i < 4) {
            const auto k = static_cast<std::size_t>(i);
            ranges.lower[k] = s.field(k).RangeLower();
            ranges.upper[k] = s.field(k).RangeUpper();
        }
        break;
    }
    case 4: {
        const std::size_t i = in.byte();
        type(s.field(i), in.byte());
        break;
    }
    default:
        readOnly = !readOnly;
        s.control().SetReadOnly(readOnly);
        break;
    }
    s.checkInvariants();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    application();
    fuzz::FuzzInput in(data, size);
    Subject subject;
    Ranges ranges;
    bool readOnly = false;
    for (int steps = 0; !in.empty() && steps < 32; ++steps) {
        step(subject, ranges, readOnly, in);
    }
    return 0;
}
