#include <windows.h>

#include "app/UMain.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/uEndTimeScreen.h"
#include "app/uExamScreen.h"
#include "app/uPapersScreen.h"
#include "app/uPlanDocument.h"
#include "app/uProcesVerbal.h"
#include "app/uRunOwner.h"
#include "base/uText.h"
#include "display/uNavigChrono.h"
#include "forms/uApplication.h"
#include "options/uOptionsScreen.h"
#include "run/uEndTime.h"
#include "settings/uConfig.h"
#include "timing/uJournalKeeper.h"
#include "timing/uWallClock.h"

TMain *Main = nullptr;

namespace {
// Posted to the main window so that they act from the message loop, once a window is up.
constexpr UINT WM_COMMAND_LINE_START = WM_APP + 0x120;
constexpr UINT WM_START_RUN_NOW = WM_APP + 0x121;
constexpr UINT WM_PLAN_START = WM_APP + 0x122;
}  // namespace

TMain::TMain() : TForm(nullptr) {
  Bind("FormShow", &TMain::FormShow);
  Bind("changeTotalTime", &TMain::changeTotalTime);
  Bind("changeInterBeepTime", &TMain::changeInterBeepTime);
  Bind("changeIncrement", &TMain::changeIncrement);
  Bind("BtnActivateBeepClick", &TMain::BtnActivateBeepClick);
  Bind("LaunchChrono", &TMain::LaunchChrono);
  Bind("showOptionScreen", &TMain::showOptionScreen);
  Bind("showEndTimeScreen", &TMain::showEndTimeScreen);
  Bind("switchCountOvertime", &TMain::switchCountOvertime);
  Bind("showExamScreen", &TMain::showExamScreen);
  Bind("showPapersScreen", &TMain::showPapersScreen);
  Bind("showAboutBox", &TMain::showAboutBox);
  Bind("showProcesVerbal", &TMain::showProcesVerbal);
  Bind("closeApppl", &TMain::closeApppl);
  Bind("openPlan", &TMain::openPlan);
  Bind("savePlan", &TMain::savePlan);
  Bind("setfocusControl", &TMain::setfocusControl);
  RegisterCloseHandler("FormClose",
                       [this](TForm *sender, TCloseAction &action) { FormClose(sender, action); });
  LoadDesign("MAIN");
  PaintsOwnBackground = true;
  if (!Application.MainForm()) Application.SetMainForm(this);

  SetCaption(Application.Title());
  Get<TComboBox>("Combosens").SetItemIndex(AppConfig->TypeInc);
  auto &beep = Get<TButton>("BtnActivateBeep");
  beep.SetDown(AppConfig->BeepActive);
  beep.Tag = AppConfig->BeepActive ? 1 : 0;
  BtnActivateBeepClick(&beep);
  if (TMenuItem *overtime = FindMenu("MainPopup")->Find("MPCountOvertime"))
    overtime->Checked = AppConfig->CountOvertime;
  ListRecentPlans();
  OnJournalWaiting = [this] { ShowJournalState(); };
}

TMain::~TMain() { OnJournalWaiting = nullptr; }

void TMain::ShowJournalState() {
  // The bar and its dialogs take their captions from this one's: told here once the bar is gone.
  if (bar_) return;
  const std::string state = JournalStateText();
  std::string caption = AppConfig->GetTitleText(1);
  if (AppConfig->Plan) caption += " - " + AppConfig->Plan->Name;
  SetCaption(caption + (state.empty() ? "" : " - " + state));
}

void TMain::FormShow(TControl *) {
  ShowJournalState();
  const char *total[3] = {"SpinChour", "SpinCmin", "SpinCsec"};
  const char *beep[3] = {"SpinBhour", "SpinBmin", "SpinBsec"};
  for (uint8_t part = 0; part < 3; ++part)
    Get<TSpinEdit>(total[part]).SetValue(AppConfig->TotalTime->GetTimePart(part));
  for (uint8_t part = 0; part < 3; ++part)
    Get<TSpinEdit>(beep[part]).SetValue(AppConfig->InterBeepTime->GetTimePart(part));
}

void TMain::FormClose(TForm *, TCloseAction &) {
  AppConfig->SaveWindowSetting(wkMainWindow, nullptr, 0);
  AppConfig->Save();
}

void TMain::changeTotalTime(TControl *Sender) {
  if (Sender->Tag < 1 || Sender->Tag > 3) return;
  auto *box = dynamic_cast<TSpinEdit *>(Sender);
  if (!box) return;
  endMinute_ = -1;  // the duration typed in wins over an end time chosen before
  AppConfig->TotalTime->SetTimePart(uint8_t(Sender->Tag - 1), uint8_t(box->Value()));
}

