#include "design/filter_names.h"

#include <cmath>

#include "design/filter_families.h"

static_assert(kFamilyEntries == kFilterFamilyCount && kSlopeEntries == kFilterSlopeCount);
static_assert(kFamilyIndexLinkwitz == kFamilyLinkwitz && kFamilyIndexQParametric == kFamilyQParametric &&
              kFamilyIndexLastShelving == kFamilyShelvingPlus12 && kFamilyIndexKeeleLpW == kFamilyKeeleLpW &&
              kFamilyIndexKeeleHpN == kFamilyKeeleHpN && kFamilyIndexKeeleLpN == kFamilyKeeleLpN &&
              kFamilyIndexKeeleTwe == kFamilyKeeleTwe);
static_assert(kSlopeIndexLp6 == kSlopeLp6 && kSlopeIndexLp18 == kSlopeLp18 && kSlopeIndexHp6 == kSlopeHp6 &&
              kSlopeIndexHp18 == kSlopeHp18);

int ListIndexOf(float value, int count) {
    if (!std::isfinite(value) || value < 0.0f || value >= static_cast<float>(count)) return -1;
    const int i = static_cast<int>(value);
    if (static_cast<float>(i) != value) return -1;
    return i;
}

const char* FamilyName(int i) { return i >= 0 && i < kFilterFamilyCount ? kFilterFamilyNames[i] : nullptr; }
const char* SlopeName(int i) { return i >= 0 && i < kFilterSlopeCount ? kFilterSlopeNames[i] : nullptr; }
const char* FamilyNameOf(float p4) { return FamilyName(ListIndexOf(p4, kFilterFamilyCount)); }
const char* SlopeNameOf(float p5) { return SlopeName(ListIndexOf(p5, kFilterSlopeCount)); }
