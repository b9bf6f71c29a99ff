// The curve editor without its window: the control points, the 256-entry table built from
// them with a cardinal spline, and the editing rules in client pixels. The Win32 control only
// forwards mouse messages here and paints what this model says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "colour/curve_table.h"

namespace qorva {

struct CurvePoint {
    double x = 0;
    double y = 0;

    bool operator==(const CurvePoint&) const = default;
};

class CurveModel {
public:
    // hueDomain: the colour-balance and hue-shift curves (flat at 0.5 on reset, tied end points).
    explicit CurveModel(bool hueDomain = false);

    void ResetCurve();
    void SetCentred(bool centred);
    bool SetActive(bool active);  // returns the previous value
    void RebuildTable();

    const CurveTable& table() const { return table_; }
    const std::vector<CurvePoint>& points() const { return points_; }
    // Replaces the whole point list (as a loaded settings file does) and rebuilds the table.
    // A list that breaks the curve's invariants (damaged file) is repaired: coordinates are
    // clamped to [0, 1] (non-finite ones become 0), the points are sorted by x, the end points
    // are put at x = 0 and x = 1, and fewer than two points give the reset curve.
    void setPoints(std::vector<CurvePoint> points);
    bool active() const { return active_; }
    bool centred() const { return centred_; }
    bool hueDomain() const { return hueDomain_; }

    // Editing in client pixels of a control of the given size.
    void setClientSize(int width, int height);
    int hitTest(int clientX) const;  // index of the point under x, or -1
    void leftButtonDown(int clientX, int clientY);
    void mouseMove(int clientX, int clientY);
    void leftButtonUp();
    void rightButtonDown();
    int dragIndex() const { return dragIndex_; }
    bool dragging() const { return dragging_; }
    int lastMouseX() const { return lastMouseX_; }
    int lastMouseY() const { return lastMouseY_; }
    int clientWidth() const { return width_; }
    int clientHeight() const { return height_; }

    // Notifications to the owner: end of a change (drag ended, point deleted) and, when
    // notifyWhileDragging is set, every move of a drag.
    std::function<void()> onEndChange;
    std::function<void()> onThumbTrack;
    bool notifyWhileDragging = false;
    bool readOnly = false;

    // Two curves are equal when they are the same curve: domain, centring, active switch,
    // points and table. How each is being edited (client size, mouse, drag, owner callbacks)
    // is not part of the curve; the callbacks could not be compared anyway.
    bool operator==(const CurveModel& other) const;

private:
    bool hueDomain_;
    bool centred_;
    bool active_ = true;
    double tension_ = 0.3;
    std::vector<CurvePoint> points_;
    CurveTable table_{};
    int width_ = 256;
    int height_ = 256;
    int lastTableX_ = 0;
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
    int dragIndex_ = -1;
    bool dragging_ = false;
    bool tableStale_ = false;  // a point was added by a click and the table not yet rebuilt
};

// The shape every curve editor keeps, and so what a settings file and the command line must
// give: at least two points, every coordinate a number in 0..1, x never decreasing, the end
// points at x 0 and 1. Equal x is allowed because the editor can leave two points on one column
// and the settings files it saved that way must keep loading. A hue-domain curve's ends stand
// for the same hue, but the editor never tied them in stored files, so that is not part of the
// shape.
enum class CurveShapeFault { None, TooFewPoints, NotANumber, OutsideUnit, OutOfOrder, OpenEnds };
CurveShapeFault curveShapeFault(const std::vector<CurvePoint>& points);

// The stored form of a point list, shared by settings files and samples: int32 count, then x
// and y of each point as doubles, all little-endian. serializePoints appends to out.
void serializePoints(const std::vector<CurvePoint>& points, std::vector<std::uint8_t>& out);
// Reads one stored point list starting at data[offset] and advances offset past it. Returns
// false (offset and points unchanged) when the count is negative or the bytes end early. The
// points are returned as stored; setPoints repairs a list that breaks the curve's invariants.
bool deserializePoints(const std::uint8_t* data, std::size_t size, std::size_t& offset,
                       std::vector<CurvePoint>& points);

}  // namespace qorva
