// A plan's file as anyone may write it: any bytes. A plan read is one that the checks accept, and
// written again it reads back the same plan from the same bytes; a plan refused names a line of
// the file (or none) and says what is wrong.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "settings/uExamPlanFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  TExamPlanFile plan;
  try {
    plan = ReadPlanFile(bytes);
  } catch (const EPlanFile &e) {
    const size_t lines = size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    Check(e.Line <= lines, "a fault told at a line the file does not have");
    Check(!e.What.empty(), "a fault that says nothing");
    return 0;
  }
  Check(PlanFault(plan).empty(), "a plan read that its checks refuse");
  const std::string text = PlanFileText(plan);
  Check(text.rfind("\xEF\xBB\xBF", 0) == 0, "a plan written without its byte-order mark");
  TExamPlanFile again;
  try {
    again = ReadPlanFile(text);
  } catch (const EPlanFile &e) {
    Check(false, "a plan written reads no more");
  }
  Check(again == plan, "a plan written reads back otherwise");
  Check(PlanFileText(again) == text, "a plan written twice differs");
  return 0;
}
