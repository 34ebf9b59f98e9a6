#pragma once
// The system (project) record: the nine pane networks followed by the system-wide settings. A project or
// profile file is its raw image, recognised by its exact size only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "app/file_picker.h"
#include "app/messages.h"
#include "design/network_model.h"

inline constexpr int kLiveKeyFieldCount = 20;
inline constexpr int kLiveKeyFieldChars = 20;
inline constexpr int kIrWindowEntries = 32;
inline constexpr int kIrMethodEntry = 17;          // IrMethod lives in word 0 of this entry; no output uses it
inline constexpr int kOutputCount = 16;
inline constexpr int kEndpointSlots = 100;         // device indices select one of the endpoint name slots
inline constexpr std::size_t kOutputImpulseClearValues = 262144;

inline constexpr const char* kProjectNotRecognized = "This Project File is NOT Recognized";
// The autostart chain's and the panels' profile loads use their own texts.
inline constexpr const char* kProfileNotRecognized = "This Project File Is Not recognized";
inline constexpr const char* kProfileNotFound = "Requested Profile Not Found";

struct IrWindowEntry {
    int32_t length;        // taper length L in samples
    int32_t window_type;   // WindowType 0..9
    uint32_t reserved[6];
};

// The 6,872 bytes after the nine pane images.
struct SystemTail {
    uint8_t reserved_head[5228];
    uint8_t reserved_zero[16];
    uint32_t HV_Sampling;          // 0 = 44100, 1 = 48000, 2 = 96000 Hz
    uint32_t reserved_5248;
    uint32_t SystemConfiguration;  // 0 Stereo .. 6 2.2 BBM
    uint32_t reserved_5256;        // 1 by default
    int32_t VolumePosition;        // dB = position - 51
    int32_t PhaseMode;             // 0 linear phase (bank 0), 1 minimum phase (bank 1)
    uint32_t SplOnlyEq;
    uint32_t BassMode;             // mirrored
    uint32_t reserved_5276;
    uint32_t WideWindow;           // mirrored
    uint32_t InputMode;            // mirrored
    uint32_t OutputMode;           // mirrored
    uint32_t Capture24Bit;         // mirrored
    uint32_t reserved_5296[2];
    uint32_t CaptureDeviceIndex;   // mirrored
    uint32_t reserved_5308[7];     // written as 0
    uint32_t RenderDeviceIndex;    // mirrored
    uint32_t DeviceIndex3;         // mirrored
    uint32_t reserved_5344[6];     // written as 0
    char LiveKeyChannelFields[kLiveKeyFieldCount][kLiveKeyFieldChars];
    uint32_t HV_Buffer_Size;       // mirrored; block-size index 0..3
    uint32_t RenderTiming;
    uint32_t OutputQueue;
    uint32_t CaptureTiming;
    uint32_t reserved_5784[6];
    float BbmGain;
    uint32_t reserved_5812[9];
    IrWindowEntry IrWindowSettings[kIrWindowEntries];
};

struct SystemRecord {
    PaneRecord panes[kPaneCount];
    SystemTail tail;
};

inline constexpr std::size_t kSystemRecordBytes = 303332072;
inline constexpr std::size_t kSystemTailOffset = 303325200;

static_assert(std::is_trivially_copyable_v<SystemRecord> && std::is_standard_layout_v<SystemRecord>);
static_assert(sizeof(IrWindowEntry) == 32);
static_assert(sizeof(SystemTail) == 6872);
static_assert(sizeof(SystemRecord) == kSystemRecordBytes);
static_assert(offsetof(SystemRecord, panes) == 0);
static_assert(offsetof(SystemRecord, tail) == kSystemTailOffset);
#define HV_TAIL_AT(field, offset) static_assert(kSystemTailOffset + offsetof(SystemTail, field) == (offset), #field)
HV_TAIL_AT(reserved_head, 303325200);
HV_TAIL_AT(reserved_zero, 303330428);
HV_TAIL_AT(HV_Sampling, 303330444);
HV_TAIL_AT(reserved_5248, 303330448);
HV_TAIL_AT(SystemConfiguration, 303330452);
HV_TAIL_AT(reserved_5256, 303330456);
HV_TAIL_AT(VolumePosition, 303330460);
HV_TAIL_AT(PhaseMode, 303330464);
HV_TAIL_AT(SplOnlyEq, 303330468);
HV_TAIL_AT(BassMode, 303330472);
HV_TAIL_AT(reserved_5276, 303330476);
HV_TAIL_AT(WideWindow, 303330480);
HV_TAIL_AT(InputMode, 303330484);
HV_TAIL_AT(OutputMode, 303330488);
HV_TAIL_AT(Capture24Bit, 303330492);
HV_TAIL_AT(reserved_5296, 303330496);
HV_TAIL_AT(CaptureDeviceIndex, 303330504);
HV_TAIL_AT(reserved_5308, 303330508);
HV_TAIL_AT(RenderDeviceIndex, 303330536);
HV_TAIL_AT(DeviceIndex3, 303330540);
HV_TAIL_AT(reserved_5344, 303330544);
HV_TAIL_AT(LiveKeyChannelFields, 303330568);
HV_TAIL_AT(HV_Buffer_Size, 303330968);
HV_TAIL_AT(RenderTiming, 303330972);
HV_TAIL_AT(OutputQueue, 303330976);
HV_TAIL_AT(CaptureTiming, 303330980);
HV_TAIL_AT(reserved_5784, 303330984);
HV_TAIL_AT(BbmGain, 303331008);
HV_TAIL_AT(reserved_5812, 303331012);
HV_TAIL_AT(IrWindowSettings, 303331048);
HV_TAIL_AT(IrWindowSettings[kIrMethodEntry], 303331592);
#undef HV_TAIL_AT

