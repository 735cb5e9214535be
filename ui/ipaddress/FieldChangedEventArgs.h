#pragma once

#include <QString>

#include <utility>

namespace MarlinIPAddressControlLib {

// A field index and a text: what the field and container notifications about a field's text
// carry.
class FieldTextEventArgs {
public:
    FieldTextEventArgs() = default;
    FieldTextEventArgs(int fieldIndex, QString text)
        : _fieldIndex(fieldIndex)
        , _text(std::move(text)) {}

    int FieldIndex() const { return _fieldIndex; }
    void SetFieldIndex(int fieldIndex) { _fieldIndex = fieldIndex; }
    const QString& Text() const { return _text; }
    void SetText(const QString& text) { _text = text; }

private:
    int _fieldIndex = -1;
    QString _text;
};

// Raised by IPAddressControl when one of its fields has a new text.
class FieldChangedEventArgs : public FieldTextEventArgs {
public:
    using FieldTextEventArgs::FieldTextEventArgs;
};

} // namespace MarlinIPAddressControlLib
