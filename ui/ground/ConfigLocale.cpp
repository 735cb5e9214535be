#include "ConfigLocale.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <string>

namespace Corvane {
namespace {

std::optional<char> asciiSeparator(const QString& text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    const char16_t c = text.at(0).unicode();
    if (c < 0x20 || c >= 0x7F) {
        return std::nullopt;
    }
    return static_cast<char>(c);
}

class WindowNumpunct : public std::numpunct<char> {
public:
    WindowNumpunct(char decimal, std::optional<char> group)
        : decimal_(decimal)
        , group_(group) {}

protected:
    char do_decimal_point() const override { return decimal_; }
    char do_thousands_sep() const override { return group_.value_or(','); }
    std::string do_grouping() const override { return group_ ? std::string("\3") : std::string(); }

private:
    char decimal_;
    std::optional<char> group_;
};

} // namespace

std::locale configNumberLocale(const QLocale& locale) {
    const char decimal = asciiSeparator(locale.decimalPoint()).value_or('.');
    std::optional<char> group = asciiSeparator(locale.groupSeparator());
    if (group == decimal) {
        group.reset();
    }
    // The locale takes ownership of the facet (reference count starts at 0).
    return {std::locale::classic(), new WindowNumpunct(decimal, group)};
}

} // namespace Corvane
