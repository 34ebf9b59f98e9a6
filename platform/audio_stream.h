#pragma once
// Capture and render streams of an exclusive, event-driven audio endpoint, one call per set-up step so the
// engine can write a status line after each. Every step returns an HRESULT-style code: negative is a
// failure, 0 (HR_S_OK) success, other positive values success with a remark (HR_S_FALSE,
// HR_AUDCLNT_S_BUFFER_EMPTY). The codes are the Windows SDK values, spelt out here so that portable code
// needs no Windows header; HresultName gives the SDK name a status line prints.
//
// Implementations: platform/win32/wasapi_streams.h (WASAPI) and platform/in_memory_audio.h (tests).
#include <cstdint>
#include <memory>
#include <string>

#include "platform/threads.h"

// Success codes.
inline constexpr int32_t HR_S_OK = 0;
inline constexpr int32_t HR_S_FALSE = 1;
inline constexpr int32_t HR_AUDCLNT_S_BUFFER_EMPTY = 0x08890001;
inline constexpr int32_t HR_AUDCLNT_S_THREAD_ALREADY_REGISTERED = 0x08890002;
inline constexpr int32_t HR_AUDCLNT_S_POSITION_STALLED = 0x08890003;

constexpr int32_t HresultFromBits(uint32_t bits) { return static_cast<int32_t>(bits); }

// General COM failures.
inline constexpr int32_t HR_E_NOTIMPL = HresultFromBits(0x80004001u);
inline constexpr int32_t HR_E_NOINTERFACE = HresultFromBits(0x80004002u);
inline constexpr int32_t HR_E_POINTER = HresultFromBits(0x80004003u);
inline constexpr int32_t HR_E_ABORT = HresultFromBits(0x80004004u);
inline constexpr int32_t HR_E_FAIL = HresultFromBits(0x80004005u);
inline constexpr int32_t HR_E_UNEXPECTED = HresultFromBits(0x8000FFFFu);
inline constexpr int32_t HR_E_ACCESSDENIED = HresultFromBits(0x80070005u);
inline constexpr int32_t HR_E_HANDLE = HresultFromBits(0x80070006u);
inline constexpr int32_t HR_E_OUTOFMEMORY = HresultFromBits(0x8007000Eu);
inline constexpr int32_t HR_E_INVALIDARG = HresultFromBits(0x80070057u);
inline constexpr int32_t HR_E_NOTFOUND = HresultFromBits(0x80070490u);  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
inline constexpr int32_t HR_RPC_E_CHANGED_MODE = HresultFromBits(0x80010106u);
inline constexpr int32_t HR_CO_E_NOTINITIALIZED = HresultFromBits(0x800401F0u);
inline constexpr int32_t HR_REGDB_E_CLASSNOTREG = HresultFromBits(0x80040154u);
inline constexpr int32_t HR_CLASS_E_NOAGGREGATION = HresultFromBits(0x80040110u);

