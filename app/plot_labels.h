#pragma once
// Labels of a plot that would overprint one another: which of them to leave out. Every plot's painter draws
// its axis labels through this one rule.
#include <functional>
#include <string>
#include <vector>

// A text as a painter places it: (x, y) is its top left corner.
struct PlacedLabel {
    int x = 0, y = 0;
    std::string text;
    bool counted = false;  // a name that counts along an axis ("P3"): it gives way as a number does
};

// True for a label that is a number ("-20", "0.5", "10k"), false for a unit or a name ("Hz", "ms", "DAC").
bool IsNumberLabel(const std::string& text);

// Which labels to draw so that none overprints another, one flag per label. A label covers `width` of its text
// across and `height` pixels down from its corner. Two labels whose heights overlap (a line's labels, or
// neighbours in a column of a short plot) must keep `gap` pixels between them side by side; labels lying
// `height` or more apart never collide. Units and names always stand, but for counted ones. The numbers are taken in the order
// given, and one that would come closer than that to a label kept before it, or to a unit or name, is left
// out: the usual rule of plot axes, along a line and down a column alike.
std::vector<bool> LabelsToDraw(const std::vector<PlacedLabel>& labels, const std::function<int(const std::string&)>& width,
                               int height, int gap);

// A curve's legend stands in a fixed row that may lie below the plot when many curves are shown in a short
// window: its text would then overprint the frequency labels. Such a legend (text and sample line) is left out;
// the curve itself is still drawn.
inline bool LegendRowInsidePlot(int text_y, int text_height, int plot_bottom) {
    return text_y + text_height <= plot_bottom;
}
