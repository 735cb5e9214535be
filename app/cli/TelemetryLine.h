#pragma once

#include "Telemetry.h"

#include <locale>
#include <string>

// The lines `watch` prints. The unit sends the power and status blocks in one packet and the
// temperatures in the next, so a line is printed for every packet and shows each block with
// the last values received; a block that has not come yet is left empty (CSV) or shown as "-".
namespace Corvane::cli {

// `seconds` is the time since the stream was switched on. CSV numbers always use '.' so that
// the lines parse anywhere; the text line uses the user's locale, as the window does.
std::string csvHeader();
std::string csvLine(double seconds, const tarn::DataStreamFeedback& blocks);
std::string textLine(double seconds, const tarn::DataStreamFeedback& blocks,
                     const std::locale& locale);

} // namespace Corvane::cli
