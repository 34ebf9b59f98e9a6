#include "panels/live_keys.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

LiveSharedValues LiveShared;

namespace {

constexpr double kStepDown2dB = 0.794328234;
constexpr double kStepUp2dB = 1.25892541;
constexpr double kStepDown1dB = 0.891250938;
constexpr double kStepUp1dB = 1.12201845;
constexpr float kGroupFloor = 0.1f;          // -20 dB
constexpr float kGroupCeiling = 10.0f;       // +20 dB
constexpr float kTweeterFloorTest = 0.3163f;
constexpr float kTweeterFloor = 0.31622776f; // -10 dB
constexpr float kTweeterCeilingTest = 3.163f;
constexpr float kTweeterCeiling = 3.1622777f;  // +10 dB
constexpr float kBbmCeiling = 1.0f;
constexpr float kBbmFloor = 0.1f;
constexpr float kBbmReset = 0.5f;
constexpr int kVolumeStep = 3;
constexpr float kMuteBelow = 0.003f;

const LiveKeyVariant kVariants[3] = {
    {66, "REA %d,%d,%d,%d %.0f DOWN", "REA %d,%d,%d,%d %.0f UP", 0.000001, 10111, 1000},
    {63, "REAR %d,%d,%d,%d %.0f DOWN", "REAR %d,%d,%d,%d %.0f UP", 0.0001, 10111, 1000},
    {63, "REAR %d,%d,%d,%d %.0f DOWN", "REAR %d,%d,%d,%d %.0f UP", 0.0001, 5045, 200},
};

// One group step: every member in 1..16 in slot order, the bound replacing a value past its test.
void StepGroup(const int32_t* members, int count, double factor, bool down, float test, float bound,
               LiveKeyValues* v) {
    for (int i = 0; i < count; ++i) {
        const int32_t m = members[i];
        if (m < 1 || m > kTrimCount) continue;
        float t = static_cast<float>(static_cast<double>(v->ChannelTrims[m - 1]) * factor);
        if (down ? t < test : t > test) t = bound;
        v->ChannelTrims[m - 1] = t;
        v->LastTrimValue = t;
    }
}

double TrimDb(float trim) { return 20.0 * std::log10(static_cast<double>(trim)); }

}  // namespace

const LiveKeyVariant& LiveKeyVariantOf(LiveKeyPanel panel) { return kVariants[static_cast<int>(panel)]; }

int32_t ParseLiveKeyChannel(const char* field, int width) {
    char text[64] = {};
    const size_t n = strnlen(field, static_cast<size_t>(width < 63 ? width : 63));
    std::memcpy(text, field, n);
    text[n] = '\0';
    // atoi of a long run of digits is undefined; strtol saturates, and the clamp follows either way.
    const long value = std::strtol(text, nullptr, 10);
    if (value < 1) return 1;
    if (value > kTrimCount) return kTrimCount;
    return static_cast<int32_t>(value);
}

LiveKeyGroups ParseLiveKeyChannels(const char fields[][20]) {
    LiveKeyGroups g;
    for (int i = 0; i < 4; ++i) g.RearChannels[i] = ParseLiveKeyChannel(fields[i], 20);
    for (int i = 0; i < 2; ++i) g.SubChannels[i] = ParseLiveKeyChannel(fields[10 + i], 20);
    for (int i = 0; i < 2; ++i) g.CabsSubChannels[i] = ParseLiveKeyChannel(fields[12 + i], 20);
    for (int i = 0; i < 3; ++i) g.TweeterChannels[i] = ParseLiveKeyChannel(fields[4 + i], 20);
    for (int i = 0; i < 2; ++i) g.BbmSourceChannels[i] = ParseLiveKeyChannel(fields[8 + i], 20);
    return g;
}

float MasterGainOf(int32_t volume_position) {
    const float gain = static_cast<float>(std::pow(10.0, 0.05 * (volume_position - 51)));
    return gain < kMuteBelow ? 0.0f : gain;
}

bool LiveKeysActive(int filter_code, int modal_dialog_open, bool panel_open, KeyTarget target) {
    return filter_code == kFilterCodeDialogBox && modal_dialog_open == 0 && panel_open && target == KeyTarget::kPanel;
}

