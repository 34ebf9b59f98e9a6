#include "engine/engine_globals.h"

#include <cstdint>
#include <new>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/endpoints.h"

namespace {

EngineStatusBoard TheStatus;
EngineLiveControls TheLive;
RecordingPool TheRecording;
EngineBlockContext TheContext;
std::vector<int32_t> TheOutputBlock;
std::vector<float> ThePackedBank;  // the banks as the products read them, for the largest block size

// The vectors hold this many spare elements, so that the engine's part of each can start on a cache line:
// then no 256-bit load or store of the products or of the interleave straddles two lines.
constexpr std::size_t kCacheLineSpare = 16;

// The first element of v on a 64-byte boundary.
template <class T>
T* FromCacheLine(std::vector<T>& v) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(v.data());
    return v.data() + ((64 - at % 64) % 64) / sizeof(T);
}

EngineSession& Session() {
    static EngineSession session;
    return session;
}

}  // namespace

EngineSession& ProgramEngine() { return Session(); }
EngineStatusBoard& ProgramEngineStatus() { return TheStatus; }
EngineLiveControls& ProgramEngineLive() { return TheLive; }
RecordingPool& ProgramRecording() { return TheRecording; }

int WireProgramEngine(AudioStreamFactory& streams) {
    EngineSession& e = Session();
    e.Streams = &streams;
    e.Context = &TheContext;
    e.Recording = &TheRecording;
    e.Status = &TheStatus;
    e.Live = &TheLive;
    e.Running = &EngineRunning;
    if (e.DeviceCaptureBlock.empty() && AllocateEngineSessionBuffers(e) != 0) return 1;
    try {
        if (TheOutputBlock.empty()) TheOutputBlock.assign(16 * static_cast<std::size_t>(kMaxBlockFrames) + kCacheLineSpare, 0);
        if (ThePackedBank.empty())
            ThePackedBank.assign(static_cast<std::size_t>(PackedBankFloats(kMaxBlockFrames)) + kCacheLineSpare, 0.0f);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    EngineBlockContext& ctx = TheContext;
    ctx.N = BlockFramesOf(HV_Buffer_Size);  // the block size the start settings will ask for
    // The FFT tables are word arrays of the records; the transform reads them as its index and float tables.
    ctx.fft = {reinterpret_cast<int32_t*>(FftBitReverseTable), reinterpret_cast<float*>(FftTwiddleTable)};
    for (int r = 0; r < kEngineInputPorts; ++r) {
        ctx.InputBlock[r] = InputBlock[r];
        for (int s = 0; s < kEnginePartitions; ++s) ctx.InputSpectrumHistory[r][s] = InputSpectrumHistory[r][s];
    }
    for (int b = 0; b < kEngineBanks; ++b)
        for (int o = 0; o < kEngineOutputs; ++o)
            for (int p = 0; p < kEnginePartitions; ++p) ctx.FilterPartitionBank[b][o][p] = FilterPartitionBank[b][o][p];
    for (int o = 0; o < kEngineOutputs; ++o) {
        ctx.OutputAccumulator[o] = OutputAccumulator[o];
        ctx.OverlapTail[o] = OverlapTail[o];
        ctx.OutputDelayRing[o] = nullptr;
    }
    UseSessionDelayRings(e);
    ctx.OutputBlock = FromCacheLine(TheOutputBlock);
    ctx.PackedBank = FromCacheLine(ThePackedBank);
    ctx.PackedBankCapacity = static_cast<long>(ThePackedBank.size() - kCacheLineSpare);
    ctx.RoutingMatrix = &RoutingMatrix[0][0];
    ctx.CabsEnabled = CabsEnabled;
    ctx.CabsDelaySamples = CabsDelaySamples;
    return 0;
}

EngineStartSettings EngineSettingsFromGlobals() {
    EngineStartSettings s;
    const SystemTail* t = pr_file ? &pr_file->tail : nullptr;
    s.SampleRate = static_cast<uint32_t>(SampleRateOf(t ? t->HV_Sampling : 1));
    s.BufferSizeIndex = HV_Buffer_Size;
    s.OutputMode = OutputMode;
    s.InputMode = InputMode;
    s.Capture24Bit = Capture24Bit;
    s.BassMode = BassMode;
    s.WasapiDebugMode = WasapiDebugMode;
    if (t) {
        s.SystemConfiguration = t->SystemConfiguration;
        s.OutputQueue = t->OutputQueue <= static_cast<uint32_t>(kMaxOutputQueue) ? t->OutputQueue : 0;
        s.CaptureTiming = t->CaptureTiming;
        s.RenderTiming = t->RenderTiming;
    }
    s.CaptureEndpointId = CaptureEndpointId;
    s.RenderEndpointId = RenderEndpointId;
    return s;
}
