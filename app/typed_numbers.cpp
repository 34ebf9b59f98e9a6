#include "app/typed_numbers.h"

#include <cstdlib>
#include <string>

double TypedNumber(std::string_view text, std::size_t max_chars) {
    // strtod needs a terminated text, and must not read past what the field keeps.
    const std::string copy(text.substr(0, max_chars < text.size() ? max_chars : text.size()));
    return std::strtod(copy.c_str(), nullptr);
}

bool TypedDoubleWithin(std::string_view text, double lowest, double highest, double* out, std::size_t max_chars) {
    const double v = TypedNumber(text, max_chars);
    // NaN fails both comparisons, and so is refused with the infinities.
    if (!std::isfinite(v) || !(v >= lowest && v <= highest)) return false;
    *out = v;
    return true;
}

bool InTypedRange(double v, const TypedRange& range, MessageList* out) {
    if (FitsFloat(v) && v >= range.lowest && v <= range.highest) return true;
    AddWarning(out, range.message);
    return false;
}

bool TypedFloatWithin(std::string_view text, double lowest, double highest, float* out, std::size_t max_chars) {
    double v = 0.0;
    if (!TypedDoubleWithin(text, lowest, highest, &v, max_chars) || !FitsFloat(v)) return false;
    *out = static_cast<float>(v);
    return true;
}
