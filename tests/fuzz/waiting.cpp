// "Journal en attente.csv" as the next start reads it, any bytes: what reads as entries packs
// again and reads back the same (and nothing when cut short or zeroed), and written to any journal file once, a second write of them
// adds nothing: a line is never written twice.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "run/uJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const auto entries = ReadWaiting(bytes);
  if (!entries) return 0;
  const std::string packed = PackWaiting(*entries);
  Check(ReadWaiting(packed) == entries, "the waiting entries do not pack back as read");
  // Cut short anywhere, or zeros, as a power cut leaves it: read as nothing.
  for (size_t cut = 1; cut < packed.size(); cut += 1 + cut / 8)
    Check(!ReadWaiting(packed.substr(0, cut)), "a waiting file cut short read as entries");
  Check(!ReadWaiting(std::string(packed.size(), '\0')), "a waiting file of zeros read as entries");
  // The file: the waiting bytes themselves, cut anywhere, as a stand-in for any earlier journal.
  for (const std::string &file : {std::string(), bytes.substr(0, size / 2)}) {
    const std::string once = file + JournalAppend(file, *entries);
    Check(JournalAppend(once, *entries).empty(), "written again, a line doubled");
  }
  return 0;
}
