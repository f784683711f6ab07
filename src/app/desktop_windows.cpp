#include "app/desktop.h"
#include "support/systemtext_windows.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <string_view>
#include <windows.h>

// After windows.h, which it needs.
#include <commctrl.h>

namespace quorvane::app::desktop {

namespace {

const wchar_t* wideText(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// The text in the system's ANSI code page, as AppendMenuA takes it.
std::string ansiText(const QString& text) {
    return support::ansiFromWide(
        std::wstring_view(wideText(text), static_cast<std::size_t>(text.size())));
}

HWND handleOf(const QWidget& window) {
    return reinterpret_cast<HWND>(window.internalWinId());
}

void appendSystemMenuItems(HWND handle, const MenuCommands& commands) {
    HMENU menu = GetSystemMenu(handle, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (const MenuCommand& command : commands) {
        AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(command.identifier),
                    ansiText(command.text).c_str());
    }
}

// Opens the window's system menu for the keyboard, as Windows does on Alt+Space in a window of
// its own: the first item highlighted, the chosen command sent as WM_SYSCOMMAND to the window.
void openSystemMenuByKeyboard(HWND handle) {
    // The space's character is already queued behind its key; the menu would take it as Enter.
    MSG pending;
    if (PeekMessageW(&pending, handle, WM_SYSCHAR, WM_SYSCHAR, PM_NOREMOVE) &&
        pending.wParam == VK_SPACE) {
        PeekMessageW(&pending, handle, WM_SYSCHAR, WM_SYSCHAR, PM_REMOVE);
    }
    DefWindowProcW(handle, WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
}

// A window procedure put in front of Qt's for one window (comctl32's window subclassing):
// `handle` sees every message first and says whether it took it; all others go on unchanged.
// Lives as long as the window, as its child; a new native window (after some window-flag
// changes) is subclassed again.
class WindowProcedure final : public QObject {
public:
    // Takes a message or leaves it (false); `result` is what the window procedure returns.
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>;

    WindowProcedure(QWidget& window, Handler handler, std::function<void(HWND)> attached = {})
        : QObject(&window), m_window(window), m_handler(std::move(handler)),
          m_attached(std::move(attached)) {
        attach(reinterpret_cast<HWND>(window.winId()));
        window.installEventFilter(this);
    }

    ~WindowProcedure() override { detach(); }

    WindowProcedure(const WindowProcedure&) = delete;
    WindowProcedure& operator=(const WindowProcedure&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::WinIdChange) {
            detach();
            if (HWND handle = handleOf(m_window); handle != nullptr) {
                attach(handle);
            }
        }
        return false;
    }

private:
    static LRESULT CALLBACK procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<WindowProcedure*>(data);
        LRESULT result = 0;
        if (self->m_handler(handle, message, wParam, lParam, result)) {
            return result;
        }
        if (message == WM_NCDESTROY) {
            self->detach();
        }
        return DefSubclassProc(handle, message, wParam, lParam);
    }

    void attach(HWND handle) {
        if (m_attached) {
            m_attached(handle);
        }
        // A subclass is known by its procedure and its identifier: each object has its own
        // identifier, or a second one on the same window would replace the first.
        SetWindowSubclass(handle, &procedure, reinterpret_cast<UINT_PTR>(this),
                          reinterpret_cast<DWORD_PTR>(this));
        m_handle = handle;
    }

    void detach() {
        if (m_handle != nullptr) {
            RemoveWindowSubclass(m_handle, &procedure, reinterpret_cast<UINT_PTR>(this));
            m_handle = nullptr;
        }
    }

    QWidget& m_window;
    Handler m_handler;
    std::function<void(HWND)> m_attached;
    HWND m_handle = nullptr;
};

} // namespace

QString designFamily() {
    // MS Sans Serif's outline twin: Qt draws no bitmap fonts, and Windows has it since 2000.
    // Where it is missing (Wine) the families with Arial's metrics stand in.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"),
                                   {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
        return true;
    }();
    static_cast<void>(substituted);
    return QStringLiteral("Microsoft Sans Serif");
}

void installWindowMenu(QWidget& window, const MenuCommands& commands,
                       const std::function<void(int)>& run) {
    // The whole wParam is compared, with no masking of the low bits.
    auto isCommand = [commands](WPARAM wParam) {
        for (const MenuCommand& command : commands) {
            if (wParam == static_cast<WPARAM>(command.identifier)) {
                return true;
            }
        }
        return false;
    };
    new WindowProcedure(
        window,
        [run, isCommand](HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            if (message == WM_SYSKEYDOWN && wParam == VK_SPACE &&
                (HIWORD(lParam) & KF_ALTDOWN) != 0) {
                // Qt opens the system menu on Alt+Space itself and hands the chosen command
                // straight to its own window procedure, past this one. The system's own way
                // instead, as from the caption icon: the command then comes through here.
                openSystemMenuByKeyboard(handle);
                result = 0;
                return true;
            }
            if (message != WM_SYSCOMMAND || !isCommand(wParam)) {
                return false;
            }
            run(static_cast<int>(wParam));
            result = 0;
            return true;
        },
        [commands](HWND handle) { appendSystemMenuItems(handle, commands); });
}

void closeWhenSessionEnds(QWidget& window) {
    // The process may be ended as soon as WM_ENDSESSION returns: the window closes before.
    new WindowProcedure(
        window, [&window](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
            if (message == WM_ENDSESSION && wParam != FALSE) {
                window.close();
            }
            // Qt drops the close of a window that a modal window blocks; the window closes all
            // the same, and its close ends the modal one.
            if (message == WM_CLOSE && QApplication::activeModalWidget() != nullptr) {
                window.close();
                result = 0;
                return true;
            }
            return false;
        });
}

void setStaysOnTop(QWidget& window, bool on) {
    SetWindowPos(reinterpret_cast<HWND>(window.winId()), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0,
                 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

QRect outerGeometry(const QWidget& window) {
    RECT outer{};
    GetWindowRect(reinterpret_cast<HWND>(window.winId()), &outer);
    const qreal ratio = window.devicePixelRatioF();
    return QRect(qRound(outer.left / ratio), qRound(outer.top / ratio),
                 qRound((outer.right - outer.left) / ratio),
                 qRound((outer.bottom - outer.top) / ratio));
}

void setOuterGeometry(QWidget& window, const QRect& outer) {
    const qreal ratio = window.devicePixelRatioF();
    SetWindowPos(reinterpret_cast<HWND>(window.winId()), nullptr, qRound(outer.x() * ratio),
                 qRound(outer.y() * ratio), qRound(outer.width() * ratio),
                 qRound(outer.height() * ratio), SWP_NOZORDER | SWP_NOACTIVATE);
}

void showInformation(QWidget* owner, const QString& title, const QString& text) {
    HWND ownerHandle = owner != nullptr ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    MessageBoxW(ownerHandle, wideText(text), wideText(title), MB_OK | MB_ICONINFORMATION);
}

bool attachStartingConsole() {
    // A windowed program has no console of its own; its texts go to the one it was started from.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        return true;
    }
    // Without a console, output redirected to a file or a pipe is still a place to write.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    return output != nullptr && output != INVALID_HANDLE_VALUE;
}

} // namespace quorvane::app::desktop
