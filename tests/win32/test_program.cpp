// Tavelin.exe itself, started as a user starts it, in the fresh registry of this Wine prefix.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/uText.h"
#include "run/uRunRecord.h"
#include "support_win.h"
#include "timing/uWallClock.h"

using namespace testwin;

namespace {

const std::string kKey = "Software\\Fenwright\\Tavelin\\1";

// The Tavelin.exe beside this test, or the one TAVELIN_PROGRAM names (the package test points
// it at an installed copy).
std::string ProgramPath() {
  if (const char *other = std::getenv("TAVELIN_PROGRAM"); other && *other) return other;
  std::string self = Application.ExeName();
  return self.substr(0, self.find_last_of('\\') + 1) + "Tavelin.exe";
}

struct Running {
  PROCESS_INFORMATION pi{};
  bool Start(const std::string &switches = "") {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + ProgramPath() + "\" " + switches;
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi);
  }
  DWORD WaitExit(DWORD ms) {
    if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  ~Running() {
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
};

struct Search {
  DWORD pid;
  const char *cls;
  HWND found = nullptr;
  const char *caption = nullptr;  // any
};

BOOL CALLBACK FindTop(HWND wnd, LPARAM data) {
  auto *s = reinterpret_cast<Search *>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  char text[128] = {};
  if (s->caption) GetWindowTextA(wnd, text, sizeof text);
  if (pid == s->pid && IsWindowVisible(wnd) && strcmp(cls, s->cls) == 0 &&
      (!s->caption || strcmp(text, s->caption) == 0)) {
    s->found = wnd;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(DWORD pid, const char *cls, int ms, const char *caption = nullptr) {
  for (int waited = 0; waited < ms; waited += 5) {
    Search s{pid, cls, nullptr, caption};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(5);
  }
  return nullptr;
}

// The main window's top left corner on the screen.
void ExpectFrameAt(HWND main, LONG left, LONG top) {
  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.left, left);
  EXPECT_EQ(frame.top, top);
}

// The close box: the program saves and ends with code 0.
void CloseAndExpectCleanExit(HWND main, Running &program) {
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitExit(10000), 0u);
}

TEST(Program, StartsShowsItsMainWindowAndSavesOnClose) {
  ResetRegistry();
  Running program;
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(program.Start());
  HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  auto shown = std::chrono::steady_clock::now();
  std::printf("Start-up to the main window: %lld ms\n",
              (long long)std::chrono::duration_cast<std::chrono::milliseconds>(shown - start).count());
  char caption[64] = {};
  for (int i = 0; i < 1000 && strcmp(caption, "Tavelin 1.0") != 0; ++i) {
    GetWindowTextA(main, caption, sizeof caption);
    Sleep(10);
  }
  EXPECT_STREQ(caption, "Tavelin 1.0");
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 287);
  EXPECT_EQ(client.bottom, 273);
  ExpectFrameAt(main, 393, 123);
  CloseAndExpectCleanExit(main, program);

  const char *dwords[] = {"TotalTime", "InterBeepTime", "BeepActive", "TypeFinalSound",
                          "TypeBeepSound", "TypeInc", "UserScreenSize"};
  for (const char *name : dwords) EXPECT_EQ(ReadValue(kKey, name).type, DWORD(REG_DWORD)) << name;
  EXPECT_EQ(ReadValue(kKey, "TotalTime").Dword(), 300u);
  EXPECT_EQ(ReadValue(kKey, "UserScreenSize").Dword(), 2u);
  EXPECT_EQ(ReadValue(kKey, "FinalBeepPath").type, DWORD(REG_SZ));
  EXPECT_EQ(ReadValue(kKey, "IntermediateBeepPath").type, DWORD(REG_SZ));
  RegValue placement = ReadValue(kKey, "MainWindow");
  EXPECT_EQ(placement.type, DWORD(REG_BINARY));
  ASSERT_EQ(placement.data.size(), 44u);
  TWindowSettingRec rec;
  TWindowSettingRec::Unpack(placement.data.data(), 44, rec);
  EXPECT_EQ(rec.Name, "MainWindow");
  EXPECT_EQ(rec.Left, 393);
  EXPECT_EQ(rec.Top, 123);

  // The next start puts the window back where it was saved.
  rec.Left = 40;
  rec.Top = 30;
  auto bytes = rec.Pack();
  WriteRaw(kKey, "MainWindow", REG_BINARY, bytes.data(), 44);
  Running again;
  ASSERT_TRUE(again.Start());
  main = WaitForWindow(again.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  ExpectFrameAt(main, 40, 30);
  CloseAndExpectCleanExit(main, again);
  ResetRegistry();
}

// Saved on a monitor that is gone, the main window would only graze this 1024 x 768 screen: its
// caption above it, or a corner of a few pixels at the bottom right. It comes back whole in the
// work area, its size kept, where the mouse can take it by its caption.
TEST(Program, AMainWindowThatWouldOnlyGrazeTheScreenComesBackWholeOnIt) {
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  const POINT saved[] = {{-280, -40}, {1000, 760}};
  for (POINT at : saved) {
    SCOPED_TRACE(std::to_string(at.x) + ", " + std::to_string(at.y));
    ResetRegistry();
    TWindowSettingRec rec;
    rec.Name = "MainWindow";
    rec.Left = at.x;
    rec.Top = at.y;
    auto bytes = rec.Pack();
    WriteRaw(kKey, "MainWindow", REG_BINARY, bytes.data(), 44);
    Running program;
    ASSERT_TRUE(program.Start());
    HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000);
    ASSERT_NE(main, nullptr);
    RECT frame, client;
    GetWindowRect(main, &frame);
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 287);
    EXPECT_EQ(client.bottom, 273);
    if (at.x < 0) {
      EXPECT_EQ(frame.left, work.left);
      EXPECT_EQ(frame.top, work.top);
    } else {
      EXPECT_EQ(frame.right, work.right);
      EXPECT_EQ(frame.bottom, work.bottom);
    }
    CloseAndExpectCleanExit(main, program);
  }
  ResetRegistry();
}

