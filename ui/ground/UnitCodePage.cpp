#include "UnitCodePage.h"

#include "UnitText.h"

#include <algorithm>

namespace Corvane {

std::string UnitCodePage::toUnit(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string bytes = tarn::UnitText::fromUtf8(std::string_view(utf8.constData(), utf8.size()));
    std::replace(bytes.begin(), bytes.end(), '\0', '?');
    return bytes;
}

std::string UnitCodePage::toUnit(const QString& text, std::size_t maxBytes) {
    std::string bytes = toUnit(text);
    if (bytes.size() > maxBytes) {
        bytes.resize(maxBytes);
    }
    return bytes;
}

QString UnitCodePage::fromUnit(std::string_view bytes) {
    const std::string utf8 = tarn::UnitText::toUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace Corvane
