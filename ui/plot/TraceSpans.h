#pragma once

#include <vector>

namespace Corvane {

// A decimated trace turned into what it covers on screen: per pixel column one vertical run of
// rows, joining the column's own stroke with the halves of the lines to its neighbours. Filling
// these runs draws the same pixels as the polyline at a fraction of the cost, since a trace of
// min/max points is a vertical stroke in almost every column.
class TraceSpans {
public:
    struct Point {
        int x;
        int y;
        bool breakBefore; // no line from the point before
        bool thin;        // the line to this point is drawn thin
    };
    struct Span {
        int x;
        int top;
        int bottom; // inclusive
        bool thin;  // every line through the column is thin
    };

    // Points in order of x (several may share one); `out` is cleared and refilled.
    static void build(const std::vector<Point>& points, std::vector<Span>& out);
};

} // namespace Corvane
