#pragma once
#include <windows.h>

#include "forms/uForms.h"
#include "settings/uCommandLine.h"

class TNavigChrono;

// The main window, where a run is prepared: every edit goes straight into AppConfig.
class TMain : public TForm {
public:
  TMain();
  ~TMain() override;

  void FormShow(TControl *Sender);
  void FormClose(TForm *Sender, TCloseAction &Action);
  void changeTotalTime(TControl *Sender);
  void changeInterBeepTime(TControl *Sender);
  void changeIncrement(TControl *Sender);
  void BtnActivateBeepClick(TControl *Sender);
  void LaunchChrono(TControl *Sender);
  void showOptionScreen(TControl *Sender);
  void showEndTimeScreen(TControl *Sender);
  void switchCountOvertime(TControl *Sender);
  void showExamScreen(TControl *Sender);
  void showPapersScreen(TControl *Sender);
  void showAboutBox(TControl *Sender);
  // The procès-verbal of the latest run, written and opened.
  void showProcesVerbal(TControl *Sender);
  void closeApppl(TControl *Sender);
  // "Ouvrir un plan..." and "Enregistrer le plan...": the system's dialogs, then as below.
  void openPlan(TControl *Sender);
  void savePlan(TControl *Sender);
  // A plan's file opened for this session: its run in the window, its name in the caption; a
  // file that cannot be opened gets its box and changes nothing (false).
  bool OpenPlan(const std::string &path);
  // The run as the window has it, saved as a plan (its name the held plan's or the file's).
  void SavePlan(const std::string &path);
  void setfocusControl(TControl *Sender);

  // What the command line asks once the window has first shown: its end time for the next run
  // (secondsToEnd 0: that time has gone), and the run started at once.
  void StartFromCommandLine(const TCommandLine &line, uint32_t secondsToEnd);
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  TWinControl *LastFocused() const { return lastFocused_; }
  // The minute of the day at which the next run ends (local time), -1 for none. Chosen in the
  // end-time dialog; a change of the duration, and the next control bar, forget it.
  int EndMinute() const { return endMinute_; }

  // The caption, the window's status line: the title, and the journal's lines that wait or that
  // an earlier Tavelin kept and this start wrote.
  void ShowJournalState();

protected:
  void Paint(HDC dc) override;

private:
  TWinControl *lastFocused_ = nullptr;
  // The last plans, listed in the menu after "Enregistrer le plan...".
  void ListRecentPlans();
  int endMinute_ = -1;

  void CommandLineStart();
  // A plan with an official start: the bar comes up to wait for it, or, that start passed, the
  // user chooses to count from it or from now.
  void ComeToPlanStart();
  // An installer closes the program (Restart Manager): it ends at once, its settings saved, a
  // run's record kept for the restart.
  void EndForInstaller();
  bool endingForInstaller_ = false;
  int commandLineEnd_ = -1;
  bool commandLineEndGone_ = false;
  bool commandLineLaunch_ = false;
  bool endFromCommandLine_ = false;  // endMinute_ is the command line's
  bool startAtOnce_ = false;         // the next control bar starts its run as it opens
  TNavigChrono *bar_ = nullptr;      // the control bar while it is up
};

extern TMain *Main;