LiveKeyResult ApplyLiveKey(LiveKeyPanel panel, KeyMessage message, uint32_t code, const LiveKeyGroups& groups,
                           LiveKeyValues* v) {
    const LiveKeyVariant& variant = LiveKeyVariantOf(panel);
    LiveKeyResult r;
    auto title = [&r](const char* format, auto... args) {
        r.set_title = true;
        std::snprintf(r.title, sizeof r.title, format, args...);
    };
    if (message == KeyMessage::kChar) {
        if (code == kKeyCharMinimumPhase) {
            r.acted = true;
            r.phase_boxes = 1;
            v->PhaseMode = 1;
            title("%s", "Minimum Phase");
        } else if (code == kKeyCharLinearPhase) {
            r.acted = true;
            r.phase_boxes = 0;
            v->PhaseMode = 0;
            title("%s", "Linear Phase");
        }
        return r;
    }
    if (message != KeyMessage::kKeyDown) return r;

    const int32_t* rear = groups.RearChannels;
    const int32_t* twe = groups.TweeterChannels;
    const int32_t* sub = groups.SubChannels;
    if (code >= kKeyDigit0 && code <= kKeyDigit9) {
        r.acted = true;
        v->ProfileNumber = static_cast<int32_t>(code - kKeyDigit0);
        r.arm_timer = variant.profile_timer;
        r.timer_ms = variant.profile_delay_ms;
        r.stop_engine = true;
        return r;
    }
    switch (code) {
    case kKeyUp:
    case kKeyDown: {
        r.acted = true;
        v->VolumePosition += code == kKeyUp ? kVolumeStep : -kVolumeStep;
        if (v->VolumePosition > variant.volume_ceiling) v->VolumePosition = variant.volume_ceiling;
        if (v->VolumePosition < 0) v->VolumePosition = 0;
        r.move_volume_bar = true;
        v->MasterGain = MasterGainOf(v->VolumePosition);
        r.clear_gain_text = true;
        return r;
    }
    case kKeyLeft:
        StepGroup(rear, 4, kStepDown2dB, true, kGroupFloor, kGroupFloor, v);
        title(variant.rear_down, rear[0], rear[1], rear[2], rear[3], TrimDb(v->LastTrimValue));
        break;
    case kKeyRight:
        StepGroup(rear, 4, kStepUp2dB, false, kGroupCeiling, kGroupCeiling, v);
        title(variant.rear_up, rear[0], rear[1], rear[2], rear[3], TrimDb(v->LastTrimValue));
        break;
    case kKeyHome:
        StepGroup(twe, 3, kStepDown1dB, true, kTweeterFloorTest, kTweeterFloor, v);
        title("TWE %d,%d,%d %.0f DOWN", twe[0], twe[1], twe[2], TrimDb(v->LastTrimValue));
        break;
    case kKeyEnd:
        StepGroup(twe, 3, kStepUp1dB, false, kTweeterCeilingTest, kTweeterCeiling, v);
        title("TWE %d,%d,%d  %.0f UP", twe[0], twe[1], twe[2], TrimDb(v->LastTrimValue));
        break;
    case kKeyPageUp:
        v->BbmGain = static_cast<float>(static_cast<double>(v->BbmGain) * kStepUp2dB);
        if (v->BbmGain > kBbmCeiling) v->BbmGain = kBbmCeiling;
        title("BBM %.1fdB UP", 20.0 * std::log10(static_cast<double>(v->BbmGain) + variant.bbm_offset));
        break;
    case kKeyPageDown:
        v->BbmGain = static_cast<float>(static_cast<double>(v->BbmGain) * kStepDown2dB);
        if (v->BbmGain < kBbmFloor) v->BbmGain = kBbmFloor;
        title("BBM %.1fdB DOWN", 20.0 * std::log10(static_cast<double>(v->BbmGain) + variant.bbm_offset));
        break;
    case kKeyEscape:
        v->BbmGain = kBbmReset;
        for (float& t : v->ChannelTrims) t = 1.0f;
        title("SUB %d, %d, %.1f RESET", sub[0], sub[1], TrimDb(1.0f));
        break;
    case kKeyInsert:
        StepGroup(sub, 2, kStepDown2dB, true, kGroupFloor, kGroupFloor, v);
        title("SUB %d, %d, %.1f DOWN", sub[0], sub[1], TrimDb(v->LastTrimValue));
        break;
    case kKeyDelete:
        StepGroup(sub, 2, kStepUp2dB, false, kGroupCeiling, kGroupCeiling, v);
        title("SUB %d, %d, %.1f UP", sub[0], sub[1], TrimDb(v->LastTrimValue));
        break;
    default:
        return r;
    }
    r.acted = true;
    return r;
}

void ResetChannelTrims(LiveSharedValues* shared) {
    for (auto& t : shared->ChannelTrims) t.store(1.0f);
}
