// The Win32 side of the platform seams: result codes against the SDK's own macros, the extensible wave
// format, Win32 threads and events, and the WASAPI streams and endpoint lists as far as this machine's
// audio allows (under Wine without a sound server the lists are empty and no device opens).
#include <windows.h>
#include <ks.h>
#include <ksmedia.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "app/settings.h"
#include "engine/endpoints.h"
#include "engine/win32/endpoints.h"
#include "platform/audio_stream.h"
#include "platform/win32/wasapi_streams.h"
#include "platform/win32/win32_threads.h"

namespace {

TEST(Win32ResultCodes, PortableConstantsEqualTheSdkMacros) {
    struct Pair {
        int32_t ours;
        HRESULT sdk;
        const char* name;
    } pairs[] = {
#define HV_PAIR(code) {HR_##code, code, #code}
        HV_PAIR(S_OK), HV_PAIR(S_FALSE), HV_PAIR(E_NOTIMPL), HV_PAIR(E_NOINTERFACE), HV_PAIR(E_POINTER),
        HV_PAIR(E_ABORT), HV_PAIR(E_FAIL), HV_PAIR(E_UNEXPECTED), HV_PAIR(E_ACCESSDENIED), HV_PAIR(E_HANDLE),
        HV_PAIR(E_OUTOFMEMORY), HV_PAIR(E_INVALIDARG), HV_PAIR(E_NOTFOUND), HV_PAIR(RPC_E_CHANGED_MODE),
        HV_PAIR(CO_E_NOTINITIALIZED), HV_PAIR(REGDB_E_CLASSNOTREG), HV_PAIR(CLASS_E_NOAGGREGATION),
        HV_PAIR(AUDCLNT_E_NOT_INITIALIZED), HV_PAIR(AUDCLNT_E_ALREADY_INITIALIZED),
        HV_PAIR(AUDCLNT_E_WRONG_ENDPOINT_TYPE), HV_PAIR(AUDCLNT_E_DEVICE_INVALIDATED),
        HV_PAIR(AUDCLNT_E_NOT_STOPPED), HV_PAIR(AUDCLNT_E_BUFFER_TOO_LARGE), HV_PAIR(AUDCLNT_E_OUT_OF_ORDER),
        HV_PAIR(AUDCLNT_E_UNSUPPORTED_FORMAT), HV_PAIR(AUDCLNT_E_INVALID_SIZE), HV_PAIR(AUDCLNT_E_DEVICE_IN_USE),
        HV_PAIR(AUDCLNT_E_BUFFER_OPERATION_PENDING), HV_PAIR(AUDCLNT_E_THREAD_NOT_REGISTERED),
        HV_PAIR(AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED), HV_PAIR(AUDCLNT_E_ENDPOINT_CREATE_FAILED),
        HV_PAIR(AUDCLNT_E_SERVICE_NOT_RUNNING), HV_PAIR(AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED),
        HV_PAIR(AUDCLNT_E_EXCLUSIVE_MODE_ONLY), HV_PAIR(AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL),
        HV_PAIR(AUDCLNT_E_EVENTHANDLE_NOT_SET), HV_PAIR(AUDCLNT_E_INCORRECT_BUFFER_SIZE),
        HV_PAIR(AUDCLNT_E_BUFFER_SIZE_ERROR), HV_PAIR(AUDCLNT_E_CPUUSAGE_EXCEEDED), HV_PAIR(AUDCLNT_E_BUFFER_ERROR),
        HV_PAIR(AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED), HV_PAIR(AUDCLNT_E_INVALID_DEVICE_PERIOD),
        HV_PAIR(AUDCLNT_E_INVALID_STREAM_FLAG), HV_PAIR(AUDCLNT_E_ENDPOINT_OFFLOAD_NOT_CAPABLE),
        HV_PAIR(AUDCLNT_E_OUT_OF_OFFLOAD_RESOURCES), HV_PAIR(AUDCLNT_E_OFFLOAD_MODE_ONLY),
        HV_PAIR(AUDCLNT_E_NONOFFLOAD_MODE_ONLY), HV_PAIR(AUDCLNT_E_RESOURCES_INVALIDATED),
        HV_PAIR(AUDCLNT_E_RAW_MODE_UNSUPPORTED), HV_PAIR(AUDCLNT_E_ENGINE_PERIODICITY_LOCKED),
        HV_PAIR(AUDCLNT_E_ENGINE_FORMAT_LOCKED), HV_PAIR(AUDCLNT_E_HEADTRACKING_ENABLED),
        HV_PAIR(AUDCLNT_E_HEADTRACKING_UNSUPPORTED), HV_PAIR(AUDCLNT_S_BUFFER_EMPTY),
        HV_PAIR(AUDCLNT_S_THREAD_ALREADY_REGISTERED), HV_PAIR(AUDCLNT_S_POSITION_STALLED),
#undef HV_PAIR
    };
    for (const Pair& p : pairs) {
        EXPECT_EQ(p.ours, static_cast<int32_t>(p.sdk)) << p.name;
        EXPECT_STREQ(HresultName(p.ours), p.name);
    }
    EXPECT_EQ(kBufferFlagDataDiscontinuity, static_cast<uint32_t>(AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY));
    EXPECT_EQ(kBufferFlagSilent, static_cast<uint32_t>(AUDCLNT_BUFFERFLAGS_SILENT));
    EXPECT_EQ(kBufferFlagTimestampError, static_cast<uint32_t>(AUDCLNT_BUFFERFLAGS_TIMESTAMP_ERROR));
}

TEST(Win32WaveFormat, EightOutputRenderFormat) {
    StreamFormat format;
    format.channels = 8;
    format.samples_per_second = 48000;
    format.bits_per_sample = 32;
    format.valid_bits_per_sample = 24;
    format.channel_mask = 0x63F;
    const WAVEFORMATEXTENSIBLE wave = ToWaveFormat(format);
    EXPECT_EQ(wave.Format.wFormatTag, 0xFFFE);
    EXPECT_EQ(wave.Format.nChannels, 8);
    EXPECT_EQ(wave.Format.nSamplesPerSec, 48000u);
    EXPECT_EQ(wave.Format.nBlockAlign, 32);
    EXPECT_EQ(wave.Format.nAvgBytesPerSec, 32u * 48000u);
    EXPECT_EQ(wave.Format.wBitsPerSample, 32);
    EXPECT_EQ(wave.Format.cbSize, 22);
    EXPECT_EQ(wave.Samples.wValidBitsPerSample, 24);
    EXPECT_EQ(wave.dwChannelMask, 0x63Fu);
    const GUID pcm = {STATIC_KSDATAFORMAT_SUBTYPE_PCM};  // the SDK's own value
    EXPECT_TRUE(IsEqualGUID(wave.SubFormat, pcm));
}

TEST(Win32Threads, EventsWaitAndTimeOut) {
    ThreadPlatform& platform = Win32ThreadPlatform();
    auto event = platform.MakeEvent();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->Wait(0), WaitResult::TimedOut);
    const DWORD start = GetTickCount();
    EXPECT_EQ(event->Wait(50), WaitResult::TimedOut);
    EXPECT_GE(GetTickCount() - start, 40u);
    event->Set();
    event->Set();
    EXPECT_EQ(event->Wait(0), WaitResult::Signalled);
    EXPECT_EQ(event->Wait(0), WaitResult::TimedOut);
}

