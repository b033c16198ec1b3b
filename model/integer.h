// Conversion of host doubles to the 32-bit integers the commands work with.
#pragma once

#include <cstdint>

namespace tarn {

// Truncates toward zero to a 64-bit two's-complement integer and keeps its
// low 32 bits. Not-a-number, infinities and magnitudes outside the 64-bit
// range give 0. So 2.9 -> 2, -0.7 -> 0, -1.7 -> -1.
inline std::int32_t integer_from_double(double value)
{
    // [-2^63, 2^63) is exactly the range a 64-bit integer can hold.
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
        return 0;
    const auto wide = static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

}  // namespace tarn
