#pragma once
// WASAPI streams and endpoint enumeration behind the portable interfaces of platform/audio_stream.h:
// IMMDeviceEnumerator, GetDevice by id, IAudioClient in exclusive share mode with
// AUDCLNT_STREAMFLAGS_EVENTCALLBACK, IAudioCaptureClient and IAudioRenderClient.
#include <windows.h>
#include <mmreg.h>

#include <memory>

#include "platform/audio_stream.h"

AudioStreamFactory& WasapiStreams();
// Lists active endpoints with their friendly names in the system's ANSI code page. COM must be
// initialised on the calling thread.
std::unique_ptr<AudioEndpointEnumerator> NewWasapiEndpointEnumerator();

// The extensible PCM format of a stream format: tag 0xFFFE, cbSize 22, KSDATAFORMAT_SUBTYPE_PCM.
WAVEFORMATEXTENSIBLE ToWaveFormat(const StreamFormat& format);