TEST(Win32Threads, ThreadRunsAtItsPriorityAndJoinsWithATimeOut) {
    ThreadPlatform& platform = Win32ThreadPlatform();
    auto release = platform.MakeEvent();
    std::atomic<int> seen_priority{-100};
    auto thread = platform.StartThread(
        [&] {
            seen_priority = GetThreadPriority(GetCurrentThread());
            release->Wait(kWaitForever);
        },
        ThreadPriority::TimeCritical);
    ASSERT_TRUE(thread);
    EXPECT_FALSE(thread->Join(30));
    release->Set();
    EXPECT_TRUE(thread->Join(5000));
    EXPECT_TRUE(thread->Join(0));
    EXPECT_EQ(seen_priority.load(), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(thread->Priority(), ThreadPriority::TimeCritical);
}

TEST(Win32Threads, TwoHundredCyclesLeaveNoThreadOrHandle) {
    ThreadPlatform& platform = Win32ThreadPlatform();
    const int threads_before = platform.RunningThreads();
    const int events_before = platform.LiveEvents();
    DWORD handles_before = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles_before);
    for (int cycle = 0; cycle < 200; ++cycle) {
        auto wake = platform.MakeEvent();
        std::atomic<int> woke{0};
        auto thread = platform.StartThread([&] { woke = wake->Wait(5000) == WaitResult::Signalled; },
                                           ThreadPriority::Highest);
        ASSERT_TRUE(thread);
        wake->Set();
        ASSERT_TRUE(thread->Join(5000));
        ASSERT_EQ(woke.load(), 1);
    }
    EXPECT_EQ(platform.RunningThreads(), threads_before);
    EXPECT_EQ(platform.LiveEvents(), events_before);
    DWORD handles_after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles_after);
    EXPECT_LE(handles_after, handles_before + 4);  // a few for the runtime's own use, not 400
}