// Answers the next message box of the program, returning its text.
std::string AnswerBoxWith(Running &program, int answer) {
  HWND box = WaitForWindow(program.pi.dwProcessId, "#32770", 10000);
  if (!box) return "";
  char text[2048] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, WPARAM(answer), 0);
  for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
  return text;
}
std::string AnswerBox(Running &program) { return AnswerBoxWith(program, IDOK); }

// A wrong value (someone's edit) is reported, then the program goes on with the default and the
// design position; closing it writes every value back with its type, and the next start is quiet.
TEST(Program, WrongTypedSettingIsReportedAndTheProgramGoesOn) {
  ResetRegistry();
  WriteString(kKey, "TotalTime", "cinq minutes");
  uint8_t big[48] = {};
  WriteRaw(kKey, "MainWindow", REG_BINARY, big, sizeof big);
  Running program;
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(AnswerBox(program), "Type de données incorrect pour 'TotalTime'");
  EXPECT_EQ(AnswerBox(program), "Type de données incorrect pour 'MainWindow'");
  HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  ExpectFrameAt(main, 393, 123);
  CloseAndExpectCleanExit(main, program);
  EXPECT_EQ(ReadValue(kKey, "TotalTime").type, DWORD(REG_DWORD));
  EXPECT_EQ(ReadValue(kKey, "TotalTime").Dword(), 300u);
  EXPECT_EQ(ReadValue(kKey, "MainWindow").data.size(), 44u);

  Running again;
  ASSERT_TRUE(again.Start());
  main = WaitForWindow(again.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WaitForWindow(again.pi.dwProcessId, "#32770", 200), nullptr);
  CloseAndExpectCleanExit(main, again);
  ResetRegistry();
}

// An instant of the run's record (UTC ms): when it started, the pauses before the one under way,
// when that one began.
enum { StartedAt = 16, PausedBeforeAt = 24, PausedSinceAt = 32 };
int64_t Recorded(size_t at) {
  const RegValue record = ReadValue(kKey, "RunState");
  int64_t value = 0;
  if (record.data.size() > RunRecordSize) std::memcpy(&value, record.data.data() + at, sizeof value);
  return value;
}

