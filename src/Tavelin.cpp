#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/UMain.h"
#include "app/uPlanDocument.h"
#include "app/uTakeUp.h"
#include "forms/uApplication.h"
#include "run/uEndTime.h"
#include "settings/uCommandLine.h"
#include "settings/uConfig.h"
#include "timing/uJournalKeeper.h"
#include "timing/uWallClock.h"

// The words after the program's name, in the program's Windows-1252, whatever the system's code
// page: /durée typed in a shortcut reaches the program as /durée.
static std::vector<std::string> CommandLineWords() {
  std::vector<std::string> words;
  int count = 0;
  LPWSTR *args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return words;
  for (int i = 1; i < count; ++i) {
    // A character that Windows-1252 lacks becomes SUB, neither a look-alike nor a "?" that a
    // name would keep: a control character, which every value refuses.
    constexpr DWORD exact = WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(1252, exact, args[i], -1, nullptr, 0, "\x1A", nullptr);
    std::string word(size_t(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(1252, exact, args[i], -1, word.data(), size, "\x1A", nullptr);
    word.resize(word.size() - 1);  // its NUL
    words.push_back(std::move(word));
  }
  LocalFree(args);
  return words;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Application.Initialize(instance);
  // The command line is read before the settings, so that a word it cannot read stops the
  // program with nothing stored changed (not even the defaults of a first start).
  TCommandLine line;
  const std::vector<std::string> words = CommandLineWords();
  auto refuse = [](const ECommandLine &e) {
    MessageBoxA(nullptr, (e.what() + std::string("\n\n") + CommandLineHelp()).c_str(),
                Application.Title().c_str(), MB_OK | MB_ICONWARNING);
    return 1;
  };
  try {
    line = ParseCommandLine(words);
  } catch (const ECommandLine &e) {
    return refuse(e);
  }
  if (line.Help) {
    MessageBoxA(nullptr, CommandLineHelp().c_str(), Application.Title().c_str(),
                MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  // A plan named on the command line is read before the settings too: a file that cannot be
  // opened stops the program with its box, nothing stored changed.
  std::optional<TExamPlanFile> plan;
  if (!line.PlanPath.empty()) {
    try {
      plan = ReadPlanDocument(line.PlanPath);
    } catch (const ETavelinError &e) {
      MessageBoxA(nullptr, e.what(), Application.Title().c_str(), MB_OK | MB_ICONWARNING);
      return 1;
    }
    // Its first épreuve to a time of day, without an official start, is a run to that end, as
    // /fin makes one; its direction is the plan's unless a switch gives one.
    if (plan->StartMinute < 0) line.EndMinute = plan->Papers.front().EndMinute;
    if (!line.TypeInc) line.TypeInc = plan->CountsDown ? 1 : 0;
  }
  // Every setting is in memory before any window exists; a store that cannot be read stops the
  // program with its message, not with a crash.
  try {
    CreateAppConfig();
  } catch (const std::exception &e) {
    MessageBoxA(nullptr, e.what(), Application.Title().c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
  // The épreuves once more, against the first one's name, which only the settings know.
  if (!line.Papers.empty()) {
    try {
      ParseCommandLine(words, AppConfig->FirstName);
    } catch (const ECommandLine &e) {
      ReleaseAppConfig();
      return refuse(e);
    }
  }
  int result = 0;
  try {
    // A run left open by a Tavelin that did not close: its settings are the main window's, and
    // it goes before the command line's (/reprendre takes it up without asking).
    const std::optional<TRunRecord> interrupted = FindInterruptedRun(!line.Resume);
    // An end time becomes a duration once, from the wall clock, as the end-time dialog does.
    uint32_t secondsToEnd =
        line.EndMinute >= 0 ? RunUntilEnd(line.EndMinute, LocalMsOfDay()).Seconds : 0;
    if (!interrupted && plan) {
      AppConfig->HoldPlan(*plan, secondsToEnd);
      AppConfig->PlanPath = line.PlanPath;
      AppConfig->RememberPlan(line.PlanPath);
    }
    if (!interrupted) AppConfig->ApplyCommandLine(line, secondsToEnd);
    auto mainWindow = std::make_unique<TMain>();
    Main = mainWindow.get();
    Application.SetMainForm(Main);
    Main->CreateHandle();
    AppConfig->LoadWindowSetting(wkMainWindow, nullptr, 0);
    // Lines of the journal that an earlier Tavelin could not write: written now, or waiting on.
    JournalAtStart();
    if (interrupted)
      TakeUpRun(*interrupted);
    else
      Main->StartFromCommandLine(line, secondsToEnd);
    result = Application.Run();
    Main = nullptr;
  } catch (...) {
    Application.HandleException();
    result = 1;
  }
  // The journal's last chance in this process: what still waits stays kept for the next start.
  JournalWriteNow();
  ReleaseAppConfig();
  return result;
}
