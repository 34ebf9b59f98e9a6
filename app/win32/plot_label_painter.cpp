#include "app/win32/plot_label_painter.h"

#include <string>

namespace {
int TextWidth(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
}

// The height of a text's characters: the font's cell less the internal leading above them, which holds no ink
// of a number or a unit and may lie over the label above.
int TextHeight(HDC dc) {
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    return static_cast<int>(tm.tmHeight - tm.tmInternalLeading);
}
}  // namespace

void DrawPlotLabels(HDC dc, const std::vector<PlacedLabel>& labels) {
    const std::vector<bool> keep = LabelsToDraw(labels, [dc](const std::string& t) { return TextWidth(dc, t); },
                                                TextHeight(dc), TextWidth(dc, " "));
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (keep[i]) TextOutA(dc, labels[i].x, labels[i].y, labels[i].text.c_str(), static_cast<int>(labels[i].text.size()));
}