// Killed in the middle of a run, the program leaves the run's record; the next start asks before
// its main window shows, and "Oui" takes the run up where it would be had it gone on. Killed
// again, the next start asks again, and "Non" removes the record.
TEST(Program, ARunKilledMidwayIsOfferedAtTheNextStartAndNonForgetsIt) {
  ResetRegistry();
  Running program;
  ASSERT_TRUE(program.Start());
  HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  PostMessageA(FindWindowExA(main, nullptr, "Button", "Tavelin"), BM_CLICK, 0, 0);
  HWND bar = nullptr;
  for (int i = 0; i < 1000 && !bar; ++i, Sleep(10))
    bar = FindWindowA("TavelinWindow", "Tavelin 1.0 - Dialogue de visualisation");
  ASSERT_NE(bar, nullptr);
  PostMessageA(FindWindowExA(bar, nullptr, "Button", nullptr), BM_CLICK, 0, 0);  // Run
  for (int i = 0; i < 1000 && !ReadValue(kKey, "RunState").exists; ++i) Sleep(10);
  TerminateProcess(program.pi.hProcess, 1);
  EXPECT_EQ(program.WaitExit(5000), 1u);
  EXPECT_GT(ReadValue(kKey, "RunState").data.size(), RunRecordSize);  // its events with it
  const int64_t startedAt = Recorded(StartedAt);
  Sleep(2500);  // so that a run begun again at the next start would be seconds off

  Running takenUp;
  ASSERT_TRUE(takenUp.Start());
  HWND question = WaitForWindow(takenUp.pi.dwProcessId, "#32770", 10000);
  ASSERT_NE(question, nullptr);
  PostMessageA(question, WM_COMMAND, IDYES, 0);
  bar = WaitForWindow(takenUp.pi.dwProcessId, "TavelinWindow", 10000,
                      "Tavelin 1.0 - Dialogue de visualisation");
  ASSERT_NE(bar, nullptr);
  // Paused, the bar writes where its run stands: it started when the killed run did.
  HWND pause = FindWindowExA(bar, FindWindowExA(bar, nullptr, "Button", nullptr), "Button", nullptr);
  PostMessageA(pause, BM_CLICK, 0, 0);
  auto paused = [] {
    const RegValue record = ReadValue(kKey, "RunState");
    return record.data.size() > RunRecordSize && record.data[62] == 1;
  };
  for (int i = 0; i < 1000 && !paused(); ++i) Sleep(10);
  ASSERT_TRUE(paused());
  EXPECT_NEAR(double(Recorded(StartedAt) - startedAt), 0.0, 1000.0);
  const int64_t stoodMs = Recorded(PausedSinceAt) - startedAt - Recorded(PausedBeforeAt);
  TerminateProcess(takenUp.pi.hProcess, 1);
  EXPECT_EQ(takenUp.WaitExit(5000), 1u);

  Running again;
  ASSERT_TRUE(again.Start());
  HWND box = WaitForWindow(again.pi.dwProcessId, "#32770", 10000);
  ASSERT_NE(box, nullptr);
  // When it started, and the count-up's digits where it was paused.
  char text[256] = {}, expected[160];
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  std::snprintf(expected, sizeof expected,
                "Un chronométrage commencé à %s a été interrompu ; il était en pause à 0:00:%02d. "
                "Le reprendre ?",
                LocalHourText(startedAt).c_str(), int(stoodMs / 1000));
  EXPECT_STREQ(text, expected);
  EXPECT_EQ(WaitForWindow(again.pi.dwProcessId, "TavelinWindow", 1), nullptr);  // not yet
  PostMessageA(box, WM_COMMAND, IDNO, 0);
  main = WaitForWindow(again.pi.dwProcessId, "TavelinWindow", 10000);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(ReadValue(kKey, "RunState").exists);
  CloseAndExpectCleanExit(main, again);
  ResetRegistry();
}

