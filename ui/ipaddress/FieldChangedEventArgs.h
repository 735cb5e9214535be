#pragma once

#include <QString>

#include <utility>

namespace MarlinIPAddressControlLib {

// Raised by IPAddressControl when one of its fields has a new text.
class FieldChangedEventArgs {
public:
    FieldChangedEventArgs() = default;
    FieldChangedEventArgs(int fieldIndex, QString text)
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

} // namespace MarlinIPAddressControlLib
