#pragma once
// How Prepare takes a parameter that sizes its stream state: the value
// within [lo, hi], a value outside taken as the nearer limit and NaN as lo.
// The pages and the command line hand over only values in range; this keeps
// a value from anywhere else out of allocations and float-to-integer
// conversions, and leaves every value in range exactly as it is.

inline float LimitParameter(float value, float lo, float hi) {
  if (!(value >= lo)) {
    return lo;
  }
  return value > hi ? hi : value;
}
