// Drives and reads the packaged program's window from another process, as the window system
// would: scripts/windows-check.sh runs it under Wine beside Quorvane.exe.
//
//   windowsprobe find TITLE-START [SECONDS]   waits for a top-level window whose title starts so;
//                                             prints its handle
//   windowsprobe findexact TITLE [SECONDS]    the same for a window titled exactly TITLE
//   windowsprobe size HANDLE                  outer width and height in twips
//   windowsprobe place HANDLE                 outer left and top edge in twips
//   windowsprobe topmost HANDLE               1 while it is a topmost window, else 0
//   windowsprobe syscommand HANDLE ID         posts WM_SYSCOMMAND with wParam ID
//   windowsprobe menukeys HANDLE KEY...       brings the window to the front, opens its system
//                                             menu with Alt+Space and presses the keys in it
//                                             ("up", "down", "enter" or a letter), all as
//                                             keyboard input; waits until the menu has closed
//   windowsprobe iconic HANDLE                1 while it is minimised, else 0
//   windowsprobe icons HANDLE                 the window's own title-bar and task-bar icons:
//                                             "small big", each "set" or "none"
//   windowsprobe about [SECONDS]              waits for the message box "About", prints its text
//                                             and whether it shows an icon, closes it
//   windowsprobe box TITLE [SECONDS]          the same for the message box titled TITLE
//   windowsprobe detached EXE ARGUMENT...     starts EXE as Explorer does, without a console or
//                                             standard handles; prints nothing
//   windowsprobe keys HANDLE esc|alt+t|ctrl+e brings the window to the front and types the keys
//   windowsprobe gone TITLE-START [SECONDS]   waits until no such window is left
//   windowsprobe close HANDLE                 posts WM_CLOSE
// Exits 1 when what it waits for does not come.
#include "common/win32dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Search {
    std::wstring titleStart;
    bool exact = false;
    HWND found = nullptr;
};

std::wstring wide(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), length);
    result.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
    return result;
}

std::string utf8(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
    return result;
}

HWND findWindow(const std::wstring& titleStart, bool exact = false) {
    Search search{titleStart, exact};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* wanted = reinterpret_cast<Search*>(data);
            wchar_t title[256] = {};
            GetWindowTextW(window, title, 256);
            const std::wstring shown(title);
            const bool matches = wanted->exact ? shown == wanted->titleStart
                                               : shown.rfind(wanted->titleStart, 0) == 0;
            if (IsWindowVisible(window) && matches) {
                wanted->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Calls `look` every 50 ms until it gives a window or `seconds` have passed.
template <typename Look> HWND waitFor(Look look, double seconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (HWND window = look()) {
            return window;
        }
        if (GetTickCount64() >= end) {
            return nullptr;
        }
        Sleep(50);
    }
}

HWND handleArgument(const char* text) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(text, nullptr, 0)));
}

double seconds(int argc, char** argv, int index, double fallback) {
    return argc > index ? std::atof(argv[index]) : fallback;
}

// The window's outer rectangle in twips.
RECT outerTwips(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    HDC screen = GetDC(nullptr);
    const long dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const long dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return RECT{outer.left * 1440 / dpiX, outer.top * 1440 / dpiY, outer.right * 1440 / dpiX,
                outer.bottom * 1440 / dpiY};
}

// Presses or releases a key as the keyboard would; false when the input was not taken.
bool press(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

void tap(WORD key) {
    press(key, true);
    press(key, false);
}

// A shown popup menu (the system menu while it is open).
HWND shownMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

// Alt+Space on `window`, then `keys` in the menu. False when the menu did not open or close.
bool menuKeys(HWND window, int count, char** keys) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    if (waitFor([window] { return GetForegroundWindow() == window ? window : nullptr; }, 5) ==
        nullptr) {
        std::fputs("the window did not come to the front\n", stderr);
        return false;
    }
    press(VK_MENU, true);
    tap(VK_SPACE);
    press(VK_MENU, false);
    if (waitFor(shownMenu, 5) == nullptr) {
        std::fputs("Alt+Space opened no menu\n", stderr);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const std::string key = keys[i];
        if (key == "up") {
            tap(VK_UP);
        } else if (key == "down") {
            tap(VK_DOWN);
        } else if (key == "enter") {
            tap(VK_RETURN);
        } else if (key.size() == 1) {
            tap(static_cast<WORD>(VkKeyScanW(static_cast<wchar_t>(key[0])) & 0xFF));
        }
    }
    const ULONGLONG end = GetTickCount64() + 5000;
    while (shownMenu() != nullptr) {
        if (GetTickCount64() >= end) {
            std::fputs("the menu is still open\n", stderr);
            return false;
        }
        Sleep(50);
    }
    return true;
}

