// uExamPlan - the exam clock's arithmetic. See the header.
#include "timing/uExamPlan.h"

#include <algorithm>

namespace {
// The smallest warning shorter than a stretch of `length` seconds, in seconds; 0 for none.
uint32_t SmallestWithin(const std::vector<uint32_t> &warnSeconds, uint32_t length) {
  uint32_t smallest = 0;
  for (uint32_t w : warnSeconds)
    if (w < length && (smallest == 0 || w < smallest)) smallest = w;
  return smallest;
}
}  // namespace

uint32_t ExtraThirdSeconds(uint32_t totalSeconds, bool wholeMinutes) {
  uint32_t extra = totalSeconds / 3 + (totalSeconds % 3 != 0);
  if (wholeMinutes) extra = (extra + 59) / 60 * 60;
  return extra;
}

TExamPlan::TExamPlan(uint32_t totalSeconds, uint32_t extraSeconds,
                     const std::vector<uint32_t> &warnMinutes)
    : total_(totalSeconds), extra_(totalSeconds == 0 ? 0 : extraSeconds) {
  if (total_ == 0) return;
  std::vector<uint32_t> seconds;
  for (uint32_t m : warnMinutes)
    if (m != 0 && m <= 999) seconds.push_back(m * 60);
  auto warn = [&](uint32_t end, uint32_t length) {
    for (uint32_t w : seconds)
      if (w < length) moments_.push_back({end - w, {TExamEventKind::Warning, w / 60}});
  };
  amberBefore_ = SmallestWithin(seconds, total_);
  warn(total_, total_);
  if (extra_ != 0) {
    moments_.push_back({total_, {TExamEventKind::NormalEnd, 0}});
    amberAfter_ = SmallestWithin(seconds, extra_);
    warn(total_ + extra_, extra_);
  }
  // Equal times cannot come from one stretch (no repeats) nor from two (each lies within its own).
  std::stable_sort(moments_.begin(), moments_.end(),
                   [](const TMoment &a, const TMoment &b) { return a.At < b.At; });
}

uint32_t TExamPlan::EndAt(uint32_t elapsed) const {
  return extra_ != 0 && elapsed < total_ ? total_ : total_ + extra_;
}

TExamEvent TExamPlan::LatestEvent(uint32_t before, uint32_t after) const {
  TExamEvent latest;
  for (const TMoment &m : moments_)
    if (m.At > before && m.At <= after) latest = m.Event;
  return latest;
}

bool TExamPlan::AmberAt(uint32_t elapsed) const {
  if (total_ == 0 || elapsed > Length()) return false;
  const bool beforeNormalEnd = extra_ != 0 && elapsed < total_;
  const uint32_t smallest = beforeNormalEnd || extra_ == 0 ? amberBefore_ : amberAfter_;
  return smallest != 0 && EndAt(elapsed) - elapsed <= smallest;
}
