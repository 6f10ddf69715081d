#pragma once
// The desktop services of the editor on Linux: well-known folders (the XDG
// user folders), the clipboard's text (the X selection) and opening a web
// address with the desktop's opener.

#include <string>

namespace x11services {

// Folder of the running program, with a trailing '/'; empty when unknown.
std::string HostFolder();
// Folder of the library holding this code, with a trailing '/'.
std::string LibraryFolder();
// The user's desktop folder (XDG_DESKTOP_DIR of the user-dirs file, else
// ~/Desktop), no trailing '/'.
std::string DesktopFolder();
// Application data: the first system data folder (XDG_DATA_DIRS) when
// system is set, else the user's (XDG_DATA_HOME, else ~/.local/share).
std::string AppDataFolder(bool system);

// The text on the clipboard as UTF-8, asked for on a connection of its own
// and waited for at most timeoutMs. False, with out empty, when there is no
// display, no text or no answer.
bool ClipboardText(std::string& out, int timeoutMs = 1000);

// Hands address to xdg-open without waiting for it. False when the address
// is empty or looks like an option, or the opener is missing.
bool OpenWebAddress(const char* address);

}  // namespace x11services