int usage() {
    std::fputs("usage: windowsprobe find|size|place|topmost|iconic|syscommand|menukeys|about|box|"
               "detached|keys|gone|close ...\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    if ((command == "find" || command == "findexact") && argc >= 3) {
        const std::wstring title = wide(argv[2]);
        const bool exact = command == "findexact";
        HWND window =
            waitFor([&] { return findWindow(title, exact); }, seconds(argc, argv, 3, 30));
        if (window == nullptr) {
            return 1;
        }
        std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
        return 0;
    }
    if (command == "gone" && argc >= 3) {
        const std::wstring title = wide(argv[2]);
        const ULONGLONG end =
            GetTickCount64() + static_cast<ULONGLONG>(seconds(argc, argv, 3, 30) * 1000);
        while (findWindow(title) != nullptr) {
            if (GetTickCount64() >= end) {
                return 1;
            }
            Sleep(50);
        }
        return 0;
    }
    if (command == "detached" && argc >= 3) {
        std::wstring line = L"\"" + wide(argv[2]) + L"\"";
        for (int i = 3; i < argc; ++i) {
            line += L" " + wide(argv[i]);
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                            nullptr, nullptr, &startup, &process)) {
            return 1;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }
    if (command == "about" || (command == "box" && argc >= 3)) {
        const bool about = command == "about";
        const std::wstring title = about ? std::wstring(L"About") : wide(argv[2]);
        HWND box = waitFor([&] { return FindWindowW(L"#32770", title.c_str()); },
                           seconds(argc, argv, about ? 2 : 3, 10));
        if (box == nullptr) {
            return 1;
        }
        std::printf("%s\n", utf8(quorvane::testing::boxText(box)).c_str());
        // Icon handles are not shared between processes under Wine: the in-process window tests
        // compare the icon itself, this run only that there is one.
        std::printf("icon: %s\n", quorvane::testing::shownIcon(box) != nullptr ? "shown" : "none");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (argc < 3) {
        return usage();
    }
    HWND window = handleArgument(argv[2]);
    if (!IsWindow(window)) {
        std::fputs("no such window\n", stderr);
        return 1;
    }
    if (command == "size") {
        const RECT outer = outerTwips(window);
        std::printf("%ld %ld\n", outer.right - outer.left, outer.bottom - outer.top);
        return 0;
    }
    if (command == "place") {
        const RECT outer = outerTwips(window);
        std::printf("%ld %ld\n", outer.left, outer.top);
        return 0;
    }
    if (command == "topmost") {
        std::printf("%d\n", (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? 1 : 0);
        return 0;
    }
    if (command == "syscommand" && argc >= 4) {
        PostMessageW(window, WM_SYSCOMMAND, static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0)),
                     0);
        return 0;
    }
    if (command == "menukeys") {
        return menuKeys(window, argc - 3, argv + 3) ? 0 : 1;
    }
    if (command == "icons") {
        const auto shown = [window](WPARAM kind) {
            return SendMessageW(window, WM_GETICON, kind, 0) != 0 ? "set" : "none";
        };
        std::printf("%s %s\n", shown(ICON_SMALL), shown(ICON_BIG));
        return 0;
    }
    if (command == "iconic") {
        std::printf("%d\n", IsIconic(window) ? 1 : 0);
        return 0;
    }
    if (command == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == "keys" && argc >= 4) {
        const std::string keys = argv[3];
        std::vector<WORD> pressed;
        if (keys == "esc") {
            pressed = {VK_ESCAPE};
        } else if (keys == "alt+t") {
            pressed = {VK_MENU, 'T'};
        } else if (keys == "ctrl+e") {
            // The left Ctrl key itself: Qt reads the modifier from VK_LCONTROL's state.
            pressed = {VK_LCONTROL, 'E'};
        } else {
            return usage();
        }
        SetForegroundWindow(window);
        Sleep(200);
        bool sent = true;
        for (WORD key : pressed) {
            sent = press(key, true) && sent;
        }
        for (auto key = pressed.rbegin(); key != pressed.rend(); ++key) {
            sent = press(*key, false) && sent;
        }
        return sent ? 0 : 1;
    }
    return usage();
}
