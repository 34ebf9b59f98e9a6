#pragma once
// Long file operations show the wait cursor; the cursor shown before comes back afterwards (the arrow when
// there was none). Returns what the step returns.
#include <windows.h>

#include <type_traits>

template <typename Step>
auto WithWaitCursor(Step step) {
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    auto restore = [previous] { SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW)); };
    if constexpr (std::is_void_v<decltype(step())>) {
        step();
        restore();
    } else {
        auto result = step();
        restore();
        return result;
    }
}
