// uRunTexts - what the display and the control bar write of a run: the band under the gauge, the
// warnings on the gauge, the ends on the bar. Free of any platform header.
#pragma once

#include <string>

#include "timing/uExamPlan.h"
#include "timing/uRunModel.h"

// "Plus que 10 min", "Fin du temps normal"; empty for no event.
std::string ExamEventText(const TExamEvent &event);
// "Il est 10 h 12   Début 9 h 00   Fin 10 h 45   Tiers-temps 11 h 25": the parts that apply.
std::string ClockBandText(int64_t nowLocalMs, const TRunTimes &times);
// "Fin à 10 h 45", and " · 11 h 25" for the extended end.
std::string EndPanelText(const TRunTimes &times);
