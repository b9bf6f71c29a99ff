#include "colour/curve_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace qorva {
namespace {

// Curve points are kept in x order by the same stable exchange sort the editor always used, so
// points with equal x keep their order.
void sortByX(std::vector<CurvePoint>& points) {
    const std::size_t n = points.size();
    for (std::size_t pass = 0; pass + 1 < n; ++pass) {
        bool swapped = false;
        for (std::size_t i = 0; i + 1 < n - pass; ++i) {
            if (points[i].x > points[i + 1].x) {
                std::swap(points[i], points[i + 1]);
                swapped = true;
            }
        }
        if (!swapped) break;
    }
}

double clampUnit(double v) {
    if (!std::isfinite(v)) return 0;
    return std::clamp(v, 0.0, 1.0);
}

// Table position or value from a spline coordinate: truncation, with rounding at the two ends
// so that a value a hair outside the range does not fall off it.
int tableIndex(float value) {
    int k = static_cast<int>(value);
    if (k <= 0) k = static_cast<int>(value + 0.5);
    if (k >= 256) k = static_cast<int>(value - 0.5);
    return k;
}

std::uint8_t clampByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

}  // namespace

CurveModel::CurveModel(bool hueDomain) : hueDomain_(hueDomain), centred_(hueDomain) {
    ResetCurve();
}

bool CurveModel::operator==(const CurveModel& other) const {
    return hueDomain_ == other.hueDomain_ && centred_ == other.centred_ &&
           active_ == other.active_ && tension_ == other.tension_ && points_ == other.points_ &&
           table_ == other.table_;
}

void CurveModel::ResetCurve() {
    points_.clear();
    if (centred_) {
        points_.push_back({0, 0.5});
        points_.push_back({1, 0.5});
    } else {
        points_.push_back({0, 0});
        points_.push_back({1, 1});
    }
    RebuildTable();
}

void CurveModel::SetCentred(bool centred) {
    centred_ = centred;
    ResetCurve();
}

bool CurveModel::SetActive(bool active) {
    const bool previous = active_;
    active_ = active;
    return previous;
}

CurveShapeFault curveShapeFault(const std::vector<CurvePoint>& points) {
    if (points.size() < 2) return CurveShapeFault::TooFewPoints;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const CurvePoint& p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return CurveShapeFault::NotANumber;
        if (p.x < 0 || p.x > 1 || p.y < 0 || p.y > 1) return CurveShapeFault::OutsideUnit;
        if (i > 0 && p.x < points[i - 1].x) return CurveShapeFault::OutOfOrder;
    }
    if (points.front().x != 0 || points.back().x != 1) return CurveShapeFault::OpenEnds;
    return CurveShapeFault::None;
}

void CurveModel::setPoints(std::vector<CurvePoint> points) {
    if (points.size() < 2) {
        ResetCurve();
        return;
    }
    for (CurvePoint& p : points) {
        p.x = clampUnit(p.x);
        p.y = clampUnit(p.y);
    }
    sortByX(points);
    points.front().x = 0;
    points.back().x = 1;
    points_ = std::move(points);
    if (dragIndex_ >= static_cast<int>(points_.size())) dragIndex_ = -1;
    RebuildTable();
}

void CurveModel::RebuildTable() {
    const double s = (1 - tension_) / 2;
    const double step = 1.0 / 99;
    lastTableX_ = 0;
    tableStale_ = false;

    // Draws the table from the last written entry to (k, v), interpolating linearly between.
    auto drawTo = [this](int k, int v) {
        k = std::clamp(k, 0, 255);
        v = std::clamp(v, 0, 255);
        const int a = lastTableX_;
        const int b = table_[static_cast<std::size_t>(a)];
        const int n = std::abs(k - a);
        if (n == 0) return;
        const int dir = k > a ? 1 : -1;
        for (int j = 0; j < n; ++j) {
            const int value = std::clamp(b + j * (v - b) / n, 0, 255);
            table_[static_cast<std::size_t>(a + dir * j)] = static_cast<std::uint8_t>(value);
        }
        table_[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
        lastTableX_ = k;
    };

    const std::size_t count = points_.size();
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const CurvePoint& p1 = points_[i];
        const CurvePoint& p2 = points_[i + 1];
        const CurvePoint& p0 = i == 0 ? p1 : points_[i - 1];
        const CurvePoint& p3 = i + 2 < count ? points_[i + 2] : p2;
        const double x0 = 256 * p0.x, x1 = 256 * p1.x, x2 = 256 * p2.x, x3 = 256 * p3.x;
        const double y0 = 256 * p0.y, y1 = 256 * p1.y, y2 = 256 * p2.y, y3 = 256 * p3.y;

        if (i == 0) table_[0] = clampByte(y1);
        if (i + 2 == count) table_[255] = clampByte(y2);

        for (double t = step; t <= 1; t += step) {
            const double t2 = t * t;
            const double t3 = t * t * t;
            const double w0 = s * (-t3 + 2 * t2 - t);
            const double w1 = (2 - s) * t3 + (s - 3) * t2 + 1;
            const double w2 = (s - 2) * t3 + (3 - 2 * s) * t2 + s * t;
            const double w3 = s * (t3 - t2);
            const float X = static_cast<float>(w0 * x0 + w1 * x1 + w2 * x2 + w3 * x3);
            const float Y = static_cast<float>(w0 * y0 + w1 * y1 + w2 * y2 + w3 * y3);
            drawTo(tableIndex(X), tableIndex(Y));
        }
    }
}