// A tab in a stored name: told for each value, the name left out; the run under the names kept
// is offered back after a kill. Its journal's lines, kept out by a locked file, are written at
// the next start, once, and the main window says so; "Non" to the question journals its stop.
TEST(Program, AStoredNameIsHealedAndTheJournalOutlivesALockAndAKill) {
  ResetRegistry();
  char temp[MAX_PATH] = {}, local[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
  const std::string folder = std::string(temp) + "Tavelin", csv = folder + "\\Journal.csv",
                    kept = std::string(local) + "\\Tavelin\\Journal en attente.csv";
  // Documents here, not in the home folder that Wine links it to.
  WriteString("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
              "Personal", temp);
  WriteDword(kKey, "KeepJournal", 1);
  WriteString(kKey, "FirstName", "Fran\tçais");
  const char lines[] = "Oral\t600\t0\0Ang\tlais\t600\t0\0";
  WriteRaw(kKey, "Epreuves", REG_MULTI_SZ, lines, sizeof lines);
  CreateDirectoryA(folder.c_str(), nullptr);
  HANDLE lock = CreateFileA(csv.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  for (int start = 0; start < 3; ++start) {
    Running program;
    ASSERT_TRUE(program.Start(start == 0 ? "/duree:10 /lancer" : ""));
    if (start < 2) {  // nothing saved before the kill: told again
      EXPECT_EQ(AnswerBox(program), "Type de données incorrect pour 'Epreuves'");
      EXPECT_EQ(AnswerBox(program), "Type de données incorrect pour 'FirstName'");
    }
    if (start == 0) {
      for (int i = 0; i < 1000 && (GetFileAttributesA(kept.c_str()) == INVALID_FILE_ATTRIBUTES ||
                                  !ReadValue(kKey, "RunState").exists); ++i)
        Sleep(10);
      TerminateProcess(program.pi.hProcess, 1);
      EXPECT_EQ(program.WaitExit(5000), 1u);
      CloseHandle(lock);
      continue;
    }
    if (start == 1) {
      EXPECT_NE(AnswerBoxWith(program, IDNO).find("a été interrompu"), std::string::npos);
    }
    HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000);
    ASSERT_NE(main, nullptr);
    const char *said =
        start == 1 ? "Tavelin 1.0 - Journal complété de 2 lignes en attente" : "Tavelin 1.0";
    char caption[128] = {};
    for (int i = 0; i < 1000 && strcmp(caption, said) != 0; ++i, Sleep(10))
      GetWindowTextA(main, caption, sizeof caption);
    EXPECT_STREQ(caption, said);
    std::ifstream in(csv, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    // "Non" stopped the run, at the answer's second, in the journal.
    for (const char8_t *line : {u8"\uFEFFDate;", u8";Épreuve 1;Début;", u8";Oral;Début;",
                                u8";;Arrêt;non repris après interruption, à "}) {
      const size_t at = written.find((const char *)line);  // there, and once
      EXPECT_TRUE(at != std::string::npos && at == written.rfind((const char *)line)) << written;
    }
    EXPECT_EQ(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
    CloseAndExpectCleanExit(main, program);
  }
  ResetRegistry();
}

// A shortcut's run: it starts as the bar opens, nobody pressing Run, and it lasts the command
// line's five seconds; the stored duration stays as it was once the program has saved on closing.
TEST(Program, ACommandLineRunStartsAtOnceAndLeavesTheStoredDurationAsItWas) {
  ResetRegistry();
  WriteDword(kKey, "TotalTime", 600);
  Running program;
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(program.Start("/duree:0:00:05 -LANCER"));
  EXPECT_EQ(AnswerBox(program), "Le chronométrage est terminé...");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  HWND bar = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000,
                           "Tavelin 1.0 - Dialogue de visualisation");
  ASSERT_NE(bar, nullptr);
  PostMessageA(bar, WM_CLOSE, 0, 0);
  HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000, "Tavelin 1.0");
  ASSERT_NE(main, nullptr);
  CloseAndExpectCleanExit(main, program);
  EXPECT_EQ(ReadValue(kKey, "TotalTime").Dword(), 600u);
  ResetRegistry();
}

// A plan written by hand, opened with /plan: from a folder with accents while an editor holds it
// open for writing: its name in the caption; the stored settings as they were once the program has
// saved on closing, the plan first in the menu's list. A plan with a wrong line, and one that is
// not there, get their box naming the file and end with code 1, nothing stored.
TEST(Program, APlanOpensFromTheCommandLineForThisSessionAlone) {
  ResetRegistry();
  WriteDword(kKey, "TotalTime", 600);
  const std::string folder = "C:\\Examens d'été", path = folder + "\\Bac blanc.tavelin",
                    bad = folder + "\\Faux.tavelin";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(path, std::ios::binary)
      << "\xEF\xBB\xBF# " << Cp1252ToUtf8("Préparé par le centre d'examen\r\n")
      << Cp1252ToUtf8("Nom = Bac blanc de philosophie\r\nÉpreuve = Philosophie ; 4h00\r\n"
                      "Sortie = 60\r\n");
  std::ofstream(bad, std::ios::binary) << "Nom = Faux\n" << Cp1252ToUtf8("Épreuve = Maths ; 2h70\n");
  HANDLE editor = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(editor, INVALID_HANDLE_VALUE);
  {
    Running program;
    ASSERT_TRUE(program.Start("/plan:\"" + path + "\""));
    HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000,
                              "Tavelin 1.0 - Bac blanc de philosophie");
    ASSERT_NE(main, nullptr);
    CloseAndExpectCleanExit(main, program);
  }
  CloseHandle(editor);
  EXPECT_EQ(ReadValue(kKey, "TotalTime").Dword(), 600u);
  EXPECT_EQ(ReadValue(kKey, "ExitMinutes").Dword(), 0u);
  EXPECT_EQ(ReadValue(kKey, "RecentPlans").String(), path);
  const struct {
    std::string words, text;
  } refused[] = {
      {bad, "Le plan \"" + bad + "\" ne peut pas être ouvert:\nligne 2: durée incorrecte: \"2h70\" "
            "(par exemple 2h00, 1h30, 90 min, 1:30:00)."},
      {"/plan:" + folder + "\\Absent.tavelin",
       "Le plan \"" + folder + "\\Absent.tavelin\" est introuvable."}};
  for (const auto &c : refused) {
    ResetRegistry();
    Running program;
    ASSERT_TRUE(program.Start("\"" + c.words + "\""));
    EXPECT_EQ(AnswerBox(program), c.text);
    EXPECT_EQ(program.WaitExit(10000), 1u);
    EXPECT_FALSE(ReadValue(kKey, "TotalTime").exists);
  }
  DeleteFileA(path.c_str());
  DeleteFileA(bad.c_str());
  RemoveDirectoryA(folder.c_str());
}

