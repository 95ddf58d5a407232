#include "platform/MessageBox.h"

#include <iostream>
#include <utility>

namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

int MessageBoxA(void*, const char* text, const char* caption, UINT type) {
  const std::string textValue = text ? text : "";
  const std::string captionValue = caption ? caption : "";
  if (Handler()) return Handler()(textValue, captionValue, type);
  std::cerr << captionValue << ": " << textValue << "\n";
  return (type & MB_YESNO) == MB_YESNO ? IDNO : IDOK;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