// Audio client failures: severity error, facility 0x889.
constexpr int32_t AudioClientError(uint32_t n) { return HresultFromBits(0x88890000u | n); }
inline constexpr int32_t HR_AUDCLNT_E_NOT_INITIALIZED = AudioClientError(0x001);
inline constexpr int32_t HR_AUDCLNT_E_ALREADY_INITIALIZED = AudioClientError(0x002);
inline constexpr int32_t HR_AUDCLNT_E_WRONG_ENDPOINT_TYPE = AudioClientError(0x003);
inline constexpr int32_t HR_AUDCLNT_E_DEVICE_INVALIDATED = AudioClientError(0x004);
inline constexpr int32_t HR_AUDCLNT_E_NOT_STOPPED = AudioClientError(0x005);
inline constexpr int32_t HR_AUDCLNT_E_BUFFER_TOO_LARGE = AudioClientError(0x006);
inline constexpr int32_t HR_AUDCLNT_E_OUT_OF_ORDER = AudioClientError(0x007);
inline constexpr int32_t HR_AUDCLNT_E_UNSUPPORTED_FORMAT = AudioClientError(0x008);
inline constexpr int32_t HR_AUDCLNT_E_INVALID_SIZE = AudioClientError(0x009);
inline constexpr int32_t HR_AUDCLNT_E_DEVICE_IN_USE = AudioClientError(0x00A);
inline constexpr int32_t HR_AUDCLNT_E_BUFFER_OPERATION_PENDING = AudioClientError(0x00B);
inline constexpr int32_t HR_AUDCLNT_E_THREAD_NOT_REGISTERED = AudioClientError(0x00C);
inline constexpr int32_t HR_AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED = AudioClientError(0x00E);
inline constexpr int32_t HR_AUDCLNT_E_ENDPOINT_CREATE_FAILED = AudioClientError(0x00F);
inline constexpr int32_t HR_AUDCLNT_E_SERVICE_NOT_RUNNING = AudioClientError(0x010);
inline constexpr int32_t HR_AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED = AudioClientError(0x011);
inline constexpr int32_t HR_AUDCLNT_E_EXCLUSIVE_MODE_ONLY = AudioClientError(0x012);
inline constexpr int32_t HR_AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL = AudioClientError(0x013);
inline constexpr int32_t HR_AUDCLNT_E_EVENTHANDLE_NOT_SET = AudioClientError(0x014);
inline constexpr int32_t HR_AUDCLNT_E_INCORRECT_BUFFER_SIZE = AudioClientError(0x015);
inline constexpr int32_t HR_AUDCLNT_E_BUFFER_SIZE_ERROR = AudioClientError(0x016);
inline constexpr int32_t HR_AUDCLNT_E_CPUUSAGE_EXCEEDED = AudioClientError(0x017);
inline constexpr int32_t HR_AUDCLNT_E_BUFFER_ERROR = AudioClientError(0x018);
inline constexpr int32_t HR_AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED = AudioClientError(0x019);
inline constexpr int32_t HR_AUDCLNT_E_INVALID_DEVICE_PERIOD = AudioClientError(0x020);
inline constexpr int32_t HR_AUDCLNT_E_INVALID_STREAM_FLAG = AudioClientError(0x021);
inline constexpr int32_t HR_AUDCLNT_E_ENDPOINT_OFFLOAD_NOT_CAPABLE = AudioClientError(0x022);
inline constexpr int32_t HR_AUDCLNT_E_OUT_OF_OFFLOAD_RESOURCES = AudioClientError(0x023);
inline constexpr int32_t HR_AUDCLNT_E_OFFLOAD_MODE_ONLY = AudioClientError(0x024);
inline constexpr int32_t HR_AUDCLNT_E_NONOFFLOAD_MODE_ONLY = AudioClientError(0x025);
inline constexpr int32_t HR_AUDCLNT_E_RESOURCES_INVALIDATED = AudioClientError(0x026);
inline constexpr int32_t HR_AUDCLNT_E_RAW_MODE_UNSUPPORTED = AudioClientError(0x027);
inline constexpr int32_t HR_AUDCLNT_E_ENGINE_PERIODICITY_LOCKED = AudioClientError(0x028);
inline constexpr int32_t HR_AUDCLNT_E_ENGINE_FORMAT_LOCKED = AudioClientError(0x029);
inline constexpr int32_t HR_AUDCLNT_E_HEADTRACKING_ENABLED = AudioClientError(0x030);
inline constexpr int32_t HR_AUDCLNT_E_HEADTRACKING_UNSUPPORTED = AudioClientError(0x040);

constexpr bool HrFailed(int32_t code) { return code < 0; }
constexpr bool HrSucceeded(int32_t code) { return code >= 0; }

// The SDK name of a code ("AUDCLNT_E_DEVICE_IN_USE", "E_POINTER", "S_FALSE", ...), or nullptr for a code
// not in the table above.
const char* HresultName(int32_t code);
// The SDK name, or "0x%08X" for a code without one: what a status line prints after a step's label.
std::string HresultText(int32_t code);

// Packet flags of a capture buffer (and the silent flag of a render release).
inline constexpr uint32_t kBufferFlagDataDiscontinuity = 0x1;
inline constexpr uint32_t kBufferFlagSilent = 0x2;
inline constexpr uint32_t kBufferFlagTimestampError = 0x4;

// The PCM stream format: what an extensible wave format says (tag 0xFFFE, cbSize 22, PCM sub-format are
// implied). Sample containers are bits_per_sample wide; valid_bits_per_sample of them carry the value.
struct StreamFormat {
    uint16_t channels = 2;
    uint32_t samples_per_second = 48000;
    uint16_t bits_per_sample = 32;
    uint16_t valid_bits_per_sample = 24;
    uint32_t channel_mask = 0x3;

    uint32_t BlockAlign() const { return static_cast<uint32_t>(channels) * bits_per_sample / 8; }
    uint32_t AverageBytesPerSecond() const { return BlockAlign() * samples_per_second; }
    bool operator==(const StreamFormat&) const = default;
};

enum class StreamDirection { Capture, Render };

// Durations are in 100-ns units, as the audio client counts them.
inline constexpr int64_t kHundredNsPerSecond = 10'000'000;

