#pragma once
// The audio endpoint lists: how many active capture and render endpoints there are, their friendly names
// by position, and the id string of the one the user chose by position (CaptureDeviceIndex,
// RenderDeviceIndex). The stream threads open their device with the kept id.
//
// The walk itself is portable (ListEndpoints, over an AudioEndpointEnumerator); EnumCaptureEndpoints and
// EnumRenderEndpoints in engine/win32/endpoints.h run it over the system's enumerator.
#include <cstdint>
#include <string>

#include "platform/audio_stream.h"

inline constexpr int kEndpointNameSlots = 100;
inline constexpr int kEndpointNameWidth = 512;

extern uint32_t CaptureEndpointCount;
extern uint32_t RenderEndpointCount;
extern char CaptureEndpointNames[kEndpointNameSlots][kEndpointNameWidth];
extern char RenderEndpointNames[kEndpointNameSlots][kEndpointNameWidth];
// Empty until an enumeration reaches the chosen position; a walk that does not reach it keeps the previous
// id, which names the device the user chose wherever it now stands in the list (an id is stable across
// changes of the list). Written on the user-interface thread only: stream threads take a copy before they
// start.
extern std::wstring CaptureEndpointId;
extern std::wstring RenderEndpointId;

// A list control that mirrors the name slots (the Preferences window's device lists).
class EndpointListView {
public:
    virtual ~EndpointListView() = default;
    virtual void ReplaceLine(uint32_t position, const char* name) = 0;
    virtual void SelectLine(uint32_t position) = 0;
};

// Where one direction's results go.
struct EndpointListTarget {
    uint32_t* count;
    char (*names)[kEndpointNameWidth];  // kEndpointNameSlots slots
    std::wstring* chosen_id;
};

EndpointListTarget CaptureEndpointTarget();
EndpointListTarget RenderEndpointTarget();

// Copies text into one name slot: at most kEndpointNameWidth - 1 bytes, always terminated.
void CopyEndpointName(char* slot, const std::string& name);

// Walks the active endpoints of `direction`:
//   - the count is the number of endpoints listed, at most kEndpointNameSlots (an endpoint beyond the
//     slots cannot be chosen, so it is not listed);
//   - slot i gets the name of endpoint i; slots past the count keep what they held;
//   - the chosen id becomes the id of endpoint `chosen_index`; when that position is not reached (past the
//     list, or the walk failed before it) the previous id stays;
//   - the view (may be null) has line i replaced for each name, and line `chosen_index` selected when
//     the walk completes.
// The first failing call ends the walk with its code; what was written before stays. When the
// enumerator cannot be opened nothing changes. The enumerator is closed on every path.
int32_t ListEndpoints(AudioEndpointEnumerator& enumerator, StreamDirection direction, uint32_t chosen_index,
                      const EndpointListTarget& target, EndpointListView* view);

// The same into the capture or render variables, with CaptureDeviceIndex or RenderDeviceIndex.
int32_t ListCaptureEndpoints(AudioEndpointEnumerator& enumerator, EndpointListView* view);
int32_t ListRenderEndpoints(AudioEndpointEnumerator& enumerator, EndpointListView* view);