// A plan opened as the Explorer opens one on a double-click (the shell's "open"), once the package
// has registered the file type: the installed Tavelin comes up on it, its name in the caption.
TEST(Program, APlanFileOpensInTavelinFromTheShell) {
  char type[64] = {};
  LONG size = sizeof type;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, ".tavelin", type, &size) != ERROR_SUCCESS)
    GTEST_SKIP() << "no file type .tavelin: the package's test registers it";
  EXPECT_STREQ(type, "Tavelin.Plan");
  ResetRegistry();
  const std::string path = "C:\\Plan ouvert.tavelin";
  std::ofstream(path, std::ios::binary) << Cp1252ToUtf8("Nom = Ouvert d'un double-clic\r\n"
                                                        "Épreuve = Français ; 3h00\r\n");
  SHELLEXECUTEINFOA open{};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_NOCLOSEPROCESS;
  open.lpVerb = "open";
  open.lpFile = path.c_str();
  open.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(ShellExecuteExA(&open));
  ASSERT_NE(open.hProcess, nullptr);
  Running program;
  program.pi.hProcess = open.hProcess;
  program.pi.dwProcessId = GetProcessId(open.hProcess);
  HWND main = WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000,
                            "Tavelin 1.0 - Ouvert d'un double-clic");
  ASSERT_NE(main, nullptr);
  CloseAndExpectCleanExit(main, program);
  DeleteFileA(path.c_str());
}

