#include "app/system_record.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "app/raw_file.h"
#include "app/record_file_messages.h"

namespace {

constexpr const char* kLiveKeyDefaults[kLiveKeyFieldCount] = {"3", "4", "5", "6", "7", "8", "9", "10", "1", "2",
                                                              "1", "2", "0", "0", "0", "0", "0", "0", "0", "0"};
constexpr int32_t kDefaultIrWindowLength = 256;
constexpr int32_t kDefaultIrWindowType = 6;
constexpr int32_t kWindowTypeCount = 10;
constexpr int32_t kMaxIrWindowLength = 262144;   // an output's taper holds 262,144 values
constexpr float kDefaultBbmGain = 0.5f;
constexpr float kMinBbmGain = 0.1f;

// Limits of the enumerations and indices kept in the tail (the value is valid when below the limit).
constexpr uint32_t kSampleRateCount = 3, kConfigurationCount = 7, kBassModeCount = 4, kInputModeCount = 4,
                   kOutputModeCount = 3, kBlockSizeCount = 4, kOutputQueueCount = 5;
constexpr int32_t kMaxVolumePosition = 66;

void ToDefaultUnless(uint32_t* v, uint32_t limit, uint32_t fallback) {
    if (*v >= limit) *v = fallback;
}

void CopyMirroredIntoTail(SystemTail* t, const MirroredSettings& g) {
    SetIrMethod(t, g.IrMethod);
    t->BassMode = g.BassMode;
    t->Capture24Bit = g.Capture24Bit;
    t->HV_Buffer_Size = g.HV_Buffer_Size;
    t->OutputMode = g.OutputMode;
    t->InputMode = g.InputMode;
    t->WideWindow = g.WideWindow;
    t->CaptureDeviceIndex = g.CaptureDeviceIndex;
    std::memset(t->reserved_5308, 0, sizeof t->reserved_5308);
    t->RenderDeviceIndex = g.RenderDeviceIndex;
    t->DeviceIndex3 = g.DeviceIndex3;
    std::memset(t->reserved_5344, 0, sizeof t->reserved_5344);
}

// Every reserved byte except the word at 303,330,456, which keeps its value (1 by default).
void ZeroReservedTailBytes(SystemTail* t) {
    std::memset(t->reserved_head, 0, sizeof t->reserved_head);
    std::memset(t->reserved_zero, 0, sizeof t->reserved_zero);
    t->reserved_5248 = 0;
    t->reserved_5276 = 0;
    std::memset(t->reserved_5296, 0, sizeof t->reserved_5296);
    std::memset(t->reserved_5308, 0, sizeof t->reserved_5308);
    std::memset(t->reserved_5344, 0, sizeof t->reserved_5344);
    std::memset(t->reserved_5784, 0, sizeof t->reserved_5784);
    std::memset(t->reserved_5812, 0, sizeof t->reserved_5812);
    for (auto& e : t->IrWindowSettings) std::memset(e.reserved, 0, sizeof e.reserved);
}

void GatherPaneImages(const ProjectContext& ctx) {
    for (int n = 0; n < kPaneCount; ++n) {
        const PaneRecord* src = ctx.panes[n];
        if (src && src != &ctx.record->panes[n])
            std::memcpy(static_cast<void*>(&ctx.record->panes[n]), src, sizeof(PaneRecord));
    }
}

}  // namespace

int SetSystemRecordDefaults(SystemRecord* record, const MirroredSettings& globals) {
    SystemTail* t = &record->tail;
    std::memset(t, 0, sizeof *t);
    t->HV_Sampling = 1;
    t->SystemConfiguration = 0;
    t->reserved_5256 = 1;
    t->VolumePosition = 9;
    t->PhaseMode = 0;
    t->SplOnlyEq = 0;
    t->BassMode = globals.BassMode;
    t->WideWindow = globals.WideWindow;
    t->InputMode = globals.InputMode;
    t->OutputMode = globals.OutputMode;
    t->Capture24Bit = globals.Capture24Bit;
    t->CaptureDeviceIndex = globals.CaptureDeviceIndex;
    t->RenderDeviceIndex = globals.RenderDeviceIndex;
    t->DeviceIndex3 = globals.DeviceIndex3;
    for (int k = 0; k < kLiveKeyFieldCount; ++k)
        std::memcpy(t->LiveKeyChannelFields[k], kLiveKeyDefaults[k], std::strlen(kLiveKeyDefaults[k]) + 1);
    t->HV_Buffer_Size = globals.HV_Buffer_Size;
    t->RenderTiming = 0;
    t->OutputQueue = 0;
    t->CaptureTiming = 0;
    t->BbmGain = kDefaultBbmGain;
    for (auto& e : t->IrWindowSettings) {
        e.length = kDefaultIrWindowLength;
        e.window_type = kDefaultIrWindowType;
    }
    // After the window settings: entry 17's first word is IrMethod.
    SetIrMethod(t, globals.IrMethod);
    return 0;
}

