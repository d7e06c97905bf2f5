#pragma once
#include <windows.h>

#include <commdlg.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run/uChronoType.h"
#include "run/uExamPaper.h"
#include "settings/uCommandLine.h"
#include "settings/uConfigAbstract.h"
#include "settings/uExamPlanFile.h"

// Every user setting of the program, each bound to its registry value of the same name.
class TConfig : public TConfigAbstract {
public:
  TConfig();

  bool BeepActive = false;
  int32_t TypeInc = 0;
  std::string FinalBeepPath;
  std::string IntermediateBeepPath;
  std::unique_ptr<TTimeTavelin> TotalTime;
  std::unique_ptr<TTimeTavelin> InterBeepTime;
  int32_t TypeFinalSound = 0;
  int32_t TypeBeepSound = 0;
  int32_t UserScreenSize = 1;
  // At the end of a run the display goes on, in red, with the time beyond the end.
  bool CountOvertime = false;
  // UserScreenSize 0 to 4 are the fixed display sizes, 5 + k a full-width display on monitor k
  // (up to 16 monitors); any other value is no display size.
  static constexpr int32_t DisplaySizeEnd = 5 + 16;

  // The longest duration the main window can enter: 24 h 59 min 59 s.
  static constexpr uint32_t MaxDuration = 89999;

  // --- Exams: warnings before the end, extra time, the clock under the display -----------------
  // The warnings in minutes before the end, "30 10 5" (largest first), empty for none.
  std::string WarnMinutes;
  // A third more time for the candidates who are granted it.
  bool ExtraThird = false;
  // The time of day and the end shown under the display.
  bool ShowClock = false;
  // The warning's sound: 0 built in, 1 the WAV file WarnSoundPath.
  int32_t TypeWarnSound = 0;
  std::string WarnSoundPath;
  // The events of each run appended to the journal file, Documents\Tavelin\Journal.csv.
  bool KeepJournal = false;
  // The seconds digits dark until this many minutes are left to the end; 0: always lit.
  int32_t SecondsNearEnd = 0;
  static constexpr int32_t MaxSecondsNearEnd = 999;
  // Candidates may leave for good, and latecomers come in, this many minutes after the start;
  // 0: the room has no such moment.
  int32_t ExitMinutes = 0;
  // A run of one épreuve shows the time of day in its digits and its line under the gauge, as a
  // board does.
  bool ClockDigits = false;
  // The épreuves of a run, all started together: the first is the run as the main window sets
  // it, named FirstName (empty: "Épreuve 1"), its tiers-temps ExtraThird; Papers are the others
  // in their order (Epreuves in the registry, at most MaxPapers - 1, each name once).
  std::string FirstName;
  std::vector<TExamPaper> Papers;
  // WarnMinutes as numbers: largest first, at most three, each 1 to 999.
  std::vector<uint32_t> WarnMinuteList() const;
  void SetTypeWarnSound(int32_t value);

  void DefineFields() override;
  void SetBeepActive(bool active);
  // The timing threads read the beep switch while the user interface may change it.
  bool ReadBeepActive() const;
  void SetTypeInc(int32_t value) { TypeInc = value; }
  void SetTypeFinalSound(int32_t value);
  void SetTypeBeepSound(int32_t value);
  // which: 0 the final sound, 1 the beep, 2 the warning.
  void SelectSoundFile(int32_t which);
  void Save() { SaveSettings(); }
  int32_t GetScreenWidth() const;

  // --- Plans ---------------------------------------------------------------------------------
  // The folder of the last plan opened or saved, where the next dialog starts.
  std::string PlanFolder;
  // The last plans opened or saved, the latest first, "|" between them (no path holds one).
  std::string RecentPlans;
  static constexpr size_t MaxRecentPlans = 4;
  std::vector<std::string> RecentPlanList() const;
  // The plan put first in the list, and its folder kept.
  void RememberPlan(const std::string &path);
  // The plan of this session, opened or saved, and its file: held as the command line is, for
  // this session only.
  std::optional<TExamPlanFile> Plan;
  std::string PlanPath;
  // A plan's run held for this session, over the stored settings (which a save leaves as they
  // were, but for what a window changes). firstSeconds: the first épreuve's length when it ends
  // at a time of day and the plan has no start (0: as it stands).
  // lateSeconds: counted from an official start that passed this long ago, every length and the
  // first hour are shorter by as much (an épreuve already over is left out).
  void HoldPlan(const TExamPlanFile &plan, uint32_t firstSeconds, uint32_t lateSeconds = 0);
  // The run as the settings hold it now, as a plan: the held plan's name, room and start, and
  // the end times it gave where they still hold; `name` when no plan is held. The main window's
  // end time (-1: none) ends the first épreuve. Throws what keeps it from being a plan.
  TExamPlanFile PlanOfSettings(const std::string &name, int endMinute) const;

  // --- The command line -----------------------------------------------------------------------
  // Its values, for this session only, before any window reads them. secondsToEnd: the time left
  // until its end time (0 for none); such a run counts down unless a direction is given, as the
  // end-time dialog has it.
  void ApplyCommandLine(const TCommandLine &line, uint32_t secondsToEnd);

  // The display size that a screen of this width suggests (any other width gives 1).
  static int32_t ScreenSizeForWidth(int width);
  // The primary screen's width as a 96-DPI screen would have it (its pixels over its scale).
  static int PrimaryWidthAt100();

  // The system's open-file dialog; tests put their own chooser here.
  // Returns true with the chosen path when the user confirms.
  using TFileChooser = std::function<bool(const std::string &title, const std::string &initial,
                                          std::string &chosen)>;
  static TFileChooser FileChooser;
  static bool SystemFileChooser(const std::string &title, const std::string &initial,
                                std::string &chosen);
  // The platform's GetOpenFileNameA under SystemFileChooser; tests look at the thread from here.
  using TOpenFileProc = BOOL(WINAPI *)(OPENFILENAMEA *ofn);
  static TOpenFileProc OpenFileProc;

private:
  void DefineExamFields();
  void DefinePlanFields();
  void HealExamSettings();
};

extern TConfig *AppConfig;
// The settings unit's start and end: created before any window, released after the last.
void CreateAppConfig();
void ReleaseAppConfig();
