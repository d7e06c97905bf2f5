#include <windows.h>

#include "timing/uRunContainer.h"

#include <system_error>

#include "base/uErrors.h"
#include "settings/uConfig.h"

namespace {

class TWindowPoster final : public TMessagePoster {
public:
  void Post(uintptr_t window, unsigned msg, uintptr_t wParam, intptr_t lParam) override {
    // A window that is gone simply loses the message.
    PostMessageA(reinterpret_cast<HWND>(window), msg, WPARAM(wParam), LPARAM(lParam));
  }
};

TSteadyClock &Clock() {
  static TSteadyClock clock;
  return clock;
}

TWindowPoster &Poster() {
  static TWindowPoster poster;
  return poster;
}

}  // namespace

std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd, const TRunEnds &ends) {
  return CreateRunContainer(navigWnd, watchWnd, ends, Clock());
}

std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd, const TRunEnds &ends,
                                                TChronoClock &clock) {
  TRunSettings settings;
  settings.TotalSeconds = ends.TotalSeconds;
  settings.ExtraSeconds = ends.ExtraSeconds;
  settings.WarnMinutes = AppConfig->WarnMinuteList();
  settings.InterBeepSeconds = AppConfig->InterBeepTime->GetTotalSeconds();
  settings.TypeInc = AppConfig->TypeInc;
  // A board's digits read the time of day; its count, shown beyond its last end, starts there.
  settings.Papers = ends.Papers;
  if (settings.Papers.size() >= 2) settings.TypeInc = 1;
  settings.CountOvertime = AppConfig->CountOvertime;
  // The control bar switches the beeps during a run; the time thread reads the switch anew at
  // every tick.
  settings.BeepActive = [] { return AppConfig->ReadBeepActive(); };
  try {
    return std::make_unique<TMainThread>(
        reinterpret_cast<uintptr_t>(navigWnd), reinterpret_cast<uintptr_t>(watchWnd),
        std::move(settings), clock, Poster(),
        [](int priority) { SetThreadPriority(GetCurrentThread(), priority); });
  } catch (const std::system_error &) {
    throw ETavelinError("Impossible de préparer le chronométrage: le système refuse d'en créer "
                        "les tâches.");
  }
}

TRunContainerMaker RunContainerMaker = &CreateRunContainer;