// IrMethod (0 "Method 1", 1 "Method 2") shares its word with IrWindowSettings entry 17.
inline uint32_t GetIrMethod(const SystemTail& t) { return static_cast<uint32_t>(t.IrWindowSettings[kIrMethodEntry].length); }
inline void SetIrMethod(SystemTail* t, uint32_t v) { t->IrWindowSettings[kIrMethodEntry].length = static_cast<int32_t>(v); }

// The settings kept in globals of their own and mirrored into the tail: copied into the record on save and
// back on apply. The initialisers are the start-up values.
struct MirroredSettings {
    uint32_t BassMode = 0;           // "Standard"
    uint32_t WideWindow = 1;
    uint32_t InputMode = 0;          // "Inputs 1-2"
    uint32_t OutputMode = 1;         // "16 Outputs"
    uint32_t Capture24Bit = 1;       // "24 Bit MLS"
    uint32_t CaptureDeviceIndex = 0;
    uint32_t RenderDeviceIndex = 0;
    uint32_t DeviceIndex3 = 0;
    uint32_t HV_Buffer_Size = 1;     // 1024 frames
    uint32_t IrMethod = 0;
};

// Everything a project file is read into or gathered from. The allocator owns the blocks; null entries of
// `panes` or `output_impulse` are skipped (tests use that to keep memory down).
struct ProjectContext {
    SystemRecord* record = nullptr;                 // pr_file
    PaneRecord* panes[kPaneCount] = {};             // PaneRecord 1..9
    MirroredSettings* settings = nullptr;           // the mirrored globals
    float* output_impulse[kOutputCount] = {};       // OutputImpulseResponse, 532,480 values each
};

// Writes the tail defaults (the pane images are left alone). Mirrored fields take the given globals' values.
// Reserved bytes are written as zero, apart from the word at 303,330,456, whose default is 1. IrMethod is
// written after IrWindowSettings, whose entry 17 shares its word.
int SetSystemRecordDefaults(SystemRecord* record, const MirroredSettings& globals);

// Brings every tail field that a file may have spoiled into range: enumerations and indices outside their
// range take their defaults, a BbmGain below 0.1 or not finite becomes 0.5, a live-key field without a NUL
// is cut at its last byte, window lengths and types of outputs 1..16 outside their range become {256, 6}.
void SanitiseSystemTail(SystemTail* tail);

// Copies pane image n into PaneRecord n (then sanitises it: counts, nodes, texts, non-finite parameters),
// sanitises the tail, copies the mirrored fields into `settings`, and clears the first 262,144 values of
// every OutputImpulseResponse array. Does not touch the WorkingNetwork.
int ApplyProjectRecord(const ProjectContext& ctx);

// Reads a project file into the record and applies it. Returns 1 when read and applied, 0 otherwise with the
// message in `out`: the path itself when the file cannot be opened or read, kProjectNotRecognized for any
// other size. A refused file changes nothing. The file is read straight into the record (no second 290 MB
// block): the size is checked first, so a wrong-size file never touches memory; should the read itself fail
// part-way, the tail is put back from a copy taken before the read and the pane images are gathered again
// from the PaneRecords, so the record is as a save would leave it and nothing in use has changed.
// The profile loads pass kProfileNotRecognized and, where they have one, their own open-failure text
// (kProfileNotFound); a null `open_failed_text` reports the path.
int ReadProjectFile(const std::string& path, const ProjectContext& ctx, MessageList* out,
                    const char* wrong_size_text = kProjectNotRecognized, const char* open_failed_text = nullptr);

// Gathers the PaneRecords and the mirrored settings into the record, zeroes the reserved tail bytes and
// writes the whole image through a temporary file. Returns 1 when written; 0 with the path as the message
// when it could not be created, written or put in place (the previous file is then left as it was).
int WriteProjectFile(const std::string& path, const ProjectContext& ctx, MessageList* out);

// The open and save pickers' description ("Project Files (*.HIF)", default extension "hif").
FilePickerDescription ProjectFilePicker(bool for_save);