TEST(Win32Threads, JoinPumpingMessagesLetsACrossThreadSendMessageFinish) {
    // A thread that sends a message to a window of this thread blocks until this thread handles it: a
    // plain join runs out, a join that pumps messages succeeds.
    HWND window = CreateWindowExA(0, "STATIC", "target", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window);
    std::atomic<int> sent{0};
    auto thread = Win32ThreadPlatform().StartThread(
        [&] {
            SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("RENDERING ERROR - RESTART"));
            sent = 1;
        },
        ThreadPriority::Normal);
    ASSERT_TRUE(thread);
    EXPECT_FALSE(thread->Join(100));
    EXPECT_EQ(sent.load(), 0);
    EXPECT_TRUE(JoinPumpingMessages(*thread, 5000));
    EXPECT_EQ(sent.load(), 1);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "RENDERING ERROR - RESTART");
    DestroyWindow(window);
}

TEST(Win32Threads, InstalledPlatformServesThePortableShorthands) {
    InstallWin32Platform();
    EXPECT_EQ(&CurrentThreadPlatform(), &Win32ThreadPlatform());
    EXPECT_EQ(&CurrentPerformanceCounter(), &Win32PerformanceCounter());
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(CurrentPerformanceCounter().Frequency(), frequency.QuadPart);
    const int64_t a = CurrentPerformanceCounter().Now();
    Sleep(5);
    EXPECT_GT(CurrentPerformanceCounter().Now(), a);
    SetThreadPlatform(nullptr);
    SetPerformanceCounter(nullptr);
}

// COM for the calling thread, as the user-interface thread has it.
struct ComScope {
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    HRESULT hr;
};

TEST(Win32Endpoints, ListsWithoutCrashingAndMirrorIntoAListBox) {
    ComScope com;
    // A stand-in for the Preferences window: its render list holds 100 lines as the window fills it.
    HWND owner = CreateWindowExA(0, "STATIC", "prefs", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(owner);
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_NOTIFY, 0, 0, 50, 50, owner,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRenderDeviceListId)),
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(list);
    for (int i = 0; i < kEndpointNameSlots; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));

    const uint32_t saved = RenderDeviceIndex;
    RenderDeviceIndex = 0;
    const int32_t capture_code = EnumCaptureEndpoints();
    const int32_t render_code = EnumRenderEndpoints(owner);
    std::printf("capture list: %s, %u endpoints; render list: %s, %u endpoints\n",
                HresultText(capture_code).c_str(), CaptureEndpointCount, HresultText(render_code).c_str(),
                RenderEndpointCount);
    for (uint32_t i = 0; i < RenderEndpointCount; ++i) std::printf("  render %u: %s\n", i, RenderEndpointNames[i]);
    EXPECT_LE(CaptureEndpointCount, static_cast<uint32_t>(kEndpointNameSlots));
    EXPECT_LE(RenderEndpointCount, static_cast<uint32_t>(kEndpointNameSlots));
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), kEndpointNameSlots);  // lines replaced, never added
    if (HrSucceeded(render_code)) {
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(RenderEndpointId.empty(), RenderEndpointCount == 0);
        if (RenderEndpointCount > 0) {
            char line[kEndpointNameWidth] = {};
            SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
            EXPECT_STREQ(line, RenderEndpointNames[0]);
        }
    }
    RenderDeviceIndex = saved;
    DestroyWindow(owner);
}

// Runs the engine's set-up steps on a thread of their own, as a stream thread would, and reports the
// first failing step. The join's time-out proves that a failing device does not hang the caller.
struct SetupOutcome {
    StreamStep step = StreamStep::InitializeCom;
    int32_t code = HR_E_UNEXPECTED;
};

