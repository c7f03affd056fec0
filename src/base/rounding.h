// Rounding to whole numbers as the program's arithmetic wants it.
#pragma once

#include <cstdint>

namespace base {

// Nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), whatever rounding mode
// the floating-point unit is in.
int32_t RoundHalfEven(double value);

}  // namespace base
