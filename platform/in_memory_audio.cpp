// In-memory endpoints and streams. One mutex per system guards every endpoint and stream; the stream
// threads, the test and the endpoints' tick threads all take it briefly. Nothing here is on a real audio
// path, so the simple lock is the right tool.
#include "platform/in_memory_audio.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

struct Packet {
    std::vector<uint8_t> bytes;
    uint32_t frames = 0;
    uint32_t flags = 0;
};

struct Injection {
    bool armed = false;
    int32_t code = 0;
    uint32_t successes_left = 0;
};

// A capture stream that does not read in time loses packets beyond this many, unless the test sets another
// limit for the endpoint.
constexpr std::size_t kMaxReadyPackets = 8;

bool DefaultFormatFilter(const StreamFormat& f) {
    const bool container = f.bits_per_sample == 16 || f.bits_per_sample == 24 || f.bits_per_sample == 32;
    return f.channels >= 1 && f.channels <= 32 && container && f.valid_bits_per_sample >= 8 &&
           f.valid_bits_per_sample <= f.bits_per_sample && f.samples_per_second >= 8000 &&
           f.samples_per_second <= 384000;
}

}  // namespace

struct InMemoryEndpoint::State {
    // The device.
    int64_t default_period = 100000;
    int64_t minimum_period = 30000;
    std::function<bool(const StreamFormat&)> accepts;
    uint32_t buffer_frames_override = 0;
    uint32_t auto_tick_us = 0;
    std::size_t ready_limit = kMaxReadyPackets;

    // The initialised stream that holds the device.
    const void* holder = nullptr;
    StreamFormat format;
    int64_t duration = 0;
    uint32_t buffer_frames = 0;
    AutoResetEvent* event = nullptr;
    bool started = false;

    // Capture.
    std::deque<Packet> queued;
    std::vector<uint8_t> continuous;
    std::size_t continuous_read = 0;
    std::deque<Packet> ready;
    bool packet_held = false;
    bool discontinuity_pending = false;

    // Render.
    std::vector<uint8_t> scratch;
    uint32_t granted = 0;
    bool grant_held = false;
    uint32_t padding = 0;  // frames released and not yet played
    bool released_since_tick = false;
    std::vector<uint8_t> rendered;
    uint64_t rendered_frames = 0;

    uint64_t ticks = 0, releases = 0, dropped = 0, underflows = 0, starts = 0, stops = 0;

    // The endpoint's own clock, while a started stream holds it and auto-ticking is on.
    std::thread ticker;
    std::shared_ptr<bool> ticker_stop;  // each tick thread has its own flag
};

struct InMemoryAudioCore {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::unique_ptr<InMemoryEndpoint>> endpoints;
    Injection injections[2][kStreamStepCount];
    int32_t enumeration_code = 0;
    int enumeration_position = -2;  // -2: no failure injected
    int live_streams = 0;

    InMemoryEndpoint* Find(const std::wstring& id) {
        for (auto& e : endpoints) {
            if (e->Id() == id) return e.get();
        }
        return nullptr;
    }

    // True when the step is to answer `*code` (a failure, or a success code in place of S_OK).
    bool Injected(StreamDirection direction, StreamStep step, int32_t* code) {
        Injection& injection = injections[direction == StreamDirection::Capture ? 0 : 1][static_cast<int>(step)];
        if (!injection.armed) return false;
        if (injection.successes_left > 0) {
            --injection.successes_left;
            return false;
        }
        *code = injection.code;
        return true;
    }
};

// Reaches the endpoints' insides for the streams below.
struct InMemoryAccess {
    static InMemoryEndpoint::State& StateOf(InMemoryEndpoint& e) { return *e.state_; }
    static const InMemoryEndpoint::State& StateOf(const InMemoryEndpoint& e) { return *e.state_; }
    static InMemoryAudioCore& CoreOf(const InMemoryEndpoint& e) { return *e.core_; }

    // One period of the device clock; the caller holds the core's mutex.
    static bool TickLocked(InMemoryEndpoint& endpoint) {
        InMemoryEndpoint::State& s = *endpoint.state_;
        if (!s.holder || !s.started) return false;
        ++s.ticks;
        if (endpoint.Direction() == StreamDirection::Capture) {
            MakeCapturePacket(s);
        } else {
            if (!s.released_since_tick) ++s.underflows;
            s.released_since_tick = false;
            s.padding = 0;  // the device has played what it held
        }
        if (s.event) s.event->Set();
        endpoint.core_->changed.notify_all();
        return true;
    }

