// Names of result codes and of the stream steps, and the duration arithmetic of the stream set-up.
#include "platform/audio_stream.h"

#include <cstdio>

namespace {

struct NamedCode {
    int32_t code;
    const char* name;
};

#define HV_NAMED(code) {HR_##code, #code}
constexpr NamedCode kNamedCodes[] = {
    HV_NAMED(S_OK),
    HV_NAMED(S_FALSE),
    HV_NAMED(AUDCLNT_S_BUFFER_EMPTY),
    HV_NAMED(AUDCLNT_S_THREAD_ALREADY_REGISTERED),
    HV_NAMED(AUDCLNT_S_POSITION_STALLED),
    HV_NAMED(E_NOTIMPL),
    HV_NAMED(E_NOINTERFACE),
    HV_NAMED(E_POINTER),
    HV_NAMED(E_ABORT),
    HV_NAMED(E_FAIL),
    HV_NAMED(E_UNEXPECTED),
    HV_NAMED(E_ACCESSDENIED),
    HV_NAMED(E_HANDLE),
    HV_NAMED(E_OUTOFMEMORY),
    HV_NAMED(E_INVALIDARG),
    HV_NAMED(E_NOTFOUND),
    HV_NAMED(RPC_E_CHANGED_MODE),
    HV_NAMED(CO_E_NOTINITIALIZED),
    HV_NAMED(REGDB_E_CLASSNOTREG),
    HV_NAMED(CLASS_E_NOAGGREGATION),
    HV_NAMED(AUDCLNT_E_NOT_INITIALIZED),
    HV_NAMED(AUDCLNT_E_ALREADY_INITIALIZED),
    HV_NAMED(AUDCLNT_E_WRONG_ENDPOINT_TYPE),
    HV_NAMED(AUDCLNT_E_DEVICE_INVALIDATED),
    HV_NAMED(AUDCLNT_E_NOT_STOPPED),
    HV_NAMED(AUDCLNT_E_BUFFER_TOO_LARGE),
    HV_NAMED(AUDCLNT_E_OUT_OF_ORDER),
    HV_NAMED(AUDCLNT_E_UNSUPPORTED_FORMAT),
    HV_NAMED(AUDCLNT_E_INVALID_SIZE),
    HV_NAMED(AUDCLNT_E_DEVICE_IN_USE),
    HV_NAMED(AUDCLNT_E_BUFFER_OPERATION_PENDING),
    HV_NAMED(AUDCLNT_E_THREAD_NOT_REGISTERED),
    HV_NAMED(AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED),
    HV_NAMED(AUDCLNT_E_ENDPOINT_CREATE_FAILED),
    HV_NAMED(AUDCLNT_E_SERVICE_NOT_RUNNING),
    HV_NAMED(AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED),
    HV_NAMED(AUDCLNT_E_EXCLUSIVE_MODE_ONLY),
    HV_NAMED(AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL),
    HV_NAMED(AUDCLNT_E_EVENTHANDLE_NOT_SET),
    HV_NAMED(AUDCLNT_E_INCORRECT_BUFFER_SIZE),
    HV_NAMED(AUDCLNT_E_BUFFER_SIZE_ERROR),
    HV_NAMED(AUDCLNT_E_CPUUSAGE_EXCEEDED),
    HV_NAMED(AUDCLNT_E_BUFFER_ERROR),
    HV_NAMED(AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED),
    HV_NAMED(AUDCLNT_E_INVALID_DEVICE_PERIOD),
    HV_NAMED(AUDCLNT_E_INVALID_STREAM_FLAG),
    HV_NAMED(AUDCLNT_E_ENDPOINT_OFFLOAD_NOT_CAPABLE),
    HV_NAMED(AUDCLNT_E_OUT_OF_OFFLOAD_RESOURCES),
    HV_NAMED(AUDCLNT_E_OFFLOAD_MODE_ONLY),
    HV_NAMED(AUDCLNT_E_NONOFFLOAD_MODE_ONLY),
    HV_NAMED(AUDCLNT_E_RESOURCES_INVALIDATED),
    HV_NAMED(AUDCLNT_E_RAW_MODE_UNSUPPORTED),
    HV_NAMED(AUDCLNT_E_ENGINE_PERIODICITY_LOCKED),
    HV_NAMED(AUDCLNT_E_ENGINE_FORMAT_LOCKED),
    HV_NAMED(AUDCLNT_E_HEADTRACKING_ENABLED),
    HV_NAMED(AUDCLNT_E_HEADTRACKING_UNSUPPORTED),
};
#undef HV_NAMED

}  // namespace

const char* HresultName(int32_t code) {
    for (const NamedCode& named : kNamedCodes) {
        if (named.code == code) return named.name;
    }
    return nullptr;
}

std::string HresultText(int32_t code) {
    if (const char* name = HresultName(code)) return name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

const char* StreamStepName(StreamStep step) {
    switch (step) {
    case StreamStep::InitializeCom: return "InitializeCom";
    case StreamStep::CreateEnumerator: return "CreateEnumerator";
    case StreamStep::OpenDevice: return "OpenDevice";
    case StreamStep::Activate: return "Activate";
    case StreamStep::GetDevicePeriod: return "GetDevicePeriod";
    case StreamStep::IsFormatSupported: return "IsFormatSupported";
    case StreamStep::Initialize: return "Initialize";
    case StreamStep::MakeEvent: return "MakeEvent";
    case StreamStep::SetEventHandle: return "SetEventHandle";
    case StreamStep::GetBufferSize: return "GetBufferSize";
    case StreamStep::GetService: return "GetService";
    case StreamStep::Start: return "Start";
    case StreamStep::Stop: return "Stop";
    case StreamStep::GetBuffer: return "GetBuffer";
    case StreamStep::ReleaseBuffer: return "ReleaseBuffer";
    }
    return "?";
}

int64_t FramesToDuration(uint32_t frames, uint32_t rate) {
    if (rate == 0) return 0;
    const int64_t scaled = static_cast<int64_t>(frames) * kHundredNsPerSecond;
    return (scaled + rate - 1) / rate;
}

uint32_t DurationToFrames(int64_t duration, uint32_t rate) {
    if (duration <= 0) return 0;
    return static_cast<uint32_t>((duration * rate + kHundredNsPerSecond / 2) / kHundredNsPerSecond);
}
