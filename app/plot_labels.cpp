#include "app/plot_labels.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>

bool IsNumberLabel(const std::string& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0;
}

std::vector<bool> LabelsToDraw(const std::vector<PlacedLabel>& labels, const std::function<int(const std::string&)>& width,
                               int height, int gap) {
    const std::size_t n = labels.size();
    std::vector<int> left(n), right(n);
    for (std::size_t i = 0; i < n; ++i) {
        left[i] = labels[i].x;
        right[i] = labels[i].x + width(labels[i].text);
    }
    std::vector<bool> keep(n);
    for (std::size_t i = 0; i < n; ++i) keep[i] = !labels[i].counted && !IsNumberLabel(labels[i].text);
    const auto clear = [&](std::size_t a, std::size_t b) {
        return std::abs(labels[a].y - labels[b].y) >= height || right[a] + gap <= left[b] || right[b] + gap <= left[a];
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (keep[i]) continue;
        bool free = true;
        for (std::size_t j = 0; j < n && free; ++j)
            if (j != i && keep[j] && !clear(i, j)) free = false;
        keep[i] = free;
    }
    return keep;
}