void TMain::changeInterBeepTime(TControl *Sender) {
  if (Sender->Tag >= 1 && Sender->Tag <= 3)
    if (auto *box = dynamic_cast<TSpinEdit *>(Sender))
      AppConfig->InterBeepTime->SetTimePart(uint8_t(Sender->Tag - 1), uint8_t(box->Value()));
  // The interval never exceeds the duration once an interval box has changed.
  TTimeTavelin &total = *AppConfig->TotalTime, &interval = *AppConfig->InterBeepTime;
  if (total.GetTotalSeconds() < interval.GetTotalSeconds()) {
    interval.SetTotalSeconds(total.GetTotalSeconds());
    Get<TSpinEdit>("SpinBhour").SetValue(interval.GetTimePart(0));
    Get<TSpinEdit>("SpinBmin").SetValue(interval.GetTimePart(1));
    Get<TSpinEdit>("SpinBsec").SetValue(interval.GetTimePart(2));
  }
}

void TMain::changeIncrement(TControl *) {
  AppConfig->SetTypeInc(Get<TComboBox>("Combosens").ItemIndex());
}

void TMain::BtnActivateBeepClick(TControl *Sender) {
  auto &button = *dynamic_cast<TButton *>(Sender);
  auto &beepbox = Get<TGroupBox>("beepbox");
  auto &cfgpanel = Get<TPanel>("cfgpanel");
  if (button.Tag == 1) {
    beepbox.SetVisible(true);
    button.Tag = 0;
    cfgpanel.SetHeight(Scaled(158));
    button.SetHint("Désactiver les beep");
  } else {
    button.Tag = 1;
    beepbox.SetVisible(false);
    button.SetDown(false);
    cfgpanel.SetHeight(Scaled(110));
    button.SetHint("Activer les beep");
  }
  AppConfig->SetBeepActive(beepbox.Visible());
  // With the beep box hidden the gradient shows under the shortened panel.
  Invalidate();
}

void TMain::LaunchChrono(TControl *) {
  // An end time is for the next control bar only, whatever happens to it.
  const int endMinute = std::exchange(endMinute_, -1);
  const bool endFromCommandLine = std::exchange(endFromCommandLine_, false) && endMinute >= 0;
  // The run outlives the bar that shows it.
  TRunOwner run;
  std::unique_ptr<TNavigChrono> bar;
  SetCaption(AppConfig->GetTitleText(1));
  try {
    bar = std::make_unique<TNavigChrono>(this, run);
    bar->SetEndTime(endMinute);
    if (AppConfig->Plan && AppConfig->Plan->StartMinute >= 0 && !startAtOnce_)
      run.AwaitStart(AppConfig->Plan->StartMinute, AppConfig->Plan->StartsByItself);
    bar->HeldByCaller = true;  // freed here, once, whatever its close handler asks
    bar_ = bar.get();
    if (std::exchange(startAtOnce_, false)) PostMessageA(Handle(), WM_START_RUN_NOW, 0, 0);
    bar->ShowModal();
    bar_ = nullptr;
    ShowJournalState();
    // The run worked its duration out from the end again as it started: still the session's.
    if (endFromCommandLine) {
      AppConfig->FollowSessionValue("TotalTime");
      AppConfig->FollowSessionValue("InterBeepTime");
    }
  } catch (...) {
    // The control bar goes all the same, and the main window stays usable.
    bar_ = nullptr;
    bar.reset();
    ShowJournalState();
    EnableWindow(Handle(), TRUE);
    if (!Visible()) Show();
    throw;
  }
}

void TMain::showOptionScreen(TControl *) {
  // Freed when its modal loop returns, also when an exception leaves it.
  auto options = std::make_unique<TOptionsScreen>(this);
  options->ShowModal();
}

void TMain::showEndTimeScreen(TControl *) {
  auto dialog = std::make_unique<TEndTimeScreen>(this);
  if (dialog->ShowModal() != mrOk) return;
  // A count-down of the time left, which the boxes show as they would any duration; the end is
  // remembered after them, since a change of theirs forgets it.
  Get<TComboBox>("Combosens").SetItemIndex(1);
  AppConfig->SetTypeInc(1);
  TTimeTavelin left;
  left.SetTotalSeconds(dialog->SecondsLeft());
  Get<TSpinEdit>("SpinChour").SetValue(left.GetTimePart(0));
  Get<TSpinEdit>("SpinCmin").SetValue(left.GetTimePart(1));
  Get<TSpinEdit>("SpinCsec").SetValue(left.GetTimePart(2));
  AppConfig->TotalTime->SetTotalSeconds(left.GetTotalSeconds());
  endMinute_ = dialog->EndMinute();
  endFromCommandLine_ = false;
}