void SanitiseSystemTail(SystemTail* t) {
    const MirroredSettings start_up;
    ToDefaultUnless(&t->HV_Sampling, kSampleRateCount, 1);
    ToDefaultUnless(&t->SystemConfiguration, kConfigurationCount, 0);
    if (t->VolumePosition < 0 || t->VolumePosition > kMaxVolumePosition) t->VolumePosition = 9;
    if (t->PhaseMode != 0 && t->PhaseMode != 1) t->PhaseMode = 0;
    ToDefaultUnless(&t->SplOnlyEq, 2, 0);
    ToDefaultUnless(&t->BassMode, kBassModeCount, start_up.BassMode);
    ToDefaultUnless(&t->WideWindow, 2, start_up.WideWindow);
    ToDefaultUnless(&t->InputMode, kInputModeCount, start_up.InputMode);
    ToDefaultUnless(&t->OutputMode, kOutputModeCount, start_up.OutputMode);
    ToDefaultUnless(&t->Capture24Bit, 2, start_up.Capture24Bit);
    ToDefaultUnless(&t->CaptureDeviceIndex, kEndpointSlots, 0);
    ToDefaultUnless(&t->RenderDeviceIndex, kEndpointSlots, 0);
    ToDefaultUnless(&t->DeviceIndex3, kEndpointSlots, 0);
    for (auto& field : t->LiveKeyChannelFields)
        if (std::memchr(field, 0, kLiveKeyFieldChars) == nullptr) field[kLiveKeyFieldChars - 1] = '\0';
    ToDefaultUnless(&t->HV_Buffer_Size, kBlockSizeCount, start_up.HV_Buffer_Size);
    ToDefaultUnless(&t->RenderTiming, 2, 0);
    ToDefaultUnless(&t->OutputQueue, kOutputQueueCount, 0);
    ToDefaultUnless(&t->CaptureTiming, 2, 0);
    // Below 0.1 becomes 0.5; so does a value that is not a number or infinite.
    if (!std::isfinite(t->BbmGain) || t->BbmGain < kMinBbmGain) t->BbmGain = kDefaultBbmGain;
    for (int o = 0; o < kOutputCount; ++o) {
        IrWindowEntry& e = t->IrWindowSettings[o];
        if (e.length < 0 || e.length > kMaxIrWindowLength) e.length = kDefaultIrWindowLength;
        if (e.window_type < 0 || e.window_type >= kWindowTypeCount) e.window_type = kDefaultIrWindowType;
    }
    if (GetIrMethod(*t) > 1) SetIrMethod(t, start_up.IrMethod);
}

int ApplyProjectRecord(const ProjectContext& ctx) {
    SystemRecord* r = ctx.record;
    for (int n = 0; n < kPaneCount; ++n) {
        PaneRecord* pane = ctx.panes[n];
        if (!pane) continue;
        if (pane != &r->panes[n]) std::memcpy(static_cast<void*>(pane), &r->panes[n], sizeof(PaneRecord));
        SanitisePaneRecord(pane);
    }
    SanitiseSystemTail(&r->tail);
    const SystemTail& t = r->tail;
    if (MirroredSettings* g = ctx.settings) {
        g->BassMode = t.BassMode;
        g->HV_Buffer_Size = t.HV_Buffer_Size;
    }
    for (float* ir : ctx.output_impulse)
        if (ir) std::memset(ir, 0, kOutputImpulseClearValues * sizeof(float));
    if (MirroredSettings* g = ctx.settings) {
        g->IrMethod = GetIrMethod(t);
        g->OutputMode = t.OutputMode;
        g->InputMode = t.InputMode;
        g->WideWindow = t.WideWindow;
        g->Capture24Bit = t.Capture24Bit;
        g->CaptureDeviceIndex = t.CaptureDeviceIndex;
        g->RenderDeviceIndex = t.RenderDeviceIndex;
        g->DeviceIndex3 = t.DeviceIndex3;
    }
    return 0;
}

int ReadProjectFile(const std::string& path, const ProjectContext& ctx, MessageList* out,
                    const char* wrong_size_text, const char* open_failed_text) {
    const long long size = RawFileSize(path);
    if (size < 0) {
        AddWarning(out, open_failed_text ? std::string(open_failed_text) : path);
        return 0;
    }
    if (static_cast<unsigned long long>(size) != kSystemRecordBytes) {
        AddWarning(out, wrong_size_text);
        return 0;
    }
    // The tail is small and is used in place by its owners, so it is kept aside for a failed read.
    auto saved_tail = std::make_unique<SystemTail>(ctx.record->tail);
    const RawFileStatus st = ReadRawImageInPlace(path, ctx.record, kSystemRecordBytes);
    if (st != RawFileStatus::Ok) {
        if (st == RawFileStatus::ReadFailed) {
            // Some of the file may already lie in the record: put the tail back and rebuild the pane images
            // from the PaneRecords, which the failed read did not reach.
            ctx.record->tail = *saved_tail;
            GatherPaneImages(ctx);
        }
        if (st == RawFileStatus::WrongSize)
            AddWarning(out, wrong_size_text);
        else
            AddWarning(out, open_failed_text && st == RawFileStatus::OpenFailed ? std::string(open_failed_text) : path);
        return 0;
    }
    ApplyProjectRecord(ctx);
    return 1;
}

int WriteProjectFile(const std::string& path, const ProjectContext& ctx, MessageList* out) {
    GatherPaneImages(ctx);
    SystemTail* t = &ctx.record->tail;
    if (ctx.settings) CopyMirroredIntoTail(t, *ctx.settings);
    ZeroReservedTailBytes(t);
    const RawFileStatus st = WriteRawImage(path, ctx.record, kSystemRecordBytes);
    if (st != RawFileStatus::Ok) {
        AddRawFileMessage(out, st, path, kProjectNotRecognized);
        return 0;
    }
    return 1;
}

FilePickerDescription ProjectFilePicker(bool for_save) {
    FilePickerDescription s;
    s.filters = {{"Project Files (*.HIF)", "*.hif"}};
    s.default_extension = "hif";
    s.for_save = for_save;
    if (for_save) {
        s.overwrite_prompt = true;
    } else {
        s.file_must_exist = true;
        s.hide_read_only = true;
    }
    return s;
}