    static void MakeCapturePacket(InMemoryEndpoint::State& s) {
        const uint32_t align = s.format.BlockAlign();
        Packet packet;
        if (!s.queued.empty()) {
            packet = std::move(s.queued.front());
            s.queued.pop_front();
            packet.bytes.resize(static_cast<std::size_t>(packet.frames) * align, 0);
        } else {
            packet.frames = s.buffer_frames;
            packet.bytes.assign(static_cast<std::size_t>(packet.frames) * align, 0);
            const std::size_t available = s.continuous.size() - s.continuous_read;
            if (available == 0) {
                packet.flags = kBufferFlagSilent;
            } else {
                const std::size_t take = std::min(available, packet.bytes.size());
                std::memcpy(packet.bytes.data(), s.continuous.data() + s.continuous_read, take);
                s.continuous_read += take;
                if (s.continuous_read == s.continuous.size()) {
                    s.continuous.clear();
                    s.continuous_read = 0;
                }
            }
        }
        if (s.ready.size() >= s.ready_limit) {
            ++s.dropped;  // the stream did not keep up: this period is lost
            s.discontinuity_pending = true;
            return;
        }
        if (s.discontinuity_pending) {
            packet.flags |= kBufferFlagDataDiscontinuity;
            s.discontinuity_pending = false;
        }
        s.ready.push_back(std::move(packet));
    }

    // Ends the endpoint's tick thread; the caller holds `lock` on the core's mutex and gets it back.
    static void StopTicker(InMemoryEndpoint& endpoint, std::unique_lock<std::mutex>& lock) {
        InMemoryEndpoint::State& s = *endpoint.state_;
        if (!s.ticker.joinable()) return;
        *s.ticker_stop = true;
        std::thread ticker = std::move(s.ticker);
        endpoint.core_->changed.notify_all();
        lock.unlock();
        ticker.join();
        lock.lock();
    }

    static void StartTicker(InMemoryEndpoint& endpoint) {
        InMemoryEndpoint::State& s = *endpoint.state_;
        if (s.auto_tick_us == 0 || s.ticker.joinable()) return;
        auto stop = std::make_shared<bool>(false);
        s.ticker_stop = stop;
        InMemoryAudioCore* core = endpoint.core_;
        const auto interval = std::chrono::microseconds(s.auto_tick_us);
        s.ticker = std::thread([core, &endpoint, stop, interval] {
            std::unique_lock<std::mutex> lock(core->mutex);
            auto next = std::chrono::steady_clock::now() + interval;
            while (!*stop) {
                if (core->changed.wait_until(lock, next, [&stop] { return *stop; })) break;
                TickLocked(endpoint);
                next += interval;
            }
        });
    }
};

InMemoryEndpoint::InMemoryEndpoint(InMemoryAudioCore* core, std::wstring id, std::string name,
                                   StreamDirection direction)
    : core_(core), id_(std::move(id)), name_(std::move(name)), direction_(direction),
      state_(std::make_unique<State>()) {}

InMemoryEndpoint::~InMemoryEndpoint() {
    if (state_->ticker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            *state_->ticker_stop = true;
        }
        core_->changed.notify_all();
        state_->ticker.join();
    }
}

void InMemoryEndpoint::SetDevicePeriods(int64_t default_period, int64_t minimum_period) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->default_period = default_period;
    state_->minimum_period = minimum_period;
}

void InMemoryEndpoint::SetFormatFilter(std::function<bool(const StreamFormat&)> accepts) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->accepts = std::move(accepts);
}

void InMemoryEndpoint::SetBufferFrames(uint32_t frames) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->buffer_frames_override = frames;
}

void InMemoryEndpoint::SetReadyPacketLimit(std::size_t packets) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->ready_limit = packets;
}

void InMemoryEndpoint::SetAutoTick(uint32_t interval_us) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->auto_tick_us = interval_us;
}

bool InMemoryEndpoint::Tick() {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return InMemoryAccess::TickLocked(*this);
}

bool InMemoryEndpoint::TickWithCaptureBytes(const void* data, std::size_t bytes) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    if (!state_->holder || !state_->started) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    state_->continuous.insert(state_->continuous.end(), p, p + bytes);
    return InMemoryAccess::TickLocked(*this);
}

