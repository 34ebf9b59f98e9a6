#include "app/plot_labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// On one line a number that would come within the gap of a label kept before it, or of a unit, is left out;
// units stand; labels on other lines never collide.
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
    };
    EXPECT_EQ(LabelsToDraw(labels, width, 3), (std::vector<bool>{true, false, true, false, false, true, true, true}));
    for (const char* number : {"-180", ".5", "10k", "+3"}) EXPECT_TRUE(IsNumberLabel(number)) << number;
    for (const char* unit : {"Hz", "deg", "DAC", "", "-", "P1"}) EXPECT_FALSE(IsNumberLabel(unit)) << unit;
}
