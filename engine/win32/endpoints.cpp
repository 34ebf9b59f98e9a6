#include "engine/win32/endpoints.h"

#include "engine/endpoints.h"
#include "platform/win32/wasapi_streams.h"

namespace {

// A list box of the Preferences window: line i is deleted and the name inserted in its place.
class ListBoxView final : public EndpointListView {
public:
    explicit ListBoxView(HWND list) : list_(list) {}
    void ReplaceLine(uint32_t position, const char* name) override {
        SendMessageA(list_, LB_DELETESTRING, position, 0);
        SendMessageA(list_, LB_INSERTSTRING, position, reinterpret_cast<LPARAM>(name));
    }
    void SelectLine(uint32_t position) override { SendMessageA(list_, LB_SETCURSEL, position, 0); }

private:
    HWND list_;
};

int32_t EnumEndpoints(HWND preferences_window, int list_id, bool capture) {
    auto enumerator = NewWasapiEndpointEnumerator();
    HWND list = preferences_window ? GetDlgItem(preferences_window, list_id) : nullptr;
    ListBoxView view(list);
    EndpointListView* mirror = list ? &view : nullptr;
    return capture ? ListCaptureEndpoints(*enumerator, mirror) : ListRenderEndpoints(*enumerator, mirror);
}

}  // namespace

int32_t EnumCaptureEndpoints(HWND preferences_window) {
    return EnumEndpoints(preferences_window, kCaptureDeviceListId, true);
}

int32_t EnumRenderEndpoints(HWND preferences_window) {
    return EnumEndpoints(preferences_window, kRenderDeviceListId, false);
}
