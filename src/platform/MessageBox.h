#pragma once

// The platform's modal message box. The window installs a Qt box; tests
// install a recorder; without either the text goes to standard error and the
// box answers as if the user took the safe choice (OK, or No).
#include <functional>
#include <string>

#include "platform/WinTypes.h"

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_SYSTEMMODAL = 0x1000;

// The two boxes the program shows of its own.
namespace MESSAGEBOX {
enum class MessageKind { Error, Information };
}  // namespace MESSAGEBOX

constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// owner: the window the box belongs to; always null in this program.
int MessageBoxA(void* owner, const char* text, const char* caption, UINT type);

// Shows the box and returns the button pressed (IDOK, IDYES or IDNO).
using MessageBoxHandler =
    std::function<int(const std::string& text, const std::string& caption, UINT type)>;
// Installs the handler and returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
