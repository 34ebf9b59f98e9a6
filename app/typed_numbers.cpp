#include "app/typed_numbers.h"

#include <cstdlib>
#include <string>

double TypedNumber(std::string_view text, std::size_t max_chars) {
    // strtod needs a terminated text, and must not read past what the field keeps.
    const std::string copy(text.substr(0, max_chars < text.size() ? max_chars : text.size()));
    return std::strtod(copy.c_str(), nullptr);
}

namespace {
// NaN and the infinities fail FitsFloat.
bool FloatWithin(double v, double lowest, double highest) { return FitsFloat(v) && v >= lowest && v <= highest; }
}  // namespace

bool InTypedRange(double v, const TypedRange& range, MessageList* out) {
    if (FloatWithin(v, range.lowest, range.highest)) return true;
    AddWarning(out, range.message);
    return false;
}

bool TypedFloatWithin(std::string_view text, double lowest, double highest, float* out, std::size_t max_chars) {
    const double v = TypedNumber(text, max_chars);
    if (!FloatWithin(v, lowest, highest)) return false;
    *out = static_cast<float>(v);
    return true;
}
