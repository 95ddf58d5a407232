#pragma once

// The platform's shell: opens a document or address with the program
// registered for it, without waiting for it.
#include <cstdint>
#include <functional>
#include <string>

constexpr int SW_SHOWNORMAL = 1;

// Returns a value above 32 when the shell took the request, as the original
// does; callers of this program ignore it.
intptr_t ShellExecuteA(void* owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int showCommand);

// Opens target with verb; true when the shell took it. The default hands the
// target to the desktop (a "file:///" target naming a local path becomes a
// local file address).
using ShellHandler = std::function<bool(const std::string& verb, const std::string& target)>;
// Installs the handler and returns the one it replaces.
ShellHandler SetShellHandler(ShellHandler handler);

// The address the desktop is given for a shell target.
std::string ShellTargetUrl(const std::string& target);
