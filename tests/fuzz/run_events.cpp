// The events of an open run, kept beside its record: read back from any bytes, never past them.
// What reads as a run packs again to the same bytes, and reads back the same.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "timing/uRunSession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::optional<TJournal> run = ReadRunEvents(data, size);
  if (!run) return 0;
  const std::vector<uint8_t> packed = PackRunEvents(*run);
  const std::optional<TJournal> again = ReadRunEvents(packed.data(), packed.size());
  Check(again && again->RunStart() == run->RunStart() && again->Events() == run->Events() &&
            packed == std::vector<uint8_t>(data, data + size),
        "the events do not pack back as they were read");
  return 0;
}