void InMemoryEndpoint::QueueCapturePacket(std::vector<uint8_t> bytes, uint32_t frames, uint32_t flags) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    state_->queued.push_back(Packet{std::move(bytes), frames, flags});
}

void InMemoryEndpoint::AppendCaptureBytes(const void* data, std::size_t bytes) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    const auto* p = static_cast<const uint8_t*>(data);
    state_->continuous.insert(state_->continuous.end(), p, p + bytes);
}

std::vector<uint8_t> InMemoryEndpoint::RenderedBytes() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return state_->rendered;
}

std::vector<uint8_t> InMemoryEndpoint::TakeRenderedBytes() {
    std::lock_guard<std::mutex> lock(core_->mutex);
    std::vector<uint8_t> taken;
    taken.swap(state_->rendered);
    return taken;
}

uint64_t InMemoryEndpoint::RenderedFrames() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return state_->rendered_frames;
}

#define HV_LOCKED_GETTER(type, name, expr)                  \
    type InMemoryEndpoint::name() const {                   \
        std::lock_guard<std::mutex> lock(core_->mutex);     \
        return expr;                                        \
    }
HV_LOCKED_GETTER(uint64_t, Ticks, state_->ticks)
HV_LOCKED_GETTER(uint64_t, Releases, state_->releases)
HV_LOCKED_GETTER(uint64_t, DroppedPackets, state_->dropped)
HV_LOCKED_GETTER(uint64_t, RenderUnderflows, state_->underflows)
HV_LOCKED_GETTER(uint64_t, StartCount, state_->starts)
HV_LOCKED_GETTER(uint64_t, StopCount, state_->stops)
HV_LOCKED_GETTER(bool, InUse, state_->holder != nullptr)
HV_LOCKED_GETTER(bool, Started, state_->started)
HV_LOCKED_GETTER(StreamFormat, InitializedFormat, state_->format)
HV_LOCKED_GETTER(int64_t, InitializedDuration, state_->duration)
HV_LOCKED_GETTER(uint32_t, BufferFrames, state_->buffer_frames)
#undef HV_LOCKED_GETTER

bool InMemoryEndpoint::WaitUntilStarted(uint32_t timeout_ms) const {
    std::unique_lock<std::mutex> lock(core_->mutex);
    return core_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return state_->started; });
}

bool InMemoryEndpoint::WaitUntilReleased(uint64_t releases, uint32_t timeout_ms) const {
    std::unique_lock<std::mutex> lock(core_->mutex);
    return core_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [this, releases] { return state_->releases >= releases; });
}

bool InMemoryEndpoint::WaitUntilIdle(uint32_t timeout_ms) const {
    std::unique_lock<std::mutex> lock(core_->mutex);
    return core_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [this] { return state_->holder == nullptr; });
}

namespace {

// The steps every stream shares. `Interface` is CaptureStream or RenderStream.
template <class Interface>
class InMemoryStream : public Interface {
public:
    explicit InMemoryStream(std::shared_ptr<InMemoryAudioCore> core) : core_(std::move(core)) {
        std::lock_guard<std::mutex> lock(core_->mutex);
        ++core_->live_streams;
    }
    ~InMemoryStream() override {
        InMemoryStream::Close();
        std::lock_guard<std::mutex> lock(core_->mutex);
        --core_->live_streams;
    }

    int32_t InitializeCom() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (Injected(StreamStep::InitializeCom, &code) && HrFailed(code)) return code;
        com_ = true;
        return code;
    }

