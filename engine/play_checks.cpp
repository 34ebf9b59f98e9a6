#include "engine/play_checks.h"

#include <algorithm>
#include <cstring>

namespace {

bool OneOf(uint32_t v, uint32_t a, uint32_t b) { return v == a || v == b; }

}  // namespace

int CheckPlayRules(const PlayRuleInputs& in, std::string* message, uint32_t skipped_rules) {
    const uint32_t S = in.SystemConfiguration, I = in.InputMode, B = in.BassMode, K = in.BufferSizeIndex;
    const uint32_t R = in.SampleRate;
    struct Rule {
        bool breaks;
        const char* text;
    };
    // Quadro refuses the twelve-input mode: the rule's own condition, with a message that names that mode.
    const Rule rules[kPlayRuleCount] = {
        {S == 0 && I == 0 && OneOf(B, 1, 2), "Unable To Run BBM/Summed In Stereo Mode"},
        {S == 0 && I >= 1 && I <= 3, "Unable To Process More Than 2 Inputs In Stereo Mode"},
        {S == 6 && I >= 1 && I <= 3, "Unable To Process More Than 2 Inputs In Stereo Mode"},
        {S == 1 && B == 1, "Unable To Run BBM In 5.1HT Mode"},
        {S == 2 && I == 0 && OneOf(B, 1, 2), "Unable To Run BBM/Summed In QUADRO Mode"},
        {S == 2 && I == 1, kQuadroTwelveInputsRefused},
        {S == 3 && B == 0, "Unable To Run Standard Bass In BBM Mode"},
        {S == 3 && I == 0 && B == 1, "Unable To Run BBM With Stereo Inputs"},
        {R < 44100 || R > 96000, "Sampling Rate In This Release Must Be Set To\n44100 / 48000 / 96000 Samples/Second"},
        {R == 96000 && K == 0, "For 96kHz Sampling Rate, Please select 1024 OR 2048 OR 4096 buffer Size\n"},
        {R == 48000 && K == 3, "For 48kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n"},
        {R == 44100 && K == 3, "For 44.1kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n"},
        {in.Capture24Bit == 0 && I != 0, kSixteenBitInputsRefused},
    };
    for (int i = 0; i < kPlayRuleCount; ++i) {
        if (!rules[i].breaks || (skipped_rules >> i & 1u)) continue;
        if (message) *message = rules[i].text;
        return i + 1;
    }
    if (message) message->clear();
    return 0;
}

PlayResult PlaySystem(EngineSession& e, const PlayRuleInputs& in, const std::function<int()>& build_filters,
                      int32_t record_output, MessageList* messages, int32_t recording_chunks) {
    if (e.Running && e.Running->load() != 0) return PlayResult::kIgnored;
    if (EngineThreadsAlive(e) && !JoinEngineThreads(e, 0)) {
        AddWarning(messages, kEngineStillStopping);
        return PlayResult::kStillStopping;
    }
    std::string text;
    if (CheckPlayRules(in, &text) != 0) {
        AddWarning(messages, text);
        return PlayResult::kRefused;
    }
    ClearEngineRunState(e);
    if (build_filters) build_filters();
    if (record_output == 1 && e.Recording) {
        if (AllocateRecordingPool(e.Recording, recording_chunks) != 0) {
            AddWarning(messages, kNoWavMemory);
            return PlayResult::kNoRecordingMemory;
        }
    }
    return PlayResult::kArmed;
}
