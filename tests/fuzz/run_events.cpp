// The events of an open run, kept with its record: read back from any bytes, never past them.
// What reads as a run packs again to the same bytes (the first form, texts cut at 255 bytes
// and no places, packs as the present one), and reads back the same, every text whole.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "run/uRunSession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::optional<TJournal> run = ReadRunEvents(data, size);
  if (!run) return 0;
  const std::vector<uint8_t> packed = PackRunEvents(*run);
  const std::optional<TJournal> again = ReadRunEvents(packed.data(), packed.size());
  Check(again && again->RunStart() == run->RunStart() && again->Events() == run->Events() &&
            (data[4] == 1 || packed == std::vector<uint8_t>(data, data + size)),
        "the events do not pack back as they were read");
  for (size_t i = 1; i < run->Events().size(); ++i)
    Check(run->Events()[i].Index > run->Events()[i - 1].Index, "two events at one place");
  return 0;
}