    int32_t CreateEnumerator() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!com_) return HR_CO_E_NOTINITIALIZED;
        if (Injected(StreamStep::CreateEnumerator, &code) && HrFailed(code)) return code;
        enumerator_ = true;
        return code;
    }

    int32_t OpenDevice(const wchar_t* endpoint_id) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!enumerator_) return HR_E_POINTER;
        if (Injected(StreamStep::OpenDevice, &code) && HrFailed(code)) return code;
        if (!endpoint_id || !*endpoint_id) return HR_E_POINTER;
        InMemoryEndpoint* endpoint = core_->Find(endpoint_id);
        if (!endpoint) return HR_E_NOTFOUND;
        endpoint_ = endpoint;
        return code;
    }

    int32_t Activate() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!endpoint_) return HR_E_POINTER;
        if (Injected(StreamStep::Activate, &code) && HrFailed(code)) return code;
        client_ = true;
        return code;
    }

    int32_t GetDevicePeriod(int64_t* default_period, int64_t* minimum_period) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (!default_period && !minimum_period) return HR_E_POINTER;
        if (Injected(StreamStep::GetDevicePeriod, &code) && HrFailed(code)) return code;
        const InMemoryEndpoint::State& s = State();
        if (default_period) *default_period = s.default_period;
        if (minimum_period) *minimum_period = s.minimum_period;
        return code;
    }

    int32_t IsFormatSupported(const StreamFormat& format) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::IsFormatSupported, &code) && HrFailed(code)) return code;
        return Accepts(format) ? code : HR_AUDCLNT_E_UNSUPPORTED_FORMAT;
    }

    int32_t Initialize(int64_t duration, const StreamFormat& format) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::Initialize, &code) && HrFailed(code)) return code;
        if (initialized_) return HR_AUDCLNT_E_ALREADY_INITIALIZED;
        InMemoryEndpoint::State& s = State();
        if (s.holder) return HR_AUDCLNT_E_DEVICE_IN_USE;
        if (!Accepts(format)) return HR_AUDCLNT_E_UNSUPPORTED_FORMAT;
        if (duration < s.minimum_period) return HR_AUDCLNT_E_INVALID_DEVICE_PERIOD;
        s.holder = this;
        s.format = format;
        s.duration = duration;
        s.buffer_frames = s.buffer_frames_override ? s.buffer_frames_override
                                                   : DurationToFrames(duration, format.samples_per_second);
        s.event = nullptr;
        s.started = false;
        s.ready.clear();
        s.packet_held = false;
        s.discontinuity_pending = false;
        s.scratch.assign(static_cast<std::size_t>(s.buffer_frames) * format.BlockAlign(), 0);
        s.grant_held = false;
        s.padding = 0;
        s.released_since_tick = true;
        initialized_ = true;
        return code;
    }

    int32_t CreatePeriodEvent() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (Injected(StreamStep::MakeEvent, &code) && HrFailed(code)) return HR_E_FAIL;
        if (!event_) event_ = PortableThreadPlatform().MakeEvent();
        return event_ ? code : HR_E_FAIL;
    }

    int32_t SetEventHandle() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::SetEventHandle, &code) && HrFailed(code)) return code;
        if (!initialized_) return HR_AUDCLNT_E_NOT_INITIALIZED;
        if (!event_) return HR_E_INVALIDARG;
        State().event = event_.get();
        return code;
    }

    int32_t GetBufferSize(uint32_t* frames) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_ || !frames) return HR_E_POINTER;
        if (Injected(StreamStep::GetBufferSize, &code) && HrFailed(code)) return code;
        if (!initialized_) return HR_AUDCLNT_E_NOT_INITIALIZED;
        *frames = State().buffer_frames;
        return code;
    }

    int32_t GetService() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::GetService, &code) && HrFailed(code)) return code;
        if (!initialized_) return HR_AUDCLNT_E_NOT_INITIALIZED;
        if (endpoint_->Direction() != this->Direction()) return HR_AUDCLNT_E_WRONG_ENDPOINT_TYPE;
        service_ = true;
        return code;
    }

    int32_t Start() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::Start, &code) && HrFailed(code)) return code;
        if (!initialized_) return HR_AUDCLNT_E_NOT_INITIALIZED;
        InMemoryEndpoint::State& s = State();
        if (!s.event) return HR_AUDCLNT_E_EVENTHANDLE_NOT_SET;
        if (s.started) return HR_AUDCLNT_E_NOT_STOPPED;
        s.started = true;
        ++s.starts;
        InMemoryAccess::StartTicker(*endpoint_);
        core_->changed.notify_all();
        return code;
    }

    int32_t Stop() override {
        std::unique_lock<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!client_) return HR_E_POINTER;
        if (Injected(StreamStep::Stop, &code) && HrFailed(code)) return code;
        if (!initialized_) return HR_AUDCLNT_E_NOT_INITIALIZED;
        InMemoryEndpoint::State& s = State();
        if (!s.started) return HR_S_FALSE;
        s.started = false;
        ++s.stops;
        InMemoryAccess::StopTicker(*endpoint_, lock);
        core_->changed.notify_all();
        return code;
    }

    WaitResult WaitForPeriod(uint32_t timeout_ms) override {
        AutoResetEvent* event = nullptr;
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            event = event_.get();
        }
        // Only this stream's thread closes the event, so it outlives the wait.
        return event ? event->Wait(timeout_ms) : WaitResult::Failed;
    }

    void Close() override {
        std::unique_lock<std::mutex> lock(core_->mutex);
        if (initialized_) {
            InMemoryEndpoint::State& s = State();
            if (s.holder == this) {
                if (s.started) {
                    s.started = false;  // released while running, as the audio client allows
                }
                InMemoryAccess::StopTicker(*endpoint_, lock);
                s.holder = nullptr;
                s.event = nullptr;
                s.ready.clear();
                s.packet_held = false;
                s.grant_held = false;
                s.buffer_frames = 0;
            }
        }
        event_.reset();
        initialized_ = service_ = client_ = enumerator_ = com_ = false;
        endpoint_ = nullptr;
        core_->changed.notify_all();
    }

