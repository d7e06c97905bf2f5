#include <windows.h>

#include "settings/uConfig.h"

#include <algorithm>

#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "forms/uForms.h"
#include "forms/uSystemLib.h"

TConfig *AppConfig = nullptr;

TConfig::TFileChooser TConfig::FileChooser = &TConfig::SystemFileChooser;
TConfig::TOpenFileProc TConfig::OpenFileProc = &GetOpenFileNameA;

void CreateAppConfig() {
  if (!AppConfig) AppConfig = new TConfig();
}

void ReleaseAppConfig() {
  delete AppConfig;
  AppConfig = nullptr;
}

int TConfig::PrimaryWidthAt100() {
  return UnscaleLength(GetSystemMetrics(SM_CXSCREEN), PointDpi(POINT{0, 0}));
}

int32_t TConfig::ScreenSizeForWidth(int width) {
  switch (width) {
    case 640: return 0;
    case 800: return 1;
    case 1024: return 2;
    case 1152: return 3;
    case 1280: return 4;
    default: return 1;
  }
}

TConfig::TConfig() : TConfigAbstract(true) {
  Construct();
  // Values that only an edited registry can hold are brought into what the windows can show.
  if (UserScreenSize < 0 || UserScreenSize >= DisplaySizeEnd)
    UserScreenSize = ScreenSizeForWidth(PrimaryWidthAt100());
  if (TotalTime->GetTotalSeconds() > MaxDuration) *TotalTime->SecondsRef() = MaxDuration;
  HealExamSettings();
  SetBetaVersion(false);
  TotalTime->SetTotalSeconds(TotalTime->GetTotalSeconds());
  InterBeepTime->SetTotalSeconds(InterBeepTime->GetTotalSeconds());
  auto &notes = InfoVersion->NoteLines;
  notes.push_back("Note:");
  notes.push_back("");
  notes.push_back("Mon adresse:");
  notes.push_back("Fenwright - Lucien Marchetti");
  notes.push_back("14, rue des Tilleuls");
  notes.push_back("38100 Grenoble");
}

void TConfig::DefineFields() {
  TotalTime = std::make_unique<TTimeTavelin>();
  InterBeepTime = std::make_unique<TTimeTavelin>();
  int32_t screenSize = ScreenSizeForWidth(PrimaryWidthAt100());
  using F = TConfigFieldType;
  RegisterFields({
      MakeFieldDescRec("TotalTime", F::fdInteger, TotalTime->SecondsRef(), 0, int32_t(300)),
      MakeFieldDescRec("InterBeepTime", F::fdInteger, InterBeepTime->SecondsRef(), 0, int32_t(30)),
      MakeFieldDescRec("BeepActive", F::fdBoolean, &BeepActive, 0, false),
      MakeFieldDescRec("TypeFinalSound", F::fdInteger, &TypeFinalSound, 0, int32_t(0)),
      MakeFieldDescRec("FinalBeepPath", F::fdString, &FinalBeepPath, 0, std::string()),
      MakeFieldDescRec("TypeBeepSound", F::fdInteger, &TypeBeepSound, 0, int32_t(0)),
      MakeFieldDescRec("IntermediateBeepPath", F::fdString, &IntermediateBeepPath, 0, std::string()),
      MakeFieldDescRec("TypeInc", F::fdInteger, &TypeInc, 0, int32_t(0)),
      MakeFieldDescRec("UserScreenSize", F::fdInteger, &UserScreenSize, 0, screenSize),
      MakeFieldDescRec("CountOvertime", F::fdBoolean, &CountOvertime, 0, false),
  });
  DefineExamFields();
  DefinePlanFields();
}

// --- Exams -------------------------------------------------------------------------------------

