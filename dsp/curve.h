#pragma once
// Piecewise-linear resampling of a breakpoint curve into an evenly spaced table.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

// A breakpoint. A curve is an array of at least two points with strictly
// increasing x.
struct CurvePoint {
  float x;
  float y;
};

// Writes n (>= 2) values evenly spaced from points[0].x to points[count-1].x,
// in single precision. The position is carried relative to the start of the
// current segment, and a step moves past every breakpoint it crosses, so
// narrow segments are never extrapolated. Past the last point the value
// holds at its y.
void ResampleCurve(const CurvePoint* points, float* out, int count, int n);

// The same, each value rounded to the nearest integer (ties to even).
void ResampleCurveToInts(const CurvePoint* points, int32_t* out, int count, int n);

// A curve held by value, up to Capacity points: the copy an effect keeps of
// the curve it was handed, so that it owns what it samples and taking a new
// curve never allocates.
template <int32_t Capacity>
class OwnedCurve {
 public:
  // A copy of `points`, or of `fallback` when `points` has fewer than two
  // (no curve to sample); points beyond Capacity are dropped.
  void Assign(std::span<const CurvePoint> points, std::span<const CurvePoint> fallback) {
    const std::span<const CurvePoint> from = points.size() >= 2 ? points : fallback;
    count_ = static_cast<int32_t>(std::min(from.size(), points_.size()));
    std::copy_n(from.begin(), count_, points_.begin());
  }

  const CurvePoint* Points() const { return points_.data(); }
  int32_t Count() const { return count_; }
  std::span<const CurvePoint> View() const { return {points_.data(), static_cast<size_t>(count_)}; }

 private:
  std::array<CurvePoint, Capacity> points_{};
  int32_t count_ = 0;
};
