#pragma once
// Numbers the user types into a dialog's fields, read one way everywhere: the leading number of the text as
// atof reads it (blanks, sign, digits, point, exponent; a text without a number reads 0), over at most the
// characters the field keeps. A value is taken only when it is a finite number OF THE TYPE IT IS STORED IN and
// lies within the field's range: "inf", "nan" and "1e39" (finite as a double, infinite as a float) are
// refused like any value out of range, so the caller shows the field's own message and changes nothing.
#include <cmath>
#include <cstddef>
#include <string_view>

#include "app/messages.h"

inline constexpr std::size_t kWholeText = static_cast<std::size_t>(-1);

// The leading number of the first `max_chars` characters of `text`, as strtod reads it. May be infinite or
// NaN: callers check it (FitsFloat, or the Typed...Within helpers below).
double TypedNumber(std::string_view text, std::size_t max_chars = kWholeText);

// True when v is finite and a float holds it (|v| up to FLT_MAX).
inline bool FitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= 3.4028234663852886e38; }

// The typed value, when it is a finite float within [lowest, highest], into *out; false otherwise, and *out
// keeps what it held.
bool TypedFloatWithin(std::string_view text, double lowest, double highest, float* out,
                      std::size_t max_chars = kWholeText);

// A field's range, and what is said of a value outside it.
struct TypedRange {
    double lowest, highest;
    const char* message;
};
// True when v is a finite number that a float holds and lies within the range; otherwise adds its message.
bool InTypedRange(double v, const TypedRange& range, MessageList* out);