void TMain::switchCountOvertime(TControl *) {
  AppConfig->CountOvertime = !AppConfig->CountOvertime;
  if (TMenuItem *overtime = FindMenu("MainPopup")->Find("MPCountOvertime"))
    overtime->Checked = AppConfig->CountOvertime;
}

void TMain::showExamScreen(TControl *) {
  // Its OK stores and saves the settings itself; freed also when an exception leaves its loop.
  auto dialog = std::make_unique<TExamScreen>(this);
  dialog->ShowModal();
}

void TMain::showPapersScreen(TControl *) {
  // Its first row shows the next run as this window has it, to its end time if one is chosen.
  auto dialog = std::make_unique<TPapersScreen>(this, endMinute_);
  dialog->ShowModal();
}

void TMain::showAboutBox(TControl *) { AppConfig->InfoVersion->ShowAbout(); }

void TMain::showProcesVerbal(TControl *) { ShowProcesVerbal(Handle()); }

void TMain::closeApppl(TControl *) { Close(); }

// --- Plans -------------------------------------------------------------------------------------

void TMain::openPlan(TControl *) {
  std::string path;
  if (ChoosePlanFile(Handle(), false, "", path)) OpenPlan(path);
}

void TMain::savePlan(TControl *) {
  // The name a new plan takes is its file's: asked for first, it is checked once chosen.
  std::string suggested = AppConfig->Plan ? AppConfig->Plan->Name : std::string("Plan d'examen");
  for (char &c : suggested)
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = ' ';
  AppConfig->PlanOfSettings(suggested, endMinute_);  // what keeps the run from being a plan, first
  std::string path;
  if (ChoosePlanFile(Handle(), true, suggested + PlanExtension, path)) SavePlan(path);
}

bool TMain::OpenPlan(const std::string &path) {
  TExamPlanFile plan;
  try {
    plan = ReadPlanDocument(path);
  } catch (const ETavelinError &e) {
    ShowMessageBox(e.what(), "Avertissement", MB_OK | MB_ICONWARNING);
    return false;
  }
  // A first épreuve to a time of day, with no official start, is a run to that end, as the
  // end-time dialog makes one.
  const int end = plan.StartMinute < 0 ? plan.Papers.front().EndMinute : -1;
  const uint32_t secondsToEnd = end >= 0 ? RunUntilEnd(end, LocalMsOfDay()).Seconds : 0;
  AppConfig->HoldPlan(plan, secondsToEnd);
  AppConfig->PlanPath = path;
  AppConfig->RememberPlan(path);
  ListRecentPlans();
  Get<TComboBox>("Combosens").SetItemIndex(AppConfig->TypeInc);
  if (TMenuItem *overtime = FindMenu("MainPopup")->Find("MPCountOvertime"))
    overtime->Checked = AppConfig->CountOvertime;
  FormShow(this);  // the boxes, whose change forgets an end time: it is set after them
  endMinute_ = secondsToEnd > 0 ? end : -1;
  endFromCommandLine_ = false;
  if (end >= 0 && secondsToEnd == 0)
    ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
  if (plan.StartMinute >= 0) PostMessageA(Handle(), WM_PLAN_START, 0, 0);
  return true;
}

void TMain::SavePlan(const std::string &path) {
  std::string name = ExeFileName(path);
  name = name.substr(0, name.rfind('.'));
  const TExamPlanFile plan = AppConfig->PlanOfSettings(name, endMinute_);
  WritePlanDocument(path, plan);
  AppConfig->Plan = plan;
  AppConfig->PlanPath = path;
  AppConfig->RememberPlan(path);
  ListRecentPlans();
  ShowJournalState();
}

