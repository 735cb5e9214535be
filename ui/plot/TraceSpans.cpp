#include "TraceSpans.h"

#include <algorithm>
#include <cmath>

namespace Corvane {
namespace {

class SpanWriter {
public:
    explicit SpanWriter(std::vector<TraceSpans::Span>& out)
        : out_(out) {}

    // Rows a to b (either order) of column x.
    void cover(int x, int a, int b, bool thin) {
        const int top = std::min(a, b);
        const int bottom = std::max(a, b);
        if (!out_.empty() && out_.back().x == x) {
            TraceSpans::Span& span = out_.back();
            span.top = std::min(span.top, top);
            span.bottom = std::max(span.bottom, bottom);
            span.thin = span.thin && thin;
            return;
        }
        out_.push_back({x, top, bottom, thin});
    }

    // The line from p to q: each column it crosses gets the rows the line passes there, from
    // half a column before to half a column after (the end columns only their half).
    void line(const TraceSpans::Point& p, const TraceSpans::Point& q) {
        const int dx = q.x - p.x;
        if (dx <= 0) {
            cover(q.x, p.y, q.y, q.thin);
            return;
        }
        const double slope = static_cast<double>(q.y - p.y) / dx;
        const auto rowAt = [&](double offset) {
            return static_cast<int>(std::floor(p.y + slope * offset + 0.5));
        };
        for (int j = 0; j <= dx; ++j) {
            const int from = j == 0 ? p.y : rowAt(j - 0.5);
            const int to = j == dx ? q.y : rowAt(j + 0.5);
            cover(p.x + j, from, to, q.thin);
        }
    }

private:
    std::vector<TraceSpans::Span>& out_;
};

} // namespace

void TraceSpans::build(const std::vector<Point>& points, std::vector<Span>& out) {
    out.clear();
    SpanWriter writer(out);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        if (i == 0 || p.breakBefore) {
            writer.cover(p.x, p.y, p.y, p.thin);
        } else {
            writer.line(points[i - 1], p);
        }
    }
}

} // namespace Corvane
