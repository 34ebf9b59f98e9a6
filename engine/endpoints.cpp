#include "engine/endpoints.h"

#include <algorithm>
#include <cstring>

#include "app/settings.h"
#include "app/system_record.h"

static_assert(kEndpointNameSlots == kEndpointSlots, "device indices choose among the name slots");

uint32_t CaptureEndpointCount = 0;
uint32_t RenderEndpointCount = 0;
char CaptureEndpointNames[kEndpointNameSlots][kEndpointNameWidth] = {};
char RenderEndpointNames[kEndpointNameSlots][kEndpointNameWidth] = {};
std::wstring CaptureEndpointId;
std::wstring RenderEndpointId;

EndpointListTarget CaptureEndpointTarget() { return {&CaptureEndpointCount, CaptureEndpointNames, &CaptureEndpointId}; }
EndpointListTarget RenderEndpointTarget() { return {&RenderEndpointCount, RenderEndpointNames, &RenderEndpointId}; }

void CopyEndpointName(char* slot, const std::string& name) {
    const std::size_t n = std::min(name.size(), static_cast<std::size_t>(kEndpointNameWidth - 1));
    std::memcpy(slot, name.data(), n);
    slot[n] = '\0';
}

int32_t ListEndpoints(AudioEndpointEnumerator& enumerator, StreamDirection direction, uint32_t chosen_index,
                      const EndpointListTarget& target, EndpointListView* view) {
    uint32_t found = 0;
    int32_t code = enumerator.Open(direction, &found);
    if (HrFailed(code)) {
        enumerator.Close();
        return code;
    }
    const uint32_t count = std::min(found, static_cast<uint32_t>(kEndpointNameSlots));
    *target.count = count;
    // The id is replaced only when the walk reaches the chosen position. An id names one device whatever its
    // position, so when the list has become shorter the kept id still opens the device the user chose.

    std::wstring id;
    std::string name;
    for (uint32_t i = 0; i < count; ++i) {
        code = enumerator.Endpoint(i, &id, &name);
        if (HrFailed(code)) {
            enumerator.Close();
            return code;
        }
        if (i == chosen_index) *target.chosen_id = id;
        CopyEndpointName(target.names[i], name);
        if (view) view->ReplaceLine(i, target.names[i]);
    }
    enumerator.Close();
    if (view) view->SelectLine(chosen_index);
    return HR_S_OK;
}

int32_t ListCaptureEndpoints(AudioEndpointEnumerator& enumerator, EndpointListView* view) {
    return ListEndpoints(enumerator, StreamDirection::Capture, CaptureDeviceIndex, CaptureEndpointTarget(), view);
}

int32_t ListRenderEndpoints(AudioEndpointEnumerator& enumerator, EndpointListView* view) {
    return ListEndpoints(enumerator, StreamDirection::Render, RenderDeviceIndex, RenderEndpointTarget(), view);
}
