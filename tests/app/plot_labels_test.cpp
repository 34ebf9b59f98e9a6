#include "app/plot_labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// On one line a number that would come within the gap of a label kept before it, or of a unit, is left out;
// units stand. Down a column a number whose height (10 here) overlaps a label kept above it, or a unit, is left
// out; labels a height apart, or a gap apart side by side, never collide.
TEST(PlotLabels, NumbersThatWouldOverprintAreLeftOut) {
    const auto width = [](const std::string& t) { return 5 * static_cast<int>(t.size()); };
    const std::vector<PlacedLabel> labels = {
        {0, 100, "0.5"},   // 0..15
        {14, 100, "0.6"},  // on "0.5"
        {18, 100, "0.7"},  // a gap after "0.5"
        {35, 100, "0.8"},  // 2 pixels after "0.7"
        {40, 100, "1k"},   // clear of "0.7", on "Hz"
        {50, 100, "Hz"},
        {0, 90, "20"},
        {3, 110, "-20"},
        {200, 0, "180"},   // 200..215
        {200, 8, "160"},   // 8 pixels under "180"
        {200, 16, "140"},  // 16 under "180"
        {200, 25, "120"},  // 9 under "140"
        {200, 26, "100"},  // 10 under "140"
        {218, 8, "0"},     // a gap beside "180" and "140"
        {200, 40, "80"},   // 4 above "deg"
        {200, 44, "deg"},
    };
    EXPECT_EQ(LabelsToDraw(labels, width, 10, 3),
              (std::vector<bool>{true, false, true, false, false, true, true, true,  //
                                 true, false, true, false, true, true, false, true}));
    // Counted names give way as numbers do.
    EXPECT_EQ(LabelsToDraw({{0, 0, "P0", true}, {9, 0, "P1", true}, {15, 0, "P2", true}}, width, 10, 3),
              (std::vector<bool>{true, false, true}));
    for (const char* number : {"-180", ".5", "10k", "+3"}) EXPECT_TRUE(IsNumberLabel(number)) << number;
    for (const char* unit : {"Hz", "deg", "DAC", "", "-", "P1"}) EXPECT_FALSE(IsNumberLabel(unit)) << unit;
}
