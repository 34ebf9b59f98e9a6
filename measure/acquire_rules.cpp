#include "measure/acquire_rules.h"

#include <cstdio>

#include "app/settings.h"

namespace {
std::string Cut7(const char* text) { return std::string(text).substr(0, 7); }
}  // namespace

std::string WindowWidthMsText(const char* width_text, double fs) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", fs > 0 ? SettingTextNumber(width_text) * 1000.0 / fs : 0.0);
    return Cut7(text);
}

std::string WindowWidthSamplesText(const char* ms_text, double fs) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", SettingTextNumber(ms_text) * fs * 0.001);
    return Cut7(text);
}

int ScrolledOutputLevel(int level, LevelScroll request, int thumb) {
    switch (request) {
        case LevelScroll::kLineLeft: level -= 1; break;
        case LevelScroll::kLineRight: level += 1; break;
        case LevelScroll::kPageLeft: level -= 10; break;
        case LevelScroll::kPageRight: level += 10; break;
        case LevelScroll::kThumb: level = thumb; break;
        case LevelScroll::kLeftEnd: level = 0; break;
        case LevelScroll::kRightEnd: level = 100; break;
        case LevelScroll::kOther: break;
    }
    return level < 0 ? 0 : level > 100 ? 100 : level;
}

std::string OutputLevelText(int level) {
    char text[32];
    std::snprintf(text, sizeof text, "Output = %d%%", level);
    return text;
}

std::string OutputLevelText(int level, const MlsEmphasisLevel& emphasis) {
    if (!emphasis.held) return OutputLevelText(level);
    char text[32];
    std::snprintf(text, sizeof text, "Held At %d%%", emphasis.level);
    return text;
}
