#include "base/rounding.h"

#include <cmath>

namespace base {

int32_t RoundHalfEven(double value) {
  // Spelled out so that the result does not hang on the floating-point rounding mode in force.
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double result = floor;
  if (fraction > 0.5) {
    result = floor + 1;
  } else if (fraction == 0.5) {
    result = std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
  }
  return static_cast<int32_t>(result);
}

}  // namespace base
