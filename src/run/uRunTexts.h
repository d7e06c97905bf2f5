// uRunTexts - what the display and the control bar write of a run: the band under the gauge, the
// warnings on the gauge, the ends on the bar. Free of any platform header.
#pragma once

#include <string>
#include <vector>

#include "run/uExamPlan.h"
#include "run/uRunModel.h"

// "Plus que 10 min", "Fin du temps normal"; empty for no event.
std::string ExamEventText(const TExamEvent &event);
// The same for one épreuve of several: "Anglais : plus que 10 min", "Anglais : fin du temps
// normal", "Fin : Anglais". Without a name, the run's own texts (and none for an épreuve's end).
std::string ExamEventText(const TExamEvent &event, const std::string &paperName);
// "Sortie à partir de 10 h 00", then "Sortie autorisée"; empty for a run without that moment.
std::string ExitText(const TRunTimes &times);
// "Il est 10 h 12   Début 9 h 00   Fin 10 h 45   Tiers-temps 11 h 25   Sortie autorisée": the
// parts that apply.
std::string ClockBandText(int64_t nowLocalMs, const TRunTimes &times);
// Before an official start: "Début à 8 h 00".
std::string StartText(int64_t startLocalMs);
// The band while the room waits for it: "Il est 7 h 58   Début à 8 h 00   Fin 12 h 00   Tiers-temps
// 13 h 20", the ends those of the run started then.
std::string WaitingBandText(int64_t nowLocalMs, int64_t startLocalMs, const TRunTimes &times);
// "Fin à 10 h 45", " · 11 h 25" for the extended end, and " (+12 min)" for time added.
std::string EndPanelText(const TRunTimes &times);
// " (+12 min)", " (-5 min)": the time added to a run, to the nearest minute; empty for none.
std::string AddedText(int seconds);
// "0:45:00"
std::string ShortDuration(uint32_t seconds);
// The run's plan, for the journal: "Compte à rebours de 2:00:00, fin 11 h 00, tiers-temps
// 11 h 40", "Fin à 10 h 45", "Chronométrage sans fin".
std::string RunPlanText(bool countsDown, bool toTimeOfDay, const TRunEnds &ends,
                        const TRunTimes &times);
// Its ends as they stand, for the journal: "fin 10 h 57, tiers-temps 11 h 37".
std::string RunEndsText(const TRunTimes &times);
// The take-up question: "Un chronométrage commencé à 9 h 00 (fin à 10 h 45) a été interrompu ;
// il en serait à 1:50:12. Le reprendre ?". endText empty for a run without an end of day.
std::string TakeUpQuestion(const std::string &startText, const std::string &endText, bool paused,
                           uint32_t digitsSeconds);
// A step of the wall clock, for the journal: "avancée de 2 min 05 s", "retardée de 1 h 00 min
// 00 s". The journal's texts never begin with a sign, which a spreadsheet takes for a formula.
std::string ClockStepText(int64_t ms);
// Time added, for the journal: "12 min de plus, Alarme incendie", "5 min de moins", and under a
// minute to the second ("19 s de moins": a run brought to its end moved by less).
std::string TimeAddedDetail(int seconds, const std::string &reason);
// What time added would change, for the dialog that proposes it: "Fin reportée de 10 h 45 à
// 10 h 57" and "Tiers-temps reporté de 11 h 25 à 11 h 37" for a run to a time of day, "Temps total
// porté de 2:00:00 à 2:12:00" for a duration; an end that has come, or that stays, is not named.
std::vector<std::string> AddedTimeLines(bool toTimeOfDay, const TRunTimes &before,
                                        const TRunTimes &after, const TRunEnds &endsBefore,
                                        const TRunEnds &endsAfter);
