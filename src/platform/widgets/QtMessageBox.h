#pragma once

// The message box of the window: a modal QMessageBox with the stop or
// information icon and either one OK button or Yes and No.
#include <string>

#include "platform/WinTypes.h"

int ShowQtMessageBox(const std::string& text, const std::string& caption, UINT type);

// Makes MessageBoxA show ShowQtMessageBox.
void InstallQtMessageBox();