void CurveModel::setClientSize(int width, int height) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
}

int CurveModel::hitTest(int clientX) const {
    const int a = static_cast<int>(static_cast<long long>(clientX) * 255 / width_);
    const double u = a / 255.0;
    const double reach = width_ / 30.0 / 255.0;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        if (std::fabs(points_[i].x - u) < reach) return static_cast<int>(i);
    }
    return -1;
}

void CurveModel::leftButtonDown(int clientX, int clientY) {
    lastMouseX_ = clientX;
    lastMouseY_ = clientY;
    if (!active_ || readOnly) return;
    dragging_ = true;
    const int hit = hitTest(clientX);
    if (hit >= 0) {
        dragIndex_ = hit;
        return;
    }
    // A click between points adds one on the curve as it is drawn now; the table is rebuilt
    // once the new point moves, or at the release at the latest, so that what is rendered is
    // always the curve of the points a settings file or a sample keeps.
    const int a =
        static_cast<int>(std::clamp(static_cast<long long>(clientX) * 255 / width_, 0LL, 255LL));
    const int under = a;
    const double x = a / 255.0;
    points_.push_back({x, table_[static_cast<std::size_t>(under)] / 255.0});
    sortByX(points_);
    tableStale_ = true;
    dragIndex_ = -1;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        if (points_[i].x == x) {
            dragIndex_ = static_cast<int>(i);
            break;
        }
    }
}

void CurveModel::mouseMove(int clientX, int clientY) {
    lastMouseX_ = clientX;
    lastMouseY_ = clientY;
    if (!active_ || readOnly || !dragging_) return;
    if (dragIndex_ < 0 || dragIndex_ >= static_cast<int>(points_.size())) return;

    const std::size_t i = static_cast<std::size_t>(dragIndex_);
    const std::size_t last = points_.size() - 1;
    const double y = std::clamp(1 - static_cast<double>(clientY) / height_, 0.0, 1.0);
    double x = std::clamp(static_cast<double>(clientX) / width_, 0.0, 1.0);
    CurvePoint& p = points_[i];
    p.y = y;
    if (i != 0 && i != last) {
        const double gap = 7.0 / width_;
        const double prev = points_[i - 1].x;
        const double next = points_[i + 1].x;
        if (x - gap < prev) x = prev + gap;
        if (x + gap > next) x = next - gap;
        // Neighbours closer than two gaps (points added by clicks without a drag, or read from a
        // file) leave no room for the full spacing; the point then sits between them so the
        // list never falls out of order.
        if (!(x > prev && x < next)) x = prev + (next - prev) / 2;
        p.x = x;
    }
    // Hue 0 and hue 360 are the same hue, so the two end points move together.
    if (hueDomain_ && last > 0) {
        if (i == 0) points_[last].y = y;
        if (i == last) points_[0].y = y;
    }
    RebuildTable();
    if (notifyWhileDragging && onThumbTrack) onThumbTrack();
}

void CurveModel::leftButtonUp() {
    if (!dragging_) return;
    dragging_ = false;
    dragIndex_ = -1;
    if (tableStale_) RebuildTable();
    if (onEndChange) onEndChange();
}

void CurveModel::rightButtonDown() {
    if (!active_ || readOnly || dragging_) return;
    const int hit = hitTest(lastMouseX_);
    if (hit <= 0 || hit >= static_cast<int>(points_.size()) - 1) return;
    points_.erase(points_.begin() + hit);
    sortByX(points_);
    RebuildTable();
    if (onEndChange) onEndChange();
}

void serializePoints(const std::vector<CurvePoint>& points, std::vector<std::uint8_t>& out) {
    auto put = [&out](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(static_cast<std::int32_t>(points.size())), 4);
    for (const CurvePoint& p : points) {
        put(std::bit_cast<std::uint64_t>(p.x), 8);
        put(std::bit_cast<std::uint64_t>(p.y), 8);
    }
}

bool deserializePoints(const std::uint8_t* data, std::size_t size, std::size_t& offset,
                       std::vector<CurvePoint>& points) {
    if (!data || offset > size || size - offset < 4) return false;
    auto get = [data](std::size_t at, int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
        return v;
    };
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(get(offset, 4)));
    if (count < 0) return false;
    const std::size_t n = static_cast<std::size_t>(count);
    if ((size - offset - 4) / 16 < n) return false;
    std::vector<CurvePoint> read(n);
    std::size_t at = offset + 4;
    for (CurvePoint& p : read) {
        p.x = std::bit_cast<double>(get(at, 8));
        p.y = std::bit_cast<double>(get(at + 8, 8));
        at += 16;
    }
    points = std::move(read);
    offset = at;
    return true;
}

}  // namespace qorva
