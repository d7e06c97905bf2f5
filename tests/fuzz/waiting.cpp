// "Journal en attente.csv" as the next start reads it, any bytes: what reads as entries packs
// again and reads back the same, and written to any journal file once, a second write of them
// adds nothing: a line is never written twice.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "timing/uJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const auto entries = ReadWaiting(bytes);
  if (!entries) return 0;
  Check(ReadWaiting(PackWaiting(*entries)) == entries, "the waiting entries do not pack back as read");
  // The file: the waiting bytes themselves, cut anywhere, as a stand-in for any earlier journal.
  for (const std::string &file : {std::string(), bytes.substr(0, size / 2)}) {
    const std::string once = file + JournalAppend(file, *entries);
    Check(JournalAppend(once, *entries).empty(), "written again, a line doubled");
  }
  return 0;
}