void TConfig::DefineExamFields() {
  using F = TConfigFieldType;
  RegisterFields({
      MakeFieldDescRec("WarnMinutes", F::fdString, &WarnMinutes, 0, std::string()),
      MakeFieldDescRec("ExtraThird", F::fdBoolean, &ExtraThird, 0, false),
      MakeFieldDescRec("ShowClock", F::fdBoolean, &ShowClock, 0, false),
      MakeFieldDescRec("TypeWarnSound", F::fdInteger, &TypeWarnSound, 0, int32_t(0)),
      MakeFieldDescRec("WarnSoundPath", F::fdString, &WarnSoundPath, 0, std::string()),
      MakeFieldDescRec("KeepJournal", F::fdBoolean, &KeepJournal, 0, false),
      MakeFieldDescRec("SecondsNearEnd", F::fdInteger, &SecondsNearEnd, 0, int32_t(0)),
      MakeFieldDescRec("ExitMinutes", F::fdInteger, &ExitMinutes, 0, int32_t(0)),
      MakeFieldDescRec("ClockDigits", F::fdBoolean, &ClockDigits, 0, false),
      MakeFieldDescRec("FirstName", F::fdString, &FirstName, 0, std::string()),
      MakeFieldDescRec("Epreuves", F::fdPaperList, &Papers, 0, std::vector<TExamPaper>()),
  });
}

void TConfig::HealExamSettings() {
  // Told like a value of the wrong type, and for the same reason: the next save mends it. Once a
  // value: loading may have told of it already.
  auto tell = [this](const char *name) {
    if (std::find(HealedOnLoad.begin(), HealedOnLoad.end(), name) != HealedOnLoad.end()) return;
    HealedOnLoad.push_back(name);
    Application.HandleException(InvalidDataType(name));
  };
  bool valid = true;
  WarnMinutes = HealWarnMinutes(WarnMinutes, valid);
  if (!valid) tell("WarnMinutes");
  if (SecondsNearEnd < 0 || SecondsNearEnd > MaxSecondsNearEnd) {
    tell("SecondsNearEnd");
    SecondsNearEnd = 0;
  }
  if (ExitMinutes < 0 || ExitMinutes > int32_t(MaxExitMinutes)) {
    tell("ExitMinutes");
    ExitMinutes = 0;
  }
  if (!FirstName.empty() && PaperNameFault(FirstName) != TPaperNameFault::None) {
    tell("FirstName");
    FirstName.clear();
  }
  // The others were read each against those before it; now against the first, as it is shown.
  valid = true;
  Papers = ReadPaperLines(PaperLines(Papers), valid, {PaperName(FirstName, 0)});
  if (!valid) tell("Epreuves");
}

std::vector<uint32_t> TConfig::WarnMinuteList() const { return WarnMinuteValues(WarnMinutes); }

void TConfig::SetTypeWarnSound(int32_t value) {
  if (value == TypeWarnSound) return;
  TypeWarnSound = value;
  if (value == 1) SelectSoundFile(2);
}

void TConfig::SetBeepActive(bool active) {
  std::atomic_ref<bool>(BeepActive).store(active, std::memory_order_relaxed);
}

bool TConfig::ReadBeepActive() const {
  return std::atomic_ref<bool>(const_cast<bool &>(BeepActive)).load(std::memory_order_relaxed);
}

void TConfig::SetTypeFinalSound(int32_t value) {
  if (value == TypeFinalSound) return;
  TypeFinalSound = value;
  if (value == 1) SelectSoundFile(0);
}

void TConfig::SetTypeBeepSound(int32_t value) {
  if (value == TypeBeepSound) return;
  TypeBeepSound = value;
  if (value == 1) SelectSoundFile(1);
}

void TConfig::SelectSoundFile(int32_t which) {
  std::string label = which == 0   ? "Son final"
                      : which == 2 ? "son d'avertissement"
                                   : "son des beeps";
  std::string &target = which == 0   ? FinalBeepPath
                        : which == 2 ? WarnSoundPath
                                     : IntermediateBeepPath;
  std::string chosen;
  if (FileChooser && FileChooser("Sélectionnez le fichier pour le " + label, target, chosen))
    target = chosen;
}

bool TConfig::SystemFileChooser(const std::string &title, const std::string &initial,
                                std::string &chosen) {
  char file[MAX_PATH * 4] = {};
  initial.copy(file, sizeof file - 1);
  static const char filter[] = "Fichier son\0*.wav\0";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  // The active window (the options screen, say) is the one the dialog disables and gives back.
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
  // The Explorer-style dialog hosts the shell's objects, which need COM on this thread.
  TComScope com;
  if (!OpenFileProc(&ofn)) return false;
  chosen = file;
  return true;
}

