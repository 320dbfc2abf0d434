#include "base/imr_trace.h"

unsigned int IMR_DebugFlag = 0x200;

void IMR_LogCaught(const char* prefix, const char* what, const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const ZQ_EException& e) {
    ZQ_TString text = ZQ_TString::Format(prefix, what);
    ZQMESG_Log("%s(%s: %s)\n", text.Narrow(), e.ClassName(), e.Text().Narrow());
  } catch (...) {
    ZQ_TString text = ZQ_TString::Format(prefix, what);
    ZQMESG_Log("%s(non-ZQ exception)\n", text.Narrow());
  }
}
