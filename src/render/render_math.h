#pragma once
// Number conversions of the element pass: floats become whole pixels by rounding to the nearest
// integer with halves going to the even neighbour, as the definition format's tools always did.
#include <cmath>
#include <cstdint>

namespace qb {

// Round half to even, clamped so that wild values from content (huge velocities, drifting
// positions) never overflow the integer conversion.
inline int32_t RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLimit = 1'000'000'000.0;
    if (value > kLimit) value = kLimit;
    if (value < -kLimit) value = -kLimit;
    double r = std::nearbyint(value);  // default rounding mode: to nearest, ties to even
    return static_cast<int32_t>(r);
}

// The same, narrowed to 16 bits by wrapping as a 16-bit store would.
inline int16_t Round16(double value) {
    return static_cast<int16_t>(static_cast<uint16_t>(RoundHalfEven(value)));
}

}  // namespace qb