int32_t TConfig::GetScreenWidth() const {
  switch (UserScreenSize) {
    case 0: return 640;
    case 1: return 800;
    case 2: return 1024;
    case 3: return 1152;
    case 4: return 1280;
    default: return 800;
  }
}

// --- Plans -------------------------------------------------------------------------------------

void TConfig::DefinePlanFields() {
  using F = TConfigFieldType;
  RegisterFields({
      MakeFieldDescRec("PlanFolder", F::fdString, &PlanFolder, 0, std::string()),
      MakeFieldDescRec("RecentPlans", F::fdString, &RecentPlans, 0, std::string()),
  });
}

std::vector<std::string> TConfig::RecentPlanList() const {
  std::vector<std::string> list;
  for (size_t at = 0; at < RecentPlans.size() && list.size() < MaxRecentPlans;) {
    size_t bar = RecentPlans.find('|', at);
    if (bar == std::string::npos) bar = RecentPlans.size();
    if (bar > at) list.push_back(RecentPlans.substr(at, bar - at));
    at = bar + 1;
  }
  return list;
}

void TConfig::RememberPlan(const std::string &path) {
  std::vector<std::string> list = RecentPlanList();
  std::erase_if(list, [&](const std::string &each) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, each.c_str(), -1, path.c_str(), -1) ==
           CSTR_EQUAL;
  });
  list.insert(list.begin(), path);
  if (list.size() > MaxRecentPlans) list.resize(MaxRecentPlans);
  RecentPlans.clear();
  for (const std::string &each : list) RecentPlans += (RecentPlans.empty() ? "" : "|") + each;
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) PlanFolder = path.substr(0, slash);
}

namespace {
// An épreuve's length: its own, or from the official start to its end.
uint32_t PlanSeconds(const TExamPlanFile &plan, const TPlanPaper &paper) {
  if (paper.EndMinute < 0 || plan.StartMinute < 0) return paper.Seconds;
  return uint32_t(paper.EndMinute - plan.StartMinute) * 60;
}
}  // namespace

void TConfig::HoldPlan(const TExamPlanFile &plan, uint32_t firstSeconds, uint32_t lateSeconds) {
  const TPlanPaper &first = plan.Papers.front();
  auto left = [lateSeconds](uint32_t seconds) { return seconds > lateSeconds ? seconds - lateSeconds : 0; };
  const uint32_t total = first.EndMinute >= 0 && plan.StartMinute < 0 ? firstSeconds
                                                                      : left(PlanSeconds(plan, first));
  if (total != 0) HoldForSession("TotalTime", int32_t(total));
  HoldForSession("TypeInc", int32_t(plan.CountsDown ? 1 : 0));
  HoldForSession("FirstName", first.Name);
  HoldForSession("ExtraThird", first.ExtraThird);
  std::vector<TExamPaper> others;
  for (size_t i = 1; i < plan.Papers.size(); ++i)
    if (const uint32_t seconds = left(PlanSeconds(plan, plan.Papers[i])); seconds != 0)
      others.push_back({plan.Papers[i].Name, seconds, plan.Papers[i].ExtraThird});
  HoldForSession("Epreuves", others);
  HoldForSession("WarnMinutes", WarnMinutesText(plan.WarnMinutes));
  HoldForSession("ExitMinutes", int32_t((left(plan.ExitMinutes * 60) + 59) / 60));
  HoldForSession("ShowClock", plan.ShowClock);
  HoldForSession("ClockDigits", plan.ClockDigits);
  HoldForSession("SecondsNearEnd", int32_t(plan.SecondsNearEnd));
  HoldForSession("CountOvertime", plan.CountOvertime);
  HoldForSession("KeepJournal", plan.KeepJournal);
  if (InterBeepTime->GetTotalSeconds() > TotalTime->GetTotalSeconds())
    HoldForSession("InterBeepTime", int32_t(TotalTime->GetTotalSeconds()));
  TotalTime->SetTotalSeconds(TotalTime->GetTotalSeconds());
  InterBeepTime->SetTotalSeconds(InterBeepTime->GetTotalSeconds());
  Plan = plan;
}

