// libFuzzer's entry for one target, named by TOLVANE_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>

#include "FuzzTargets.h"

#ifdef TOLVANE_FUZZ_GUI
#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Arguments of its own, so that Qt takes none of libFuzzer's.
  static int argc = 1;
  static char name[] = "tolvane-fuzzer";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
  return 0;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FUZZTARGETS::TOLVANE_FUZZ_TARGET(data, size);
}