// The set-up steps of a stream, in the order the engine takes them. Also the keys of the in-memory
// implementation's injected failures.
enum class StreamStep {
    InitializeCom,      // CoInitializeEx, apartment-threaded: S_OK, S_FALSE or RPC_E_CHANGED_MODE
    CreateEnumerator,   // CoCreateInstance of the device enumerator
    OpenDevice,         // GetDevice by the endpoint's id string
    Activate,           // Activate the audio client
    GetDevicePeriod,
    IsFormatSupported,  // exclusive share mode
    Initialize,         // exclusive, event callback, buffer duration = periodicity
    MakeEvent,          // the stream's own period event; E_FAIL when it cannot be made
    SetEventHandle,
    GetBufferSize,
    GetService,         // the capture or render client
    Start,
    Stop,
    GetBuffer,
    ReleaseBuffer,
};
inline constexpr int kStreamStepCount = static_cast<int>(StreamStep::ReleaseBuffer) + 1;
const char* StreamStepName(StreamStep step);

// One stream of one endpoint, used by one thread. Objects are obtained step by step; a step whose object
// is missing (an earlier step failed or was skipped) returns HR_E_POINTER without calling anything.
// Close() (also run by the destructor) releases the event, the enumerator, the device, the client and the
// service, then undoes InitializeCom; call it on the thread that called InitializeCom.
class AudioStream {
public:
    virtual ~AudioStream() = default;
    virtual StreamDirection Direction() const = 0;

    virtual int32_t InitializeCom() = 0;
    virtual int32_t CreateEnumerator() = 0;
    // Opens the endpoint with exactly this id. A null or empty id gives HR_E_POINTER.
    virtual int32_t OpenDevice(const wchar_t* endpoint_id) = 0;
    virtual int32_t Activate() = 0;
    // Default and minimum device period in 100 ns; either pointer may be null, not both.
    virtual int32_t GetDevicePeriod(int64_t* default_period, int64_t* minimum_period) = 0;
    virtual int32_t IsFormatSupported(const StreamFormat& format) = 0;
    // Exclusive share mode, event-driven, buffer duration and periodicity both `duration` (100 ns).
    virtual int32_t Initialize(int64_t duration, const StreamFormat& format) = 0;
    virtual int32_t CreatePeriodEvent() = 0;
    virtual int32_t SetEventHandle() = 0;
    virtual int32_t GetBufferSize(uint32_t* frames) = 0;
    virtual int32_t GetService() = 0;
    virtual int32_t Start() = 0;
    virtual int32_t Stop() = 0;
    // Waits for the stream's period event. Failed when there is no event.
    virtual WaitResult WaitForPeriod(uint32_t timeout_ms) = 0;
    virtual void Close() = 0;
};

class CaptureStream : public AudioStream {
public:
    StreamDirection Direction() const override { return StreamDirection::Capture; }
    // The next packet: its data, its frame count and its flags (kBufferFlag...). With no packet waiting:
    // HR_AUDCLNT_S_BUFFER_EMPTY, 0 frames, null data.
    virtual int32_t GetBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) = 0;
    // Hands the packet back; `frames` is the count GetBuffer reported (or 0 to keep it for later).
    virtual int32_t ReleaseBuffer(uint32_t frames) = 0;
};

class RenderStream : public AudioStream {
public:
    StreamDirection Direction() const override { return StreamDirection::Render; }
    // Room for `frames` frames of the format; never write past frames x BlockAlign bytes.
    virtual int32_t GetBuffer(uint32_t frames, uint8_t** data) = 0;
    // Hands `frames` (at most the count granted) to the device; kBufferFlagSilent plays silence instead.
    virtual int32_t ReleaseBuffer(uint32_t frames, uint32_t flags) = 0;
};

// Makes streams: the WASAPI factory in the program, the in-memory one in tests.
class AudioStreamFactory {
public:
    virtual ~AudioStreamFactory() = default;
    virtual std::unique_ptr<CaptureStream> NewCaptureStream() = 0;
    virtual std::unique_ptr<RenderStream> NewRenderStream() = 0;
};

// Walks the active endpoints of one direction, in the platform's order: Open reads the count, Endpoint
// reads position i (its id string and friendly name as 8-bit text in the system's code page), Close
// releases what Open obtained. Codes as for the streams.
class AudioEndpointEnumerator {
public:
    virtual ~AudioEndpointEnumerator() = default;
    virtual int32_t Open(StreamDirection direction, uint32_t* count) = 0;
    virtual int32_t Endpoint(uint32_t position, std::wstring* id, std::string* friendly_name) = 0;
    virtual void Close() = 0;
};

// The buffer duration the engine asks for: `frames` at `rate` in 100-ns units, rounded up.
int64_t FramesToDuration(uint32_t frames, uint32_t rate);
// The frames a duration holds at a rate, rounded to the nearest frame (how a device sizes its buffer).
uint32_t DurationToFrames(int64_t duration, uint32_t rate);
