#pragma once
// In-memory audio endpoints, so the engine's capture and render threads run for real in native tests.
//
// An InMemoryAudioSystem holds endpoints by id and makes streams (AudioStreamFactory) and endpoint
// enumerators. Each endpoint behaves like an exclusive, event-driven device:
//   - its clock is the test: Tick() is one device period (or SetAutoTick lets a thread of the endpoint
//     tick while a stream runs);
//   - a capture tick makes one packet of the buffer size ready and signals the stream's event. The packet
//     is the next one queued with QueueCapturePacket, else the next frames of AppendCaptureBytes (short
//     data is padded with zeros), else silence with kBufferFlagSilent;
//   - a render tick plays what was released (the buffer becomes free again) and signals the event; the
//     bytes released are kept in order for RenderedBytes() (silent releases as zeros);
//   - one initialised stream at a time holds an endpoint: a second one gets AUDCLNT_E_DEVICE_IN_USE;
//   - calls out of order answer as the audio client does (AUDCLNT_E_NOT_INITIALIZED, _OUT_OF_ORDER,
//     _BUFFER_TOO_LARGE, _INVALID_SIZE, _NOT_STOPPED, _EVENTHANDLE_NOT_SET, ...).
// Failures are injected per direction and step. Everything is safe to call from any thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio_stream.h"

// Bytes of a render grant that the engine has not written yet: a real device buffer holds leftovers.
inline constexpr uint8_t kRenderPoisonByte = 0xA5;

class InMemoryAudioSystem;

class InMemoryEndpoint {
public:
    const std::wstring& Id() const { return id_; }
    const std::string& FriendlyName() const { return name_; }
    StreamDirection Direction() const { return direction_; }

    // Device description (set before a stream initialises).
    void SetDevicePeriods(int64_t default_period, int64_t minimum_period);  // 100 ns; default 100000, 30000
    void SetFormatFilter(std::function<bool(const StreamFormat&)> accepts);  // null: the default filter
    void SetBufferFrames(uint32_t frames);  // 0 (default): the frames of the initialised duration
    void SetAutoTick(uint32_t interval_us);  // 0 (default): only Tick() advances the clock
    // Capture packets kept for a stream that has not read them yet; the next one is dropped. Default 8, as a
    // device buffer holds; a test whose reader may be starved for long sets more, so nothing is lost.
    void SetReadyPacketLimit(std::size_t packets);

    // One device period. False (and nothing happens) while no started stream holds the endpoint.
    bool Tick();
    // One capture period that brings `bytes` with it: AppendCaptureBytes and Tick as one step, so that what
    // arrives while no started stream holds the endpoint is lost, as sound is that nobody records (False
    // then), and never waits for the next stream.
    bool TickWithCaptureBytes(const void* data, std::size_t bytes);

    // Capture data, in the order it is to come back.
    void QueueCapturePacket(std::vector<uint8_t> bytes, uint32_t frames, uint32_t flags = 0);
    void AppendCaptureBytes(const void* data, std::size_t bytes);

    // Render read-back.
    std::vector<uint8_t> RenderedBytes() const;
    std::vector<uint8_t> TakeRenderedBytes();  // and clear
    uint64_t RenderedFrames() const;

    // What the stream did, for tests to wait on and check.
    uint64_t Ticks() const;
    uint64_t Releases() const;        // packets (capture) or grants (render) handed back with frames > 0
    uint64_t DroppedPackets() const;  // capture packets lost because the stream did not read in time
    uint64_t RenderUnderflows() const;  // render ticks that found nothing released since the last one
    uint64_t StartCount() const;
    uint64_t StopCount() const;
    bool InUse() const;    // an initialised stream holds the endpoint
    bool Started() const;
    StreamFormat InitializedFormat() const;
    int64_t InitializedDuration() const;
    uint32_t BufferFrames() const;  // F of the initialised stream, 0 before
    bool WaitUntilStarted(uint32_t timeout_ms) const;
    bool WaitUntilReleased(uint64_t releases, uint32_t timeout_ms) const;
    bool WaitUntilIdle(uint32_t timeout_ms) const;  // no stream holds the endpoint

    ~InMemoryEndpoint();
    InMemoryEndpoint(const InMemoryEndpoint&) = delete;
    InMemoryEndpoint& operator=(const InMemoryEndpoint&) = delete;

    struct State;

private:
    friend class InMemoryAudioSystem;
    friend struct InMemoryAccess;
    InMemoryEndpoint(struct InMemoryAudioCore* core, std::wstring id, std::string name, StreamDirection direction);

    InMemoryAudioCore* core_;  // owns this endpoint
    std::wstring id_;
    std::string name_;
    StreamDirection direction_;
    std::unique_ptr<State> state_;
};

class InMemoryAudioSystem : public AudioStreamFactory {
public:
    InMemoryAudioSystem();
    ~InMemoryAudioSystem() override;

    // Adds an endpoint; enumeration lists a direction's endpoints in the order they were added.
    InMemoryEndpoint& AddEndpoint(StreamDirection direction, std::wstring id, std::string friendly_name);
    InMemoryEndpoint* FindEndpoint(const std::wstring& id);

    std::unique_ptr<CaptureStream> NewCaptureStream() override;
    std::unique_ptr<RenderStream> NewRenderStream() override;
    std::unique_ptr<AudioEndpointEnumerator> NewEnumerator();

    // From now on, streams of `direction` get `code` from `step` once `after_successes` calls of it have
    // succeeded. A code of 0 or above is returned in place of S_OK while the step does its work (for
    // example S_FALSE from InitializeCom).
    void InjectFailure(StreamDirection direction, StreamStep step, int32_t code, uint32_t after_successes = 0);
    // Enumerators fail with `code`: at Open when position is -1, else when endpoint `position` is read.
    void InjectEnumerationFailure(int32_t code, int position);
    void ClearFailures();

    // Streams alive (made and not yet destroyed), for leak checks.
    int LiveStreams() const;

private:
    std::shared_ptr<InMemoryAudioCore> core_;
};
