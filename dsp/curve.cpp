#include "dsp/curve.h"

#include <cmath>
#include <limits>

namespace {
// Walks the curve in n even steps and hands each value to `emit`, all in
// single precision. The position is kept relative to the start of the
// current segment; when a step carries it past the segment's end, it moves on
// through as many segments as the step crossed, so a segment narrower than a
// step is skipped rather than extrapolated beyond its end.
template <typename Emit>
void WalkCurve(const CurvePoint* points, int count, int n, Emit emit) {
  if (n <= 0 || count <= 0) {
    return;
  }
  const int last = count - 1;
  if (n == 1 || last == 0) {
    for (int k = 0; k < n; ++k) {
      emit(k, points[0].y);
    }
    return;
  }
  const float step = (points[last].x - points[0].x) / static_cast<float>(n - 1);
  float pos = 0.0f;
  int s = 0;
  float width = points[1].x - points[0].x;
  float slope = (points[1].y - points[0].y) / width;
  float base = points[0].y;
  for (int k = 0; k < n; ++k) {
    emit(k, slope * pos + base);
    pos += step;
    while (s < last && pos >= width) {
      pos -= width;
      ++s;
      base = points[s].y;
      if (s == last) {
        // Past the last point the curve holds its final value.
        slope = 0.0f;
        break;
      }
      width = points[s + 1].x - points[s].x;
      slope = (points[s + 1].y - points[s].y) / width;
    }
  }
}

int32_t RoundToInt(float value) {
  const float rounded = std::nearbyint(value);
  // Out-of-range values (and NaN) cannot be represented; hold them at the
  // ends of the integer range instead of converting undefinedly.
  if (!(rounded > -2147483648.0f)) {
    return std::isnan(rounded) ? 0 : std::numeric_limits<int32_t>::min();
  }
  if (rounded >= 2147483648.0f) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(rounded);
}
}  // namespace

void ResampleCurve(const CurvePoint* points, float* out, int count, int n) {
  WalkCurve(points, count, n, [out](int k, float value) { out[k] = value; });
}

void ResampleCurveToInts(const CurvePoint* points, int32_t* out, int count, int n) {
  WalkCurve(points, count, n, [out](int k, float value) { out[k] = RoundToInt(value); });
}
