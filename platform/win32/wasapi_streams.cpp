// Each stream keeps the COM objects it obtained and releases them in Close(), in the order the engine's
// leaving path lists them: the event, the enumerator, the device, the client, the service, then COM.
#include "platform/win32/wasapi_streams.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <propidl.h>
#include <propsys.h>

#include <string>

namespace {

// KSDATAFORMAT_SUBTYPE_PCM and PKEY_Device_FriendlyName, spelt out so no GUID-defining library is needed.
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const PROPERTYKEY kDeviceFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

template <class T>
void ReleaseCom(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

template <class Interface, class Service>
class WasapiStream : public Interface {
public:
    ~WasapiStream() override { WasapiStream::Close(); }

    int32_t InitializeCom() override {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hr)) com_ = true;  // S_OK and S_FALSE both need a CoUninitialize
        return hr;
    }

    int32_t CreateEnumerator() override {
        return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&enumerator_));
    }

    int32_t OpenDevice(const wchar_t* endpoint_id) override {
        if (!enumerator_ || !endpoint_id || !*endpoint_id) return E_POINTER;
        return enumerator_->GetDevice(endpoint_id, &device_);
    }

    int32_t Activate() override {
        if (!device_) return E_POINTER;
        return device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client_));
    }

    int32_t GetDevicePeriod(int64_t* default_period, int64_t* minimum_period) override {
        if (!client_ || (!default_period && !minimum_period)) return E_POINTER;
        REFERENCE_TIME default_value = 0, minimum_value = 0;
        const HRESULT hr = client_->GetDevicePeriod(default_period ? &default_value : nullptr,
                                                    minimum_period ? &minimum_value : nullptr);
        if (SUCCEEDED(hr)) {
            if (default_period) *default_period = default_value;
            if (minimum_period) *minimum_period = minimum_value;
        }
        return hr;
    }

    int32_t IsFormatSupported(const StreamFormat& format) override {
        if (!client_) return E_POINTER;
        WAVEFORMATEXTENSIBLE wave = ToWaveFormat(format);
        return client_->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE, &wave.Format, nullptr);
    }

    int32_t Initialize(int64_t duration, const StreamFormat& format) override {
        if (!client_) return E_POINTER;
        WAVEFORMATEXTENSIBLE wave = ToWaveFormat(format);
        return client_->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, duration,
                                   duration, &wave.Format, nullptr);
    }

    int32_t CreatePeriodEvent() override {
        if (!event_) event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return event_ ? S_OK : E_FAIL;
    }

    int32_t SetEventHandle() override {
        if (!client_) return E_POINTER;
        if (!event_) return E_INVALIDARG;
        return client_->SetEventHandle(event_);
    }

    int32_t GetBufferSize(uint32_t* frames) override {
        if (!client_ || !frames) return E_POINTER;
        UINT32 value = 0;
        const HRESULT hr = client_->GetBufferSize(&value);
        if (SUCCEEDED(hr)) *frames = value;
        return hr;
    }

    int32_t GetService() override {
        if (!client_) return E_POINTER;
        return client_->GetService(__uuidof(Service), reinterpret_cast<void**>(&service_));
    }

    int32_t Start() override { return client_ ? client_->Start() : E_POINTER; }
    int32_t Stop() override { return client_ ? client_->Stop() : E_POINTER; }

    WaitResult WaitForPeriod(uint32_t timeout_ms) override {
        if (!event_) return WaitResult::Failed;
        switch (WaitForSingleObject(event_, timeout_ms == kWaitForever ? INFINITE : timeout_ms)) {
        case WAIT_OBJECT_0: return WaitResult::Signalled;
        case WAIT_TIMEOUT: return WaitResult::TimedOut;
        default: return WaitResult::Failed;
        }
    }

    void Close() override {
        if (event_) {
            CloseHandle(event_);
            event_ = nullptr;
        }
        ReleaseCom(enumerator_);
        ReleaseCom(device_);
        ReleaseCom(client_);
        ReleaseCom(service_);
        if (com_) {
            CoUninitialize();
            com_ = false;
        }
    }

protected:
    IMMDeviceEnumerator* enumerator_ = nullptr;
    IMMDevice* device_ = nullptr;
    IAudioClient* client_ = nullptr;
    Service* service_ = nullptr;
    HANDLE event_ = nullptr;
    bool com_ = false;
};

