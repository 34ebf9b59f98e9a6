#pragma once
// Display names of the filter families and slopes, by the index a filter block's parameter selects. Kept
// apart from design/filter_families.h, whose parameter constants clash with design/network_model.h's.

inline constexpr int kFamilyEntries = 12;  // "Bessel" .. "Keele TWE"
inline constexpr int kSlopeEntries = 10;   // "LP -6dB/oct" .. "HP +48dB/oct"

// Family and slope indices the dialogs and labels test.
inline constexpr int kFamilyIndexLinkwitz = 2;
inline constexpr int kFamilyIndexQParametric = 3;
inline constexpr int kFamilyIndexLastShelving = 7;
inline constexpr int kFamilyIndexKeeleLpW = 8;
inline constexpr int kFamilyIndexKeeleHpN = 9;
inline constexpr int kFamilyIndexKeeleLpN = 10;
inline constexpr int kFamilyIndexKeeleTwe = 11;
inline constexpr int kSlopeIndexLp6 = 0;
inline constexpr int kSlopeIndexLp18 = 2;
inline constexpr int kSlopeIndexHp6 = 5;
inline constexpr int kSlopeIndexHp18 = 7;

// The whole list index 0..count-1 a parameter selects, or -1 (negative, past the table, not whole, not finite).
int ListIndexOf(float value, int count);

// Name of entry i (0..11 / 0..9), or nullptr.
const char* FamilyName(int i);
const char* SlopeName(int i);
// The names a parameter value selects, or nullptr when it selects none.
const char* FamilyNameOf(float p4);
const char* SlopeNameOf(float p5);
