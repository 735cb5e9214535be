// The telemetry recording reader (tarnwell-sim --replay) on arbitrary bytes.
//
// Properties, besides no crash and no undefined behaviour: a refused file names a line within
// the file and keeps no rows; an accepted one has times that never go back, and every row
// written out again reads back as the same line (a second round changes no byte).

#include "FuzzInput.h"
#include "TelemetryCsv.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Corvane::TelemetryCsvFile file = Corvane::readTelemetryCsv(text);
    if (!file.ok()) {
        FUZZ_CHECK(file.rows.empty());
        FUZZ_CHECK(file.errorLine >= 1);
        FUZZ_CHECK(file.errorLine <=
                   static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
        return 0;
    }
    std::string again = Corvane::telemetryCsvHeader() + '\n';
    for (std::size_t i = 0; i < file.rows.size(); ++i) {
        FUZZ_CHECK(i == 0 || file.rows[i - 1].seconds <= file.rows[i].seconds);
        again += Corvane::telemetryCsvLine(file.rows[i].seconds, file.rows[i].blocks()) + '\n';
    }
    const Corvane::TelemetryCsvFile reread = Corvane::readTelemetryCsv(again);
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(reread.rows.size() == file.rows.size());
    std::string third = Corvane::telemetryCsvHeader() + '\n';
    for (const Corvane::TelemetryCsvRow& row : reread.rows) {
        third += Corvane::telemetryCsvLine(row.seconds, row.blocks()) + '\n';
    }
    FUZZ_CHECK(third == again);
    return 0;
}