void TMain::ListRecentPlans() {
  TPopupMenu *menu = FindMenu("MainPopup");
  std::erase_if(menu->Items, [](const auto &item) { return item->Name.rfind("MPRecent", 0) == 0; });
  auto after = std::find_if(menu->Items.begin(), menu->Items.end(),
                            [](const auto &item) { return item->Name == "MPSavePlan"; });
  if (after == menu->Items.end()) return;
  ++after;
  const std::vector<std::string> recent = AppConfig->RecentPlanList();
  for (size_t i = 0; i < recent.size(); ++i) {
    auto item = std::make_unique<TMenuItem>();
    item->Name = "MPRecent" + std::to_string(i + 1);
    // The end of a long path, which names the file; "&" shown as itself.
    std::string shown = recent[i].size() > 60 ? "..." + recent[i].substr(recent[i].size() - 57)
                                              : recent[i];
    for (size_t at = 0; (at = shown.find('&', at)) != std::string::npos; at += 2) shown.insert(at, 1, '&');
    item->Caption = "&" + std::to_string(i + 1) + " " + shown;
    item->Id = UINT(1900 + i);
    item->OnClick = [this, path = recent[i]](TControl *) { OpenPlan(path); };
    after = menu->Items.insert(after, std::move(item)) + 1;
  }
}

void TMain::EndForInstaller() {
  if (std::exchange(endingForInstaller_, true)) return;
  // Nothing is shown: a settings store that refuses stays as it was.
  try {
    AppConfig->SaveWindowSetting(wkMainWindow, nullptr, 0);
    AppConfig->Save();
  } catch (...) {
  }
  // Every modal loop, the control bar's included, gives way to the end of the program; the bar's
  // run, left open, keeps its record and its restart with /reprendre.
  Application.Terminate();
}

void TMain::setfocusControl(TControl *Sender) {
  if (auto *w = dynamic_cast<TWinControl *>(Sender)) lastFocused_ = w;
}

void TMain::Paint(HDC dc) {
  RECT client;
  GetClientRect(Handle(), &client);
  int h = client.bottom;
  int band = h / 64 + 1;
  int blue = 255;
  for (int top = 0; top < h; top += band, blue -= 4) {
    RECT r{0, top, client.right, top + band};
    gdi::FillSolid(dc, r, RGB(0, 0, blue));
  }
}

void TMain::StartFromCommandLine(const TCommandLine &line, uint32_t secondsToEnd) {
  commandLineEnd_ = line.EndMinute;
  commandLineEndGone_ = line.EndMinute >= 0 && secondsToEnd == 0;
  commandLineLaunch_ = line.Launch;
  if (commandLineEnd_ >= 0 || commandLineLaunch_)
    PostMessageA(Handle(), WM_COMMAND_LINE_START, 0, 0);
  else if (AppConfig->Plan && AppConfig->Plan->StartMinute >= 0)
    PostMessageA(Handle(), WM_PLAN_START, 0, 0);
}

void TMain::ComeToPlanStart() {
  if (!AppConfig->Plan || AppConfig->Plan->StartMinute < 0 || bar_) return;
  const TExamPlanFile plan = *AppConfig->Plan;
  const int64_t ahead = MsToMinute(plan.StartMinute, LocalMsOfDay());
  if (ahead == 0) startAtOnce_ = plan.StartsByItself;
  if (ahead < 0) {
    const uint32_t late = uint32_t(-ahead / 1000);
    const std::string start = MinuteText(plan.StartMinute);
    const bool fromStart =
        ShowMessageBox("Le début prévu, " + start + ", est passé.\n\nOui : compter depuis " + start +
                           ", les fins restent celles prévues.\nNon : compter depuis maintenant.",
                       Application.Title(), MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (fromStart) {
      const TPlanPaper &first = plan.Papers.front();
      const uint32_t planned =
          first.EndMinute >= 0 ? uint32_t(first.EndMinute - plan.StartMinute) * 60 : first.Seconds;
      if (planned <= late) {
        ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
        return;
      }
      AppConfig->HoldPlan(plan, 0, late);
      FormShow(this);
    }
    // Counted from the official start, the run is under way already.
    startAtOnce_ = fromStart || plan.StartsByItself;
  }
  LaunchChrono(nullptr);
}

void TMain::CommandLineStart() {
  // Neither that end nor a run of the stored duration: the user chooses again.
  if (commandLineEndGone_) {
    ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
    return;
  }
  // Set after the first show, whose filling of the boxes would forget it.
  if (commandLineEnd_ >= 0) {
    endMinute_ = commandLineEnd_;
    endFromCommandLine_ = true;
  }
  if (commandLineLaunch_) {
    startAtOnce_ = true;
    LaunchChrono(nullptr);
  }
}

LRESULT TMain::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND_LINE_START:
      CommandLineStart();
      return 0;
    case WM_PLAN_START:
      ComeToPlanStart();
      return 0;
    case WM_START_RUN_NOW:
      if (bar_) bar_->LaunchChrono(nullptr);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam && (lParam & ENDSESSION_CLOSEAPP)) EndForInstaller();
      return 0;
    default:
      return TForm::WndProc(msg, wParam, lParam);
  }
}
