#include "panels/program_play.h"

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences_controls.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "engine/engine_globals.h"
#include "engine/play_checks.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/wav_render.h"

namespace {

constexpr int kSubFields[2] = {10, 11};     // "Sub 1", "Sub 2"
constexpr int kSourceFields[2] = {8, 9};    // "+" on the same rows

// The engine wired again for a Play (the block size may have changed since the last one), never under a
// thread of the last run that is still finishing its block.
bool WireForPlay(AudioStreamFactory& streams, MessageList* out) {
    EngineSession& e = ProgramEngine();
    if (EngineRunning.load() != 0) return false;
    if (EngineThreadsAlive(e) && !JoinEngineThreads(e, 0)) {
        AddWarning(out, kEngineStillStopping);
        return false;
    }
    if (WireProgramEngine(streams) != 0) {
        AddWarning(out, kEngineWiringFailed);
        return false;
    }
    return true;
}

// The reason a start was refused, or null when there is nothing to say.
const char* StartRefusal(EngineStartResult result) {
    switch (result) {
        case EngineStartResult::kStillStopping: return kEngineStillStopping;
        case EngineStartResult::kBadSettings: return kEngineSettingsRefused;
        case EngineStartResult::kNoEvent: return kEngineEventsFailed;
        case EngineStartResult::kNoThread: return kEngineThreadsFailed;
        default: return nullptr;
    }
}

}  // namespace

bool LastRunEnded(const std::function<void()>& pump, MessageList* out, uint32_t wait_ms) {
    EngineSession& e = ProgramEngine();
    if (!EngineThreadsAlive(e)) return true;
    // A run still going is not the last run: Play leaves it alone (the panels ignore Play then).
    if (EngineRunning.load() != 0) return false;
    if (StopEngine(e, wait_ms, pump)) return true;
    AddWarning(out, kEngineStillStopping);
    return false;
}

void BassManagementRows(const SystemTail& tail, int32_t subs[2], int32_t sources[2]) {
    for (int i = 0; i < 2; ++i) {
        subs[i] = ParseLiveKeyChannel(tail.LiveKeyChannelFields[kSubFields[i]], kLiveKeyFieldChars);
        sources[i] = ParseLiveKeyChannel(tail.LiveKeyChannelFields[kSourceFields[i]], kLiveKeyFieldChars);
    }
}

bool PrepareProgramEngine(AudioStreamFactory& streams, int32_t record_output, MessageList* out) {
    if (!WireForPlay(streams, out)) return false;
    EngineSession& e = ProgramEngine();
    const SystemTail& tail = pr_file->tail;
    PlayRuleInputs in;
    in.SystemConfiguration = tail.SystemConfiguration;
    in.InputMode = InputMode;
    in.BassMode = BassMode;
    in.SampleRate = static_cast<uint32_t>(SampleRateOf(tail.HV_Sampling));
    in.BufferSizeIndex = HV_Buffer_Size;
    in.Capture24Bit = Capture24Bit;
    // The panels have built both banks already; the engine clears its buffers and takes the recording.
    if (PlaySystem(e, in, {}, record_output, out) != PlayResult::kArmed) return false;
    BassManagementRows(tail, e.Context->SubChannels, e.Context->BbmSourceChannels);
    return true;
}

bool StartProgramEngine(int32_t record_output, MessageList* out) {
    EngineStartSettings s = EngineSettingsFromGlobals();
    s.TestToneChannel = TestTone.Channel.load();
    s.TestToneFrequency = TestTone.Frequency.load();
    s.CenterToLr = CenterToLr;
    PublishProgramLiveValues(record_output);
    const EngineStartResult started = StartEngine(ProgramEngine(), s);
    if (started == EngineStartResult::kStarted) return true;
    if (const char* refusal = StartRefusal(started)) AddWarning(out, refusal);
    return false;
}

bool PrepareProgramWavPlay(AudioStreamFactory& streams, MessageList* out) {
    if (!WireForPlay(streams, out)) return false;
    EngineSession& e = ProgramEngine();
    ClearEngineRunState(e);
    BassManagementRows(pr_file->tail, e.Context->SubChannels, e.Context->BbmSourceChannels);
    return true;
}

bool StartProgramWavSong(WavRun* run, MessageList* out) {
    EngineStartSettings s = EngineSettingsFromGlobals();
    s.InputMode = InputMode;  // 0 or 3, as the song set it
    s.Capture24Bit = 1;       // a file has no capture width
    PublishProgramLiveValues(0);
    const EngineStartResult started = StartWavSong(ProgramEngine(), s, run);
    if (started == EngineStartResult::kStarted) return true;
    if (const char* refusal = StartRefusal(started)) AddWarning(out, refusal);
    return false;
}

void PublishProgramLiveValues(int32_t record_output) {
    EngineLiveControls& live = ProgramEngineLive();
    live.MasterGain.store(LiveShared.MasterGain.load());
    for (int o = 0; o < kTrimCount; ++o) live.ChannelTrims[o].store(LiveShared.ChannelTrims[o].load());
    if (pr_file) {
        live.BbmGain.store(pr_file->tail.BbmGain);
        live.PhaseMode.store(pr_file->tail.PhaseMode);
        live.VolumePosition.store(pr_file->tail.VolumePosition);
    }
    live.RecordOutput.store(record_output);
}

bool TakeProgramMeterPeaks(uint32_t* seen, float inputs[8], float outputs[16]) {
    return ProgramEngineStatus().TakePeaks(seen, inputs, outputs);
}
