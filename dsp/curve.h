#pragma once
// Piecewise-linear resampling of a breakpoint curve into an evenly spaced table.

#include <cstdint>

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