class WasapiCaptureStream final : public WasapiStream<CaptureStream, IAudioCaptureClient> {
public:
    int32_t GetBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        if (!service_ || !data || !frames || !flags) return E_POINTER;
        BYTE* bytes = nullptr;
        UINT32 count = 0;
        DWORD packet_flags = 0;
        const HRESULT hr = service_->GetBuffer(&bytes, &count, &packet_flags, nullptr, nullptr);
        *data = SUCCEEDED(hr) ? bytes : nullptr;
        *frames = SUCCEEDED(hr) ? count : 0;
        *flags = SUCCEEDED(hr) ? packet_flags : 0;
        return hr;
    }
    int32_t ReleaseBuffer(uint32_t frames) override {
        return service_ ? service_->ReleaseBuffer(frames) : E_POINTER;
    }
};

class WasapiRenderStream final : public WasapiStream<RenderStream, IAudioRenderClient> {
public:
    int32_t GetBuffer(uint32_t frames, uint8_t** data) override {
        if (!service_ || !data) return E_POINTER;
        BYTE* bytes = nullptr;
        const HRESULT hr = service_->GetBuffer(frames, &bytes);
        *data = SUCCEEDED(hr) ? bytes : nullptr;
        return hr;
    }
    int32_t ReleaseBuffer(uint32_t frames, uint32_t flags) override {
        return service_ ? service_->ReleaseBuffer(frames, flags) : E_POINTER;
    }
};

class WasapiFactory final : public AudioStreamFactory {
public:
    std::unique_ptr<CaptureStream> NewCaptureStream() override { return std::make_unique<WasapiCaptureStream>(); }
    std::unique_ptr<RenderStream> NewRenderStream() override { return std::make_unique<WasapiRenderStream>(); }
};

std::string ToAnsi(const wchar_t* text) {
    if (!text) return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes - 1));
    return out;
}

class WasapiEnumerator final : public AudioEndpointEnumerator {
public:
    ~WasapiEnumerator() override { WasapiEnumerator::Close(); }

    int32_t Open(StreamDirection direction, uint32_t* count) override {
        Close();
        if (!count) return E_POINTER;
        HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                      __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator_));
        if (FAILED(hr)) return hr;
        hr = enumerator_->EnumAudioEndpoints(direction == StreamDirection::Capture ? eCapture : eRender,
                                             DEVICE_STATE_ACTIVE, &collection_);
        if (FAILED(hr)) return hr;
        UINT n = 0;
        hr = collection_->GetCount(&n);
        if (SUCCEEDED(hr)) *count = n;
        return hr;
    }

    int32_t Endpoint(uint32_t position, std::wstring* id, std::string* friendly_name) override {
        if (!collection_ || !id || !friendly_name) return E_POINTER;
        IMMDevice* device = nullptr;
        LPWSTR device_id = nullptr;
        IPropertyStore* properties = nullptr;
        PROPVARIANT name;
        PropVariantInit(&name);
        HRESULT hr = collection_->Item(position, &device);
        if (SUCCEEDED(hr)) hr = device->GetId(&device_id);
        if (SUCCEEDED(hr)) hr = device->OpenPropertyStore(STGM_READ, &properties);
        if (SUCCEEDED(hr)) hr = properties->GetValue(kDeviceFriendlyName, &name);
        if (SUCCEEDED(hr)) {
            *id = device_id ? device_id : L"";
            *friendly_name = name.vt == VT_LPWSTR ? ToAnsi(name.pwszVal) : std::string();
        }
        PropVariantClear(&name);
        if (device_id) CoTaskMemFree(device_id);
        ReleaseCom(properties);
        ReleaseCom(device);
        return hr;
    }

    void Close() override {
        ReleaseCom(collection_);
        ReleaseCom(enumerator_);
    }

private:
    IMMDeviceEnumerator* enumerator_ = nullptr;
    IMMDeviceCollection* collection_ = nullptr;
};

}  // namespace

WAVEFORMATEXTENSIBLE ToWaveFormat(const StreamFormat& format) {
    WAVEFORMATEXTENSIBLE wave = {};
    wave.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    wave.Format.nChannels = format.channels;
    wave.Format.nSamplesPerSec = format.samples_per_second;
    wave.Format.wBitsPerSample = format.bits_per_sample;
    wave.Format.nBlockAlign = static_cast<WORD>(format.BlockAlign());
    wave.Format.nAvgBytesPerSec = format.AverageBytesPerSecond();
    wave.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    wave.Samples.wValidBitsPerSample = format.valid_bits_per_sample;
    wave.dwChannelMask = format.channel_mask;
    wave.SubFormat = kSubtypePcm;
    return wave;
}

AudioStreamFactory& WasapiStreams() {
    static WasapiFactory factory;
    return factory;
}

std::unique_ptr<AudioEndpointEnumerator> NewWasapiEndpointEnumerator() {
    return std::make_unique<WasapiEnumerator>();
}
