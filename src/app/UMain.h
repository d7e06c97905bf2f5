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
  void showAboutBox(TControl *Sender);
  void closeApppl(TControl *Sender);
  void setfocusControl(TControl *Sender);

  TWinControl *LastFocused() const { return lastFocused_; }

protected:
  void Paint(HDC dc) override;

private:
  TWinControl *lastFocused_ = nullptr;
};

extern TMain *Main;
