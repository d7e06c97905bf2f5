// uRunRecord - the record of an open run. See the header for its layout.
#include "timing/uRunRecord.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

template <class T>
void Put(TRunRecordBytes& out, size_t at, T value) {
  auto bits = static_cast<uint64_t>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <class T>
T Get(const uint8_t* in, size_t at) {
  uint64_t bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) bits |= uint64_t{in[at + i]} << (8 * i);
  return static_cast<T>(bits);
}

int64_t Ms(nanoseconds d) { return std::chrono::duration_cast<milliseconds>(d).count(); }

// A flag byte is 0 or 1; anything else is not ours.
bool Flag(const uint8_t* in, size_t at, bool& flag) {
  flag = in[at] == 1;
  return in[at] <= 1;
}

bool Unpack(const uint8_t* in, TRunRecord& r) {
  if (Get<uint32_t>(in, 0) != RunRecordVersion) return false;
  r.TotalSeconds = Get<uint32_t>(in, 4);
  r.InterBeepSeconds = Get<uint32_t>(in, 8);
  r.StartUtcMs = Get<int64_t>(in, 12);
  r.PausedMs = Get<int64_t>(in, 20);
  r.PausedSinceUtcMs = Get<int64_t>(in, 28);
  r.SavedUtcMs = Get<int64_t>(in, 36);
  r.EndMinute = Get<int32_t>(in, 44);
  r.ExtraSeconds = Get<uint32_t>(in, 48);
  r.UserScreenSize = Get<int32_t>(in, 52);
  r.TypeInc = in[56];
  r.SessionOnly = in[61];
  bool ok = r.TypeInc <= 1 && Flag(in, 57, r.BeepActive) && Flag(in, 58, r.Paused) &&
            Flag(in, 59, r.ExtraThird) && Flag(in, 60, r.CountOvertime) &&
            r.SessionOnly < (1u << RunRecordSettings.size()) && in[62] == 0 && in[63] == 0;
  return ok && r.TotalSeconds <= RunRecordMaxSeconds &&
         r.InterBeepSeconds <= RunRecordMaxSeconds && r.ExtraSeconds <= RunRecordMaxSeconds &&
         r.EndMinute >= -1 && r.EndMinute < 24 * 60 && r.UserScreenSize >= 0 &&
         r.UserScreenSize < RunRecordScreenSizes && r.PausedMs >= 0 &&
         r.StartUtcMs <= r.SavedUtcMs && (r.Paused || r.PausedSinceUtcMs == 0);
}

}  // namespace

TRunRecordBytes PackRunRecord(const TRunRecord& r) {
  TRunRecordBytes out{};
  Put(out, 0, RunRecordVersion);
  Put(out, 4, r.TotalSeconds);
  Put(out, 8, r.InterBeepSeconds);
  Put(out, 12, r.StartUtcMs);
  Put(out, 20, r.PausedMs);
  Put(out, 28, r.Paused ? r.PausedSinceUtcMs : int64_t{0});
  Put(out, 36, r.SavedUtcMs);
  Put(out, 44, r.EndMinute);
  Put(out, 48, r.ExtraSeconds);
  Put(out, 52, r.UserScreenSize);
  out[56] = r.TypeInc != 0 ? 1 : 0;
  out[57] = r.BeepActive;
  out[58] = r.Paused;
  out[59] = r.ExtraThird;
  out[60] = r.CountOvertime;
  out[61] = r.SessionOnly;
  return out;
}

void PlaceRunRecord(TRunRecord& r, const TRunPlace& place, int64_t nowUtcMs) {
  const int64_t pausedFor = place.Paused ? Ms(place.PausedFor) : 0;
  r.StartUtcMs = nowUtcMs - Ms(place.RunTime) - Ms(place.PausedBefore) - pausedFor;
  r.PausedMs = Ms(place.PausedBefore);
  r.Paused = place.Paused;
  r.PausedSinceUtcMs = place.Paused ? nowUtcMs - pausedFor : 0;
  r.SavedUtcMs = nowUtcMs;
}

TRunPlace RunPlaceAt(const TRunRecord& r, int64_t nowUtcMs) {
  TRunPlace place;
  place.Paused = r.Paused;
  place.PausedBefore = milliseconds(r.PausedMs);
  const int64_t stoodAt = r.Paused ? r.PausedSinceUtcMs : nowUtcMs;
  if (r.Paused) place.PausedFor = milliseconds(nowUtcMs - r.PausedSinceUtcMs);
  place.RunTime = milliseconds(stoodAt - r.StartUtcMs - r.PausedMs);
  return place;
}

TTakeUp AssessRunRecord(const uint8_t* data, size_t size, int64_t nowUtcMs) {
  TTakeUp result;
  TRunRecord& r = result.Record;
  if (data == nullptr || size != RunRecordSize || !Unpack(data, r)) return {};
  // A start ahead of the clock, or so far back that the run cannot be the one left open.
  if (r.StartUtcMs > nowUtcMs || nowUtcMs - r.StartUtcMs > RunRecordMaxAgeMs) return {};
  if (r.Paused && (r.PausedSinceUtcMs > nowUtcMs || r.PausedSinceUtcMs < r.StartUtcMs))
    return {};
  result.Place = RunPlaceAt(r, nowUtcMs);
  if (result.Place.RunTime < nanoseconds{0}) return {};
  // A tiers-temps run goes on to its extended end.
  const int64_t endMs =
      (int64_t{r.TotalSeconds} + (r.ExtraThird ? r.ExtraSeconds : 0)) * 1000;
  if (r.TotalSeconds != 0 && Ms(result.Place.RunTime) >= endMs) {
    result.Kind = TTakeUpKind::Ended;
    result.EndUtcMs = r.StartUtcMs + r.PausedMs + endMs;
  } else {
    result.Kind = TTakeUpKind::Going;
  }
  return result;
}
