#pragma once

#include <locale>

class QLocale;

namespace Corvane {

// The configuration file writes and reads "Fuse" and "I2T" with the separators the window shows
// numbers in. The configuration layer knows nothing of Qt, so it is handed a std::locale whose
// numpunct carries the window locale's decimal point and group separator (groups of three).
// A separator that is not one printable ASCII character cannot travel in a char facet: the
// decimal point then falls back to '.', and grouping is left out (files never carry groups).
std::locale configNumberLocale(const QLocale& locale);

} // namespace Corvane