// /? and a word Tavelin cannot read show the list of switches, the wrong word named first (the
// accented switch before it is read), and end the program before the settings are read: the
// registry stays empty.
TEST(Program, HelpAndAWrongSwitchShowTheSwitchesAndEndWithNothingStored) {
  const struct {
    const char *switches, *firstLine;
    DWORD exitCode;
  } cases[] = {{"/?", "Tavelin accepte ces options", 0},
               {"/DURÉE:5 /taille:7", "Valeur incorrecte: /taille:7\n\nTavelin accepte", 1},
               {"/sortie:181", "Valeur incorrecte: /sortie:181\n\nTavelin accepte", 1},
               // Windows takes the quotes away, leaving the name's spaces in the word.
               {"/epreuve:\"Anglais LV1=2:00:00\" /epreuve:\"Anglais LV1=1:00:00+\"",
                "/epreuve:Anglais LV1=1:00:00+ ne va pas avec /epreuve:Anglais LV1=2:00:00\n\n", 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.switches);
    ResetRegistry();
    Running program;
    ASSERT_TRUE(program.Start(c.switches));
    std::string text = AnswerBox(program);
    EXPECT_EQ(text.rfind(c.firstLine, 0), 0u) << text;
    EXPECT_EQ(program.WaitExit(10000), c.exitCode);
    EXPECT_FALSE(ReadValue(kKey, "TotalTime").exists);
  }
}

// What Restart Manager sends every top-level window of a program that an installer closes: the
// query to all of them, then the end.
struct InstallerClose {
  DWORD pid;
  UINT msg;
};
BOOL CALLBACK SendInstallerClose(HWND wnd, LPARAM data) {
  const auto *close = reinterpret_cast<const InstallerClose *>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(wnd, &owner);
  if (owner != close->pid) return TRUE;
  DWORD_PTR agreed = 0;
  const bool query = close->msg == WM_QUERYENDSESSION;
  SendMessageTimeoutA(wnd, close->msg, query ? 0 : TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                      5000, &agreed);
  if (query) {
    EXPECT_EQ(agreed, DWORD_PTR(TRUE));
  }
  return TRUE;
}

// An installer's close ends the program within two seconds, a run open or not: the open run's
// record stays, and /reprendre (what Windows restarts it with) takes it up at its place without a
// question; without a run nothing is kept of one.
TEST(Program, AnInstallersCloseEndsItAndKeepsAnOpenRunForTheRestart) {
  for (const bool withRun : {true, false}) {
    SCOPED_TRACE(withRun ? "a run open" : "no run");
    ResetRegistry();
    Running program;
    ASSERT_TRUE(program.Start(withRun ? "/duree:1:00:00 /negatif /lancer" : ""));
    ASSERT_NE(WaitForWindow(program.pi.dwProcessId, "TavelinWindow", 10000), nullptr);
    for (int i = 0; withRun && i < 1000 && !ReadValue(kKey, "RunState").exists; ++i) Sleep(10);
    const int64_t startedAt = Recorded(StartedAt);
    for (UINT msg : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
      InstallerClose close{program.pi.dwProcessId, msg};
      EnumWindows(SendInstallerClose, LPARAM(&close));
    }
    EXPECT_EQ(program.WaitExit(2000), 0u);
    EXPECT_EQ(ReadValue(kKey, "RunState").exists, withRun);
    if (!withRun) continue;
    Running restarted;
    ASSERT_TRUE(restarted.Start("/reprendre"));
    ASSERT_NE(WaitForWindow(restarted.pi.dwProcessId, "TavelinWindow", 10000,
                            "Tavelin 1.0 - Dialogue de visualisation"),
              nullptr);
    EXPECT_EQ(WaitForWindow(restarted.pi.dwProcessId, "#32770", 1), nullptr) << "no question";
    EXPECT_NEAR(double(Recorded(StartedAt) - startedAt), 0.0, 1000.0);
  }
  ResetRegistry();
}

}  // namespace
