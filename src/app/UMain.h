#pragma once
#include <windows.h>

#include "forms/uForms.h"

// The main window, where a run is prepared: every edit goes straight into AppConfig.
class TMain : public TForm {
public:
  TMain();

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
  void showAboutBox(TControl *Sender);
  void closeApppl(TControl *Sender);
  void setfocusControl(TControl *Sender);

  TWinControl *LastFocused() const { return lastFocused_; }
  // The minute of the day at which the next run ends (local time), -1 for none. Chosen in the
  // end-time dialog; a change of the duration, and the next control bar, forget it.
  int EndMinute() const { return endMinute_; }

protected:
  void Paint(HDC dc) override;

private:
  TWinControl *lastFocused_ = nullptr;
  int endMinute_ = -1;
};

extern TMain *Main;
