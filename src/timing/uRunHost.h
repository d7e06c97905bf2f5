// uRunHost - the Windows side under a run's session: its clocks, the engines it makes and the
// window they post to, the journal's file, and the record in the registry with the settings'
// fields.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run/uRunSession.h"

class TRunHost final : public TRunSessionHost {
public:
  TRunHost();
  ~TRunHost() override;
  TRunHost(const TRunHost &) = delete;
  TRunHost &operator=(const TRunHost &) = delete;

  // The window that every engine made here posts to: it plays the sounds, hands the digits on to
  // the display (held back until there is one) and the run's end to OnRunFinished.
  HWND Window() const { return window_; }
  void SetDisplay(HWND display);
  std::function<void()> OnRunFinished;
  // The session keeps a record of the open run (true) or forgot it (false).
  std::function<void(bool held)> OnHeld;
  // OnTimer `ms` from now and every `ms` after, until armed again or disarmed.
  void ArmTimer(uint32_t ms);
  void DisarmTimer();
  std::function<void()> OnTimer;
  // What engines now gone posted and nobody has read yet goes unread.
  void DropPosted();
  // Where the journal's lines go: to its file as the settings say, or as told.
  std::optional<bool> ToFile;

  TWallNow Now() override;
  TJournalTime LocalTime(int64_t utcMs) override;
  std::unique_ptr<TMainThread> MakeEngine(const TRunEnds &ends) override;
  void Journal(const TJournal &run, const std::string &line) override;
  void Keep(TRunRecord &record, const std::vector<uint8_t> &events) override;
  void Forget() override;

private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Posted(UINT msg, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  HWND display_ = nullptr;
  std::vector<MSG> heldBack_;  // for the display, which is not there yet
  bool held_ = false;
};
