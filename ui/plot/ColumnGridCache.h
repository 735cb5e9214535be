#pragma once

#include "ColumnGrid.h"
#include "TelemetryHistory.h"

#include <cstdint>
#include <memory>

namespace Corvane {

// The column grid of the latest frame, anchored (ColumnGrid::anchored): charts stacked on one
// time axis, with one width, build it once per change of the history or of the window and
// share it. `range` holds the samples of the anchored window.
class ColumnGridCache {
public:
    using Millis = TelemetryHistory::Millis;

    std::shared_ptr<const ColumnGrid> grid(const TelemetryHistory& history,
                                           TelemetryHistory::IndexRange range, Millis from,
                                           Millis to, int columns);

private:
    const TelemetryHistory* history_ = nullptr;
    std::uint64_t generation_ = 0;
    Millis from_ = 0;
    Millis to_ = 0;
    int columns_ = -1;
    std::shared_ptr<const ColumnGrid> grid_;
};

} // namespace Corvane
