#pragma once

// Reading the system's message boxes, for the Windows tests.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <string>

namespace quorvane::testing {

// The icon that the message box `box` shows, if any.
inline HICON shownIcon(HWND box) {
    HICON icon = nullptr;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
                return TRUE;
            }
            *reinterpret_cast<HICON*>(found) =
                reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
}

// The text of the message box `box`: its static control 0xFFFF.
inline std::wstring boxText(HWND box) {
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

} // namespace quorvane::testing