SetupOutcome RunRenderSetupOnAThread(const wchar_t* id) {
    SetupOutcome outcome;
    auto thread = Win32ThreadPlatform().StartThread(
        [&] {
            auto stream = WasapiStreams().NewRenderStream();
            auto step = [&](StreamStep s, int32_t code) {
                outcome.step = s;
                outcome.code = code;
                std::printf("  %s %s\n", StreamStepName(s), HresultText(code).c_str());
                return HrSucceeded(code);
            };
            StreamFormat format;
            format.channels = 8;
            format.samples_per_second = 48000;
            format.bits_per_sample = 32;
            format.valid_bits_per_sample = 24;
            format.channel_mask = 0x63F;
            int64_t minimum = 0;
            uint32_t frames = 0;
            const int64_t duration = FramesToDuration(1024, 48000);
            if (step(StreamStep::InitializeCom, stream->InitializeCom()) &&
                step(StreamStep::CreateEnumerator, stream->CreateEnumerator()) &&
                step(StreamStep::OpenDevice, stream->OpenDevice(id)) &&
                step(StreamStep::Activate, stream->Activate()) &&
                step(StreamStep::GetDevicePeriod, stream->GetDevicePeriod(nullptr, &minimum)) &&
                step(StreamStep::IsFormatSupported, stream->IsFormatSupported(format)) &&
                step(StreamStep::Initialize, stream->Initialize(duration, format)) &&
                step(StreamStep::MakeEvent, stream->CreatePeriodEvent()) &&
                step(StreamStep::SetEventHandle, stream->SetEventHandle()) &&
                step(StreamStep::GetBufferSize, stream->GetBufferSize(&frames)) &&
                step(StreamStep::GetService, stream->GetService()) && step(StreamStep::Start, stream->Start())) {
                stream->WaitForPeriod(200);
                step(StreamStep::Stop, stream->Stop());
            }
            stream->Close();
        },
        ThreadPriority::Normal);
    EXPECT_TRUE(thread && thread->Join(20000)) << "the set-up hung";
    return outcome;
}

TEST(Win32Streams, ABogusIdFailsAtTheDeviceStep) {
    const SetupOutcome outcome = RunRenderSetupOnAThread(L"{0.0.0.00000000}.{00000000-bogus-endpoint}");
    EXPECT_EQ(outcome.step, StreamStep::OpenDevice);
    EXPECT_TRUE(HrFailed(outcome.code)) << HresultText(outcome.code);
}

TEST(Win32Streams, AnEmptyIdFailsWithEPointer) {
    const SetupOutcome outcome = RunRenderSetupOnAThread(L"");
    EXPECT_EQ(outcome.step, StreamStep::OpenDevice);
    EXPECT_EQ(outcome.code, HR_E_POINTER);
}

TEST(Win32Streams, StepsWithoutTheirObjectsAnswerEPointer) {
    auto capture = WasapiStreams().NewCaptureStream();
    const uint8_t* data = nullptr;
    uint32_t frames = 0, flags = 0;
    EXPECT_EQ(capture->Activate(), HR_E_POINTER);
    EXPECT_EQ(capture->Initialize(100000, StreamFormat{}), HR_E_POINTER);
    EXPECT_EQ(capture->GetBuffer(&data, &frames, &flags), HR_E_POINTER);
    EXPECT_EQ(capture->Start(), HR_E_POINTER);
    EXPECT_EQ(capture->WaitForPeriod(0), WaitResult::Failed);
    capture->Close();
}

TEST(Win32Streams, TheListedRenderEndpointAnswersWithoutHanging) {
    // Whatever this machine offers: a real device streams, Wine's drivers refuse exclusive event mode, and
    // with no sound server there is nothing to open. Each way must end with a code, not a hang.
    ComScope com;
    const uint32_t saved = RenderDeviceIndex;
    RenderDeviceIndex = 0;
    EnumRenderEndpoints();
    RenderDeviceIndex = saved;
    if (RenderEndpointId.empty()) GTEST_SKIP() << "no render endpoint on this machine";
    const std::wstring id = RenderEndpointId;
    const SetupOutcome outcome = RunRenderSetupOnAThread(id.c_str());
    std::printf("render endpoint 0 ends at %s with %s\n", StreamStepName(outcome.step),
                HresultText(outcome.code).c_str());
}

}  // namespace
