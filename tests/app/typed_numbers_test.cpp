// Typed numbers: finite as the stored type and within the field's range, or refused with the target untouched.
#include <gtest/gtest.h>

#include "app/typed_numbers.h"

TEST(TypedNumbers, OnlyFiniteValuesOfTheStoredTypeWithinTheRangeAreTaken) {
    float f = 7.0f;
    EXPECT_TRUE(TypedFloatWithin("  -12.5dB", -100, 100, &f));
    EXPECT_EQ(f, -12.5f);
    EXPECT_TRUE(TypedFloatWithin("100", -100, 100, &f));  // the ends belong to the range
    EXPECT_EQ(f, 100.0f);
    EXPECT_TRUE(TypedFloatWithin("abc", -100, 100, &f));  // no number reads 0, as atof reads it
    EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(TypedFloatWithin("-12.3456789", -100, 100, &f, 7));  // only what the field keeps
    EXPECT_EQ(f, -12.345f);
    f = 7.0f;
    for (const char* text : {"inf", "-INF", "infinity", "nan", "-nan", "1e39", "-1e39"}) {
        EXPECT_FALSE(TypedFloatWithin(text, -1e300, 1e300, &f)) << text;  // not a float, whatever the range
        EXPECT_EQ(f, 7.0f) << text;
    }
    for (const char* text : {"100.001", "-1e5"}) {
        EXPECT_FALSE(TypedFloatWithin(text, -100, 100, &f)) << text;
        EXPECT_EQ(f, 7.0f) << text;
    }
    // A double holds 1e39; a float does not.
    EXPECT_FALSE(TypedFloatWithin("1e39", 0, 1e40, &f));
    EXPECT_TRUE(TypedFloatWithin("3.4e38", 0, 1e40, &f));
    EXPECT_EQ(f, 3.4e38f);
}