TExamPlanFile TConfig::PlanOfSettings(const std::string &name, int endMinute) const {
  TExamPlanFile plan;
  if (Plan) {
    plan.Name = Plan->Name;
    plan.Establishment = Plan->Establishment;
    plan.Room = Plan->Room;
    plan.StartMinute = Plan->StartMinute;
    plan.StartsByItself = Plan->StartsByItself;
  } else {
    // A file's name, cut to a plan's and without the spaces that the cut may leave at its end.
    plan.Name = name.substr(0, MaxPlanText);
    plan.Name.erase(plan.Name.find_last_not_of(' ') + 1);
  }
  const uint32_t total = TotalTime->GetTotalSeconds();
  if (total == 0 && endMinute < 0)
    throw ETavelinError("Un chronométrage sans fin n'est pas un plan d'examen: donnez-lui une "
                        "durée.");
  // An end time the held plan gave stays one while the length it makes is still the épreuve's.
  auto planned = [&](size_t row, const std::string &paperName, uint32_t seconds) {
    TPlanPaper paper{paperName, seconds};
    if (Plan && row < Plan->Papers.size() && Plan->Papers[row].EndMinute >= 0 &&
        Plan->Papers[row].Name == paperName && Plan->StartMinute >= 0 &&
        PlanSeconds(*Plan, Plan->Papers[row]) == seconds)
      paper = {paperName, 0, Plan->Papers[row].EndMinute};
    return paper;
  };
  TPlanPaper first = planned(0, PaperName(FirstName, 0), total);
  if (endMinute >= 0) first = {PaperName(FirstName, 0), 0, endMinute};
  first.ExtraThird = ExtraThird;
  plan.Papers.push_back(first);
  for (size_t i = 0; i < Papers.size(); ++i) {
    TPlanPaper paper = planned(i + 1, Papers[i].Name, Papers[i].Seconds);
    paper.ExtraThird = Papers[i].ExtraThird;
    plan.Papers.push_back(paper);
  }
  plan.CountsDown = TypeInc != 0;
  plan.WarnMinutes = WarnMinuteList();
  plan.ExitMinutes = uint32_t(ExitMinutes);
  plan.ShowClock = ShowClock;
  plan.ClockDigits = ClockDigits;
  plan.SecondsNearEnd = uint32_t(SecondsNearEnd);
  plan.CountOvertime = CountOvertime;
  plan.KeepJournal = KeepJournal;
  if (std::string fault = PlanFault(plan); !fault.empty())
    throw ETavelinError("Ce chronométrage ne peut pas être un plan d'examen: " + fault + ".");
  return plan;
}

// --- The command line --------------------------------------------------------------------------

void TConfig::ApplyCommandLine(const TCommandLine &line, uint32_t secondsToEnd) {
  if (line.TotalSeconds) HoldForSession("TotalTime", int32_t(*line.TotalSeconds));
  if (secondsToEnd > 0) {
    HoldForSession("TotalTime", int32_t(secondsToEnd));
    if (!line.TypeInc) HoldForSession("TypeInc", int32_t(1));
  }
  if (line.TypeInc) HoldForSession("TypeInc", *line.TypeInc);
  if (line.BeepActive) HoldForSession("BeepActive", *line.BeepActive);
  if (line.InterBeepSeconds) HoldForSession("InterBeepTime", int32_t(*line.InterBeepSeconds));
  if (line.UserScreenSize) HoldForSession("UserScreenSize", *line.UserScreenSize);
  if (line.CountOvertime) HoldForSession("CountOvertime", true);
  if (line.ExtraThird) HoldForSession("ExtraThird", true);
  if (line.KeepJournal) HoldForSession("KeepJournal", true);
  if (!line.Papers.empty()) HoldForSession("Epreuves", line.Papers);
  if (line.ExitMinutes) HoldForSession("ExitMinutes", int32_t(*line.ExitMinutes));
  if (line.ClockDigits) HoldForSession("ClockDigits", true);
  // The main window brings the interval within the duration when it shows them: brought there
  // now, the interval is the session's too, and the stored one stays as it was.
  if ((HeldForSession("TotalTime") || HeldForSession("InterBeepTime")) &&
      InterBeepTime->GetTotalSeconds() > TotalTime->GetTotalSeconds())
    HoldForSession("InterBeepTime", int32_t(TotalTime->GetTotalSeconds()));
  TotalTime->SetTotalSeconds(TotalTime->GetTotalSeconds());
  InterBeepTime->SetTotalSeconds(InterBeepTime->GetTotalSeconds());
}
