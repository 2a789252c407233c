#pragma once
// How a page hands a typed value to an effect: the upper bound if the value
// is above it, else the lower bound if it is below it, else the value. The
// upper bound is tested first, so when lo > hi a value above hi stores hi and
// any other value stores lo. Only the destination changes; the page keeps
// showing what was typed.

template <typename T>
void ClampStore(T value, T& destination, T lo, T hi) {
  if (value > hi) {
    destination = hi;
  } else if (value < lo) {
    destination = lo;
  } else {
    destination = value;
  }
}