protected:
    bool Injected(StreamStep step, int32_t* code) { return core_->Injected(this->Direction(), step, code); }
    InMemoryEndpoint::State& State() { return InMemoryAccess::StateOf(*endpoint_); }
    bool Accepts(const StreamFormat& format) {
        const InMemoryEndpoint::State& s = State();
        return s.accepts ? s.accepts(format) : DefaultFormatFilter(format);
    }

    std::shared_ptr<InMemoryAudioCore> core_;
    InMemoryEndpoint* endpoint_ = nullptr;
    std::unique_ptr<AutoResetEvent> event_;
    bool com_ = false, enumerator_ = false, client_ = false, initialized_ = false, service_ = false;
};

class InMemoryCaptureStream final : public InMemoryStream<CaptureStream> {
public:
    using InMemoryStream::InMemoryStream;

    int32_t GetBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!service_ || !data || !frames || !flags) return HR_E_POINTER;
        if (Injected(StreamStep::GetBuffer, &code) && HrFailed(code)) return code;
        InMemoryEndpoint::State& s = State();
        if (s.packet_held) return HR_AUDCLNT_E_OUT_OF_ORDER;
        if (s.ready.empty()) {
            *data = nullptr;
            *frames = 0;
            *flags = 0;
            return HR_AUDCLNT_S_BUFFER_EMPTY;
        }
        // The deque keeps its front element in place while later packets are added.
        const Packet& packet = s.ready.front();
        *data = packet.bytes.data();
        *frames = packet.frames;
        *flags = packet.flags;
        s.packet_held = true;
        return code;
    }

    int32_t ReleaseBuffer(uint32_t frames) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!service_) return HR_E_POINTER;
        if (Injected(StreamStep::ReleaseBuffer, &code) && HrFailed(code)) return code;
        InMemoryEndpoint::State& s = State();
        if (!s.packet_held) return frames == 0 ? code : HR_AUDCLNT_E_OUT_OF_ORDER;
        if (frames != 0 && frames != s.ready.front().frames) return HR_AUDCLNT_E_INVALID_SIZE;
        s.packet_held = false;
        if (frames != 0) {
            s.ready.pop_front();
            ++s.releases;
            core_->changed.notify_all();
        }
        return code;
    }
};

class InMemoryRenderStream final : public InMemoryStream<RenderStream> {
public:
    using InMemoryStream::InMemoryStream;

    int32_t GetBuffer(uint32_t frames, uint8_t** data) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!service_ || !data) return HR_E_POINTER;
        if (Injected(StreamStep::GetBuffer, &code) && HrFailed(code)) return code;
        InMemoryEndpoint::State& s = State();
        if (s.grant_held) return HR_AUDCLNT_E_OUT_OF_ORDER;
        if (frames > s.buffer_frames - s.padding) return HR_AUDCLNT_E_BUFFER_TOO_LARGE;
        const std::size_t bytes = static_cast<std::size_t>(frames) * s.format.BlockAlign();
        std::fill(s.scratch.begin(), s.scratch.begin() + static_cast<std::ptrdiff_t>(bytes), kRenderPoisonByte);
        *data = s.scratch.data();
        s.granted = frames;
        s.grant_held = true;
        return code;
    }

    int32_t ReleaseBuffer(uint32_t frames, uint32_t flags) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        int32_t code = HR_S_OK;
        if (!service_) return HR_E_POINTER;
        if (Injected(StreamStep::ReleaseBuffer, &code) && HrFailed(code)) return code;
        InMemoryEndpoint::State& s = State();
        if (!s.grant_held) return frames == 0 ? code : HR_AUDCLNT_E_OUT_OF_ORDER;
        if (frames > s.granted) return HR_AUDCLNT_E_INVALID_SIZE;
        s.grant_held = false;
        if (frames == 0) return code;
        const std::size_t bytes = static_cast<std::size_t>(frames) * s.format.BlockAlign();
        if (flags & kBufferFlagSilent) {
            s.rendered.insert(s.rendered.end(), bytes, 0);
        } else {
            s.rendered.insert(s.rendered.end(), s.scratch.begin(), s.scratch.begin() + static_cast<std::ptrdiff_t>(bytes));
        }
        s.rendered_frames += frames;
        s.padding += frames;
        s.released_since_tick = true;
        ++s.releases;
        core_->changed.notify_all();
        return code;
    }
};

