#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <functional>

class QWidget;

// What the program asks of the desktop it runs on. desktop_windows.cpp gives it through the
// Windows API, desktop_posix.cpp through Qt (and xcb on X11); the build picks one of the two.
namespace quorvane::app::desktop {

// The font family the forms are laid out for: on Windows "Microsoft Sans Serif", the outline
// form of the design's MS Sans Serif; elsewhere "Liberation Sans", which has Arial's metrics (the
// Debian package fonts-liberation2). Wider families cut the texts off.
QString designFamily();

// One command of the window menu: its identifier and its text.
struct MenuCommand {
    int identifier;
    QString text;
};

using MenuCommands = std::array<MenuCommand, 4>;

// Appends a separator and the commands to the window's menu, and calls `run` with a command's
// identifier when the user chooses it. Windows: the system menu (texts in the ANSI code page),
// taking the WM_SYSCOMMAND messages whose wParam is exactly one of the identifiers and passing
// every other message on; Alt+Space opens the menu the system's way, so that a command chosen
// by keyboard comes the same road as one chosen with the mouse. Elsewhere: the context menu of the
// window and of the labels it has at this call (text boxes keep their edit menus).
void installWindowMenu(QWidget& window, const MenuCommands& commands,
                       const std::function<void(int)>& run);

// Closes `window` as its close box would when the user's session ends (Windows: on
// WM_ENDSESSION, before the system ends the process); elsewhere the program's end signals do it.
// Also when the window is asked to close while a notice or dialog of the program is up, which Qt
// alone would ignore: Windows: WM_CLOSE (the close box, Alt+F4, the system menu, taskkill);
// X11: the window manager's WM_DELETE_WINDOW (the close box, Alt+F4, the window menu).
void closeWhenSessionEnds(QWidget& window);

// Keeps the top-level `window` above other windows, or no longer, without recreating, hiding or
// moving it (Windows: SetWindowPos with HWND_TOPMOST or HWND_NOTOPMOST).
void setStaysOnTop(QWidget& window, bool on);

// The window's outer rectangle, frame included, in device-independent pixels, as the window
// system has it (Windows: GetWindowRect; Qt's own idea of the frame can be a few pixels off).
QRect outerGeometry(const QWidget& window);

// Moves and sizes the top-level `window` so that its outer rectangle is `outer`.
void setOuterGeometry(QWidget& window, const QRect& outer);

// The platform's modal message box with the information icon and one OK button; returns when
// it has been closed.
void showInformation(QWidget* owner, const QString& title, const QString& text);

// Makes the standard output and error of an option that ends the program at once
// (--forget-certificates, --help) reach the user, and says whether they do. Windows: a windowed
// program started from a console (Command Prompt, PowerShell) writes to that console, one whose
// output is redirected to that file or pipe; one started from Explorer, Win+R or a shortcut has
// neither, and false is returned. Elsewhere standard output is always there: true.
bool attachStartingConsole();

} // namespace quorvane::app::desktop
