#pragma once
// How a page hands a typed value to an effect: the upper bound if the value
// is above it, else the lower bound if it is below it, else the value. The
// upper bound is tested first, so when lo > hi a value above hi stores hi and
// any other value stores lo. The page's own copy then takes the stored value
// too, so that what the page shows is what runs.

template <typename T>
void ClampStore(T& shown, T& destination, T lo, T hi) {
  if (shown > hi) {
    destination = hi;
  } else if (shown < lo) {
    destination = lo;
  } else {
    destination = shown;
  }
  shown = destination;
}
