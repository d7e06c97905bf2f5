// uRunTexts - the texts of a run. See the header.
#include "display/uRunTexts.h"

#include "timing/uEndTime.h"

std::string ExamEventText(const TExamEvent &event) {
  switch (event.Kind) {
    case TExamEventKind::Warning:
      return "Plus que " + std::to_string(event.Minutes) + " min";
    case TExamEventKind::NormalEnd:
      return "Fin du temps normal";
    case TExamEventKind::None:
      break;
  }
  return {};
}

std::string ClockBandText(int64_t nowLocalMs, const TRunTimes &times) {
  std::string text = "Il est " + MinuteTextAt(nowLocalMs);
  if (times.Started) text += "   Début " + MinuteTextAt(times.StartMs);
  if (times.HasEnd) text += "   Fin " + MinuteTextAt(times.NormalEndMs);
  if (times.HasEnd && times.HasExtended) text += "   Tiers-temps " + MinuteTextAt(times.ExtendedEndMs);
  return text;
}

std::string EndPanelText(const TRunTimes &times) {
  std::string text = "Fin à " + MinuteTextAt(times.NormalEndMs);
  if (times.HasExtended) text += " · " + MinuteTextAt(times.ExtendedEndMs);
  return text;
}
