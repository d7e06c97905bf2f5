// The record of an open run as the next start reads it from the registry, any version, any bytes.
// Input: the clock now (8 bytes, little-endian), then the stored value.
// What it accepts is written again as the current version and read back the same, and placed
// again on the clock where it stood.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_check.h"
#include "run/uRunRecord.h"
#include "run/uRunSession.h"

namespace {

bool SamePlace(const TRunPlace &a, const TRunPlace &b) {
  return a.RunTime == b.RunTime && a.PausedBefore == b.PausedBefore && a.Paused == b.Paused &&
         a.PausedFor == b.PausedFor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 8) return 0;
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) bits |= uint64_t{data[i]} << (8 * i);
  const auto now = static_cast<int64_t>(bits);
  const TTakeUp read = AssessRunRecord(data + 8, size - 8, now);
  if (read.Kind == TTakeUpKind::NoRun) return 0;

  const TRunRecord &r = read.Record;
  Check(r.SavedUtcMs <= now && r.StartUtcMs <= r.SavedUtcMs, "the run placed after now");
  Check(r.Papers.size() <= RunRecordMaxPapers, "too many épreuves");
  for (const TRunRecordPaper &exam : r.Papers)
    Check(exam.Name.size() <= RunRecordPaperNameSize, "a name longer than its room");
  Check(read.Place.RunTime.count() >= 0 && read.Place.PausedFor.count() >= 0,
        "a run time or a pause below zero");

  const TRunRecordBytes bytes = PackRunRecord(r);
  const TTakeUp again = AssessRunRecord(bytes.data(), bytes.size(), now);
  Check(again.Kind == read.Kind, "written again, read otherwise");
  Check(again.Record == r, "written again, read back different");
  Check(SamePlace(again.Place, read.Place) && again.EndUtcMs == read.EndUtcMs,
        "written again, placed elsewhere");

  // The events kept with it, when they read, are the run's as its session packed them.
  if (const auto events = ReadRunEvents(r.Events.data(), r.Events.size()); events && r.Events[4] == 2)
    Check(PackRunEvents(*events) == r.Events, "the record's events do not pack back as read");

  // Placed again where it stands now, the record is the one read, saved now.
  TRunRecord placed = r;
  PlaceRunRecord(placed, read.Place, now);
  TRunRecord saved = r;
  saved.SavedUtcMs = now;
  Check(placed == saved, "placed again elsewhere");
  return 0;
}
