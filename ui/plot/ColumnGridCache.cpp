#include "ColumnGridCache.h"

namespace Corvane {

std::shared_ptr<const ColumnGrid> ColumnGridCache::grid(const TelemetryHistory& history,
                                                        TelemetryHistory::IndexRange range,
                                                        Millis from, Millis to, int columns) {
    if (grid_ && history_ == &history && generation_ == history.generation() && from_ == from &&
        to_ == to && columns_ == columns) {
        return grid_;
    }
    std::optional<Millis> before;
    if (range.first > 0) {
        before = history.times({range.first - 1, 1})[0];
    }
    const ColumnGrid::Anchored window = ColumnGrid::anchored(from, to, columns);
    ColumnGrid grid = ColumnGrid::build(history.times(range), history.flags(range),
                                        TelemetryHistory::kGapBefore, window.from, window.to,
                                        columns, before ? &*before : nullptr, BlockSummary::kSize);
    grid.anchor(window.firstColumn, history.sequenceOf(range.first));
    grid_ = std::make_shared<const ColumnGrid>(std::move(grid));
    history_ = &history;
    generation_ = history.generation();
    from_ = from;
    to_ = to;
    columns_ = columns;
    return grid_;
}

} // namespace Corvane