class InMemoryEnumerator final : public AudioEndpointEnumerator {
public:
    explicit InMemoryEnumerator(std::shared_ptr<InMemoryAudioCore> core) : core_(std::move(core)) {}

    int32_t Open(StreamDirection direction, uint32_t* count) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (!count) return HR_E_POINTER;
        if (core_->enumeration_position == -1) return core_->enumeration_code;
        listed_.clear();
        for (auto& e : core_->endpoints) {
            if (e->Direction() == direction) listed_.push_back(e.get());
        }
        open_ = true;
        *count = static_cast<uint32_t>(listed_.size());
        return HR_S_OK;
    }

    int32_t Endpoint(uint32_t position, std::wstring* id, std::string* friendly_name) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (!open_ || !id || !friendly_name) return HR_E_POINTER;
        if (core_->enumeration_position >= 0 && static_cast<uint32_t>(core_->enumeration_position) == position)
            return core_->enumeration_code;
        if (position >= listed_.size()) return HR_E_INVALIDARG;
        *id = listed_[position]->Id();
        *friendly_name = listed_[position]->FriendlyName();
        return HR_S_OK;
    }

    void Close() override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        listed_.clear();
        open_ = false;
    }

private:
    std::shared_ptr<InMemoryAudioCore> core_;
    std::vector<InMemoryEndpoint*> listed_;
    bool open_ = false;
};

}  // namespace

InMemoryAudioSystem::InMemoryAudioSystem() : core_(std::make_shared<InMemoryAudioCore>()) {}
InMemoryAudioSystem::~InMemoryAudioSystem() = default;

InMemoryEndpoint& InMemoryAudioSystem::AddEndpoint(StreamDirection direction, std::wstring id,
                                                   std::string friendly_name) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->endpoints.push_back(std::unique_ptr<InMemoryEndpoint>(
        new InMemoryEndpoint(core_.get(), std::move(id), std::move(friendly_name), direction)));
    return *core_->endpoints.back();
}

InMemoryEndpoint* InMemoryAudioSystem::FindEndpoint(const std::wstring& id) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->Find(id);
}

std::unique_ptr<CaptureStream> InMemoryAudioSystem::NewCaptureStream() {
    return std::make_unique<InMemoryCaptureStream>(core_);
}

std::unique_ptr<RenderStream> InMemoryAudioSystem::NewRenderStream() {
    return std::make_unique<InMemoryRenderStream>(core_);
}

std::unique_ptr<AudioEndpointEnumerator> InMemoryAudioSystem::NewEnumerator() {
    return std::make_unique<InMemoryEnumerator>(core_);
}

void InMemoryAudioSystem::InjectFailure(StreamDirection direction, StreamStep step, int32_t code,
                                        uint32_t after_successes) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    Injection& injection = core_->injections[direction == StreamDirection::Capture ? 0 : 1][static_cast<int>(step)];
    injection.armed = true;
    injection.code = code;
    injection.successes_left = after_successes;
}

void InMemoryAudioSystem::InjectEnumerationFailure(int32_t code, int position) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->enumeration_code = code;
    core_->enumeration_position = position;
}

void InMemoryAudioSystem::ClearFailures() {
    std::lock_guard<std::mutex> lock(core_->mutex);
    for (auto& direction : core_->injections) {
        for (Injection& injection : direction) injection = Injection{};
    }
    core_->enumeration_position = -2;
    core_->enumeration_code = 0;
}

int InMemoryAudioSystem::LiveStreams() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->live_streams;
}
