// The settings store against the real registry of a fresh Wine prefix (screen 1024 pixels wide).
#include <windows.h>

#include <objbase.h>

#include "TavelinVersion.h"
#include "support_win.h"

using namespace testwin;
using namespace std::string_literals;

namespace {

class Settings : public ::testing::Test {
protected:
  void SetUp() override { ResetRegistry(); }
  void TearDown() override { ResetRegistry(); }
};

TEST_F(Settings, FirstStartWritesEveryDefaultWithItsType) {
  ConfigScope config;
  const std::string key = SettingsKey();
  struct Expected {
    const char *name;
    DWORD type;
    uint32_t value;
  } dwords[] = {{"TotalTime", REG_DWORD, 300},    {"InterBeepTime", REG_DWORD, 30},
                {"BeepActive", REG_DWORD, 0},     {"TypeFinalSound", REG_DWORD, 0},
                {"TypeBeepSound", REG_DWORD, 0},  {"TypeInc", REG_DWORD, 0},
                {"UserScreenSize", REG_DWORD, 2}, {"CountOvertime", REG_DWORD, 0}};
  for (const auto &e : dwords) {
    RegValue v = ReadValue(key, e.name);
    ASSERT_TRUE(v.exists) << e.name;
    EXPECT_EQ(v.type, e.type) << e.name;
    EXPECT_EQ(v.Dword(), e.value) << e.name;
  }
  EXPECT_EQ(ReadValue(key, "Epreuves").type, DWORD(REG_MULTI_SZ));
  for (const char *name : {"FinalBeepPath", "IntermediateBeepPath", "FirstName"}) {
    RegValue v = ReadValue(key, name);
    ASSERT_TRUE(v.exists) << name;
    EXPECT_EQ(v.type, DWORD(REG_SZ)) << name;
    EXPECT_EQ(v.data.size(), 1u) << name;  // the terminating NUL alone
  }
  EXPECT_EQ(AppConfig->RegistryKey, key);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(0), 0);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(1), 5);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(2), 0);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTimePart(2), 30);
  EXPECT_EQ(AppConfig->UserScreenSize, 2);
  EXPECT_EQ(AppConfig->GetScreenWidth(), 1024);
  EXPECT_FALSE(AppConfig->BeepActive);
  EXPECT_EQ(AppConfig->InfoVersion->NoteLines.size(), 6u);
  EXPECT_EQ(AppConfig->InfoVersion->NoteLines[0], "Note:");
  EXPECT_EQ(AppConfig->InfoVersion->NoteLines[2], "Mon adresse:");
}

TEST_F(Settings, StoredValuesAreKeptAndOnlyMissingOnesCreated) {
  const std::string key = SettingsKey();
  WriteDword(key, "TotalTime", 3661);
  WriteDword(key, "TypeInc", 1);
  WriteString(key, "FinalBeepPath", "C:\\sons\\fin.wav");
  ConfigScope config;
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(0), 1);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(1), 1);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(2), 1);
  EXPECT_EQ(AppConfig->TypeInc, 1);
  EXPECT_EQ(AppConfig->FinalBeepPath, "C:\\sons\\fin.wav");
  EXPECT_EQ(ReadValue(key, "TotalTime").Dword(), 3661u);
  EXPECT_EQ(ReadValue(key, "InterBeepTime").Dword(), 30u);
  EXPECT_TRUE(ReadValue(key, "UserScreenSize").exists);
}

// A value of another type is reported, naming it, and then takes its field's default; the
// load goes on, and the next save writes every value back with its own type, so that the next
// start is a quiet one.
TEST_F(Settings, WrongTypedValueIsReportedTakesItsDefaultAndTheNextSaveMendsIt) {
  const std::string key = SettingsKey();
  WriteString(key, "TotalTime", "300");
  WriteDword(key, "FinalBeepPath", 5);
  WriteDword(key, "TypeInc", 1);
  WriteString(key, "BeepActive", "oui");
  {
    ExceptionCatcher shown;
    ConfigScope config;
    EXPECT_EQ(shown.messages, (std::vector<std::string>{
                                  "Type de données incorrect pour 'TotalTime'",
                                  "Type de données incorrect pour 'BeepActive'",
                                  "Type de données incorrect pour 'FinalBeepPath'"}));
    EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 300u);
    EXPECT_FALSE(AppConfig->BeepActive);
    EXPECT_EQ(AppConfig->FinalBeepPath, "");
    // The fields after the wrong ones were loaded or created all the same.
    EXPECT_EQ(AppConfig->TypeInc, 1);
    EXPECT_TRUE(ReadValue(key, "UserScreenSize").exists);
    // Nothing is written until the program saves.
    EXPECT_EQ(ReadValue(key, "TotalTime").type, DWORD(REG_SZ));
    AppConfig->Save();
  }
  EXPECT_EQ(ReadValue(key, "TotalTime").type, DWORD(REG_DWORD));
  EXPECT_EQ(ReadValue(key, "TotalTime").Dword(), 300u);
  EXPECT_EQ(ReadValue(key, "BeepActive").type, DWORD(REG_DWORD));
  EXPECT_EQ(ReadValue(key, "FinalBeepPath").type, DWORD(REG_SZ));
  EXPECT_EQ(ReadValue(key, "FinalBeepPath").data.size(), 1u);
  ExceptionCatcher shown;
  ConfigScope config;
  EXPECT_TRUE(shown.messages.empty());
  EXPECT_EQ(AppConfig->TypeInc, 1);
}

TEST_F(Settings, BooleanSevenReadsTrueAndSavesAsOne) {
  const std::string key = SettingsKey();
  WriteDword(key, "BeepActive", 7);
  ConfigScope config;
  EXPECT_TRUE(AppConfig->BeepActive);
  AppConfig->Save();
  EXPECT_EQ(ReadValue(key, "BeepActive").Dword(), 1u);
}

// The count beyond the end, created off (above), is kept from one start to the next.
TEST_F(Settings, CountOvertimeIsSavedAndLoadedAgain) {
  {
    ConfigScope config;
    EXPECT_FALSE(AppConfig->CountOvertime);
    AppConfig->CountOvertime = true;
    AppConfig->Save();
  }
  EXPECT_EQ(ReadValue(SettingsKey(), "CountOvertime").Dword(), 1u);
  ConfigScope config;
  EXPECT_TRUE(AppConfig->CountOvertime);
}

// Tidied quietly when it needs no more (see the native tests), a warning list holding a word that
// is no number is reported and reads as none.
TEST_F(Settings, ABadWarningListIsReportedAndReadsAsNone) {
  WriteString(SettingsKey(), "WarnMinutes", "30 dix");
  ExceptionCatcher shown;
  ConfigScope config;
  EXPECT_EQ(shown.messages,
            (std::vector<std::string>{"Type de données incorrect pour 'WarnMinutes'"}));
  EXPECT_TRUE(AppConfig->WarnMinuteList().empty());
}

// A value of the wrong type or out of range is reported and reads as the default.
TEST_F(Settings, JournalSecondsNearEndAndExitAreHealedLikeTheOthers) {
  const struct {
    bool journalAsText;
    uint32_t minutes;
    std::vector<std::string> told;
    uint32_t exitMinutes = 180;
  } cases[] = {{false, 999, {}},
               {false, 1000, {"Type de données incorrect pour 'SecondsNearEnd'"}},
               {false, 999, {"Type de données incorrect pour 'ExitMinutes'"}, 181},
               {true, 0xFFFFFFFF, {"Type de données incorrect pour 'KeepJournal'",
                                   "Type de données incorrect pour 'SecondsNearEnd'"}}};
  for (const auto &c : cases) {
    c.journalAsText ? WriteString(SettingsKey(), "KeepJournal", "oui")
                    : WriteDword(SettingsKey(), "KeepJournal", 1);
    WriteDword(SettingsKey(), "SecondsNearEnd", c.minutes);
    WriteDword(SettingsKey(), "ExitMinutes", c.exitMinutes);
    ExceptionCatcher shown;
    ConfigScope config;
    EXPECT_EQ(shown.messages, c.told);
    EXPECT_EQ(AppConfig->KeepJournal, !c.journalAsText);
    EXPECT_EQ(AppConfig->SecondsNearEnd, c.minutes == 999 ? 999 : 0);
    EXPECT_EQ(AppConfig->ExitMinutes, c.exitMinutes == 180 ? 180 : 0);
  }
}

// The épreuves are the lines of a REG_MULTI_SZ: one that is no épreuve, a name given again (and a
// fourth) are left out, told once by the value's name, and the next save writes what was kept. A
// first épreuve's name over 40 characters is told and left out.
TEST_F(Settings, EpreuvesLinesThatCannotBeReadAreLeftOutAndToldOnce) {
  const std::string key = SettingsKey();
  const std::string lines = "Anglais LV1\t5400\t1\0sans durée\0Anglais LV1\t60\t0\0Latin\t600\t0\0\0"s;
  WriteRaw(key, "Epreuves", REG_MULTI_SZ, lines.data(), DWORD(lines.size()));
  WriteString(key, "FirstName", std::string(MaxPaperName + 1, 'x'));
  {
    ExceptionCatcher shown;
    ConfigScope config;
    EXPECT_EQ(shown.messages, (std::vector<std::string>{"Type de données incorrect pour 'Epreuves'",
                                                         "Type de données incorrect pour 'FirstName'"}));
    EXPECT_EQ(AppConfig->FirstName, "");
    AppConfig->Save();
  }
  EXPECT_EQ(ReadValue(key, "Epreuves").String(), "Anglais LV1\t5400\t1\0Latin\t600\t0"s);
}

TEST_F(Settings, ValuesOnlyAnEditedRegistryHoldsAreBroughtIntoRange) {
  const std::string key = SettingsKey();
  // Past the five sizes and the full width of sixteen monitors.
  WriteDword(key, "UserScreenSize", 5 + 16);
  WriteDword(key, "TotalTime", 400000);
  ConfigScope config;
  EXPECT_EQ(AppConfig->UserScreenSize, 2);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 89999u);
  EXPECT_EQ(AppConfig->TotalTime->GetDigit(0), 2);
  AppConfig->UserScreenSize = 7;
  EXPECT_EQ(AppConfig->GetScreenWidth(), 800);
}

TEST_F(Settings, AFullWidthSizeIsKeptEvenWhenItsMonitorIsGone) {
  // The projector of the last lesson (monitor 4) is not plugged in: the display will show on
  // the primary, and the setting stays for the day it is back.
  WriteDword(SettingsKey(), "UserScreenSize", 9);
  ConfigScope config;
  EXPECT_EQ(AppConfig->UserScreenSize, 9);
}

// The command line's values are the session's alone: saves write the stored ones back, until a
// window changes one; from then on that one is saved as usual, even back at the session's value.
TEST_F(Settings, ACommandLineValueIsSavedOnlyOnceAWindowHasChangedIt) {
  const std::string key = SettingsKey();
  WriteDword(key, "UserScreenSize", 1);
  const std::string stored = "Latin\t600\t0"s, raw = stored + "\0\0"s;
  WriteRaw(key, "Epreuves", REG_MULTI_SZ, raw.data(), DWORD(raw.size()));
  ConfigScope config;
  TCommandLine line;
  line.Papers = {TExamPaper{.Name = "Anglais LV1", .Seconds = 5430}};
  line.TotalSeconds = 5;
  line.BeepActive = true;
  line.UserScreenSize = 4;
  line.KeepJournal = true;
  AppConfig->ApplyCommandLine(line, 0);
  EXPECT_TRUE(AppConfig->Papers == line.Papers);
  EXPECT_TRUE(AppConfig->KeepJournal);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(2), 5);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 5u);  // within the duration, as shown
  EXPECT_TRUE(AppConfig->BeepActive);
  const struct {
    int32_t screenSize;  // as a window leaves it before the save
    uint32_t saved;
  } saves[] = {{4, 1}, {2, 2}, {4, 4}};
  for (const auto &save : saves) {
    AppConfig->UserScreenSize = save.screenSize;
    AppConfig->Save();
    EXPECT_EQ(ReadValue(key, "UserScreenSize").Dword(), save.saved) << save.screenSize;
    EXPECT_EQ(ReadValue(key, "TotalTime").Dword(), 300u);
    EXPECT_EQ(ReadValue(key, "InterBeepTime").Dword(), 30u);
    EXPECT_EQ(ReadValue(key, "BeepActive").Dword(), 0u);
    EXPECT_EQ(ReadValue(key, "KeepJournal").Dword(), 0u);
    EXPECT_EQ(ReadValue(key, "Epreuves").String(), stored);
  }
}

TEST_F(Settings, StringsOfAnyLengthAndTerminationReadSafely) {
  const std::string key = SettingsKey();
  std::string longPath(5000, 'x');
  WriteString(key, "FinalBeepPath", longPath);
  const char unterminated[3] = {'a', 'b', 'c'};
  WriteRaw(key, "IntermediateBeepPath", REG_SZ, unterminated, 3);
  ConfigScope config;
  EXPECT_EQ(AppConfig->FinalBeepPath, longPath);
  EXPECT_EQ(AppConfig->IntermediateBeepPath, "abc");
}

TEST_F(Settings, SoundFileChoice) {
  ConfigScope config;
  std::vector<std::string> titles;
  std::string answer;
  bool confirm = false;
  TConfig::FileChooser = [&](const std::string &title, const std::string &initial,
                             std::string &chosen) {
    titles.push_back(title + "|" + initial);
    chosen = answer;
    return confirm;
  };
  AppConfig->SetTypeFinalSound(1);
  ASSERT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0], "Sélectionnez le fichier pour le Son final|");
  EXPECT_EQ(AppConfig->FinalBeepPath, "");  // cancelled: nothing changes, even when empty
  AppConfig->SetTypeFinalSound(1);           // already 1: no dialog
  EXPECT_EQ(titles.size(), 1u);
  confirm = true;
  answer = "C:\\beep.wav";
  AppConfig->SetTypeBeepSound(1);
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[1], "Sélectionnez le fichier pour le son des beeps|");
  EXPECT_EQ(AppConfig->IntermediateBeepPath, "C:\\beep.wav");
  AppConfig->SetTypeBeepSound(0);  // back to the built-in sound keeps the path
  EXPECT_EQ(AppConfig->IntermediateBeepPath, "C:\\beep.wav");
  confirm = false;
  AppConfig->SelectSoundFile(1);
  EXPECT_EQ(titles[2], "Sélectionnez le fichier pour le son des beeps|C:\\beep.wav");
  EXPECT_EQ(AppConfig->IntermediateBeepPath, "C:\\beep.wav");
  EXPECT_EQ(ReadValue(SettingsKey(), "IntermediateBeepPath").String(), "");  // not saved yet
  TConfig::FileChooser = &TConfig::SystemFileChooser;

  // The Explorer-style dialog finds COM ready on its thread, and leaves the thread as it was.
  static HRESULT onDialog;
  onDialog = E_FAIL;
  TConfig::OpenFileProc = [](OPENFILENAMEA *) -> BOOL WINAPI {
    onDialog = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(onDialog)) CoUninitialize();
    return FALSE;
  };
  auto comFree = [] {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_OK;
  };
  ASSERT_TRUE(comFree());
  EXPECT_FALSE(TConfig::SystemFileChooser("t", "", answer));
  EXPECT_EQ(onDialog, S_FALSE);  // already initialised, by the chooser
  EXPECT_TRUE(comFree());
  TConfig::OpenFileProc = &GetOpenFileNameA;
}

// A store of our own, to reach what the program's settings do not use.
class TTestStore : public TConfigAbstract {
public:
  explicit TTestStore(std::vector<TConfigFieldsRec> table, bool versionKey = false)
      : TConfigAbstract(versionKey), table_(std::move(table)) {
    Construct();
  }
  void DefineFields() override { RegisterFields(table_); }

private:
  std::vector<TConfigFieldsRec> table_;
};

TEST_F(Settings, EmptyNamedRecordsAreSkippedWithoutShiftingOthers) {
  int32_t a = 0, b = 0;
  uint8_t blob[4] = {1, 2, 3, 4};
  TTestStore store({MakeFieldDescRec("A", TConfigFieldType::fdInteger, &a, 0, int32_t(5)),
                    MakeFieldDescRec("", TConfigFieldType::fdInteger, &b, 0, int32_t(6)),
                    MakeFieldDescRec("B", TConfigFieldType::fdInteger, &b, 0, int32_t(7)),
                    MakeFieldDescRec("Blob", TConfigFieldType::fdBinary, blob, 4, int32_t(0))});
  ASSERT_EQ(store.Fields.size(), 3u);
  EXPECT_EQ(store.Fields[1]->Name, "B");
  EXPECT_EQ(store.Fields[0]->Size, 0);
  EXPECT_EQ(store.Fields[2]->Size, 4);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 7);
  const std::string key = store.RegistryKey;
  EXPECT_EQ(key, "Software\\Fenwright\\" + ExeBaseName(Application.ExeName()));
  RegValue v = ReadValue(key, "Blob");
  EXPECT_EQ(v.type, DWORD(REG_BINARY));
  EXPECT_EQ(v.data, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(Settings, TitleTextsAndVersionKey) {
  ConfigScope config;
  const std::string title = Application.Title();
  EXPECT_EQ(AppConfig->GetTitleText(0), title + " - Version 1.0");
  EXPECT_EQ(AppConfig->GetTitleText(1), title + " 1.0");
  EXPECT_EQ(AppConfig->GetTitleText(2), title);
  EXPECT_EQ(AppConfig->GetTitleText(3), ExeBaseName(Application.ExeName()));
  EXPECT_EQ(AppConfig->GetTitleText(4), "");
  AppConfig->SetBetaVersion(true);
  EXPECT_EQ(AppConfig->GetTitleText(0), title + " - Version 1.0\xDF");
  EXPECT_EQ(AppConfig->GetVersionKey(), "1");
}

TEST_F(Settings, VersionBlock) {
  ConfigScope config;
  TInfoVersion &info = *AppConfig->InfoVersion;
  ASSERT_EQ(info.VersionStrings.size(), 13u);
  EXPECT_EQ(info.GetInfo(CompanyName), "Fenwright");
  EXPECT_EQ(info.GetInfo(FileVersion), TAVELIN_VERSION_TEXT);  // the build's one version
  EXPECT_EQ(info.GetInfo(ProductVersion).rfind("1.", 0), 0u);
  EXPECT_EQ(info.GetInfo(eMail).find('@') != std::string::npos, true);
  EXPECT_EQ(info.GetInfo(BuildFlags), "Info not registered");
  EXPECT_EQ(info.GetInfo(URL), "Info not registered");
  EXPECT_EQ(info.GetInfo(InfoMajor), "1");
  EXPECT_EQ(info.GetInfo(InfoMinor), "0");
  EXPECT_EQ(info.GetInfo(InfoRelease), VersionPart(TAVELIN_VERSION_TEXT, 3));
  EXPECT_EQ(info.GetInfo(InfoBuild), VersionPart(TAVELIN_VERSION_TEXT, 4));
  EXPECT_EQ(info.GetInfo(InfoBeta), "");
  EXPECT_EQ(info.GetInfo(200), "");
  // No block at all: every entry reads "Info not registered", and the key falls back.
  info.ReadVersionInfo("C:\\does\\not\\exist.exe");
  ASSERT_EQ(info.VersionStrings.size(), 13u);
  for (const auto &s : info.VersionStrings) EXPECT_EQ(s, "Info not registered");
  EXPECT_EQ(info.GetInfo(InfoMajor), "");
  EXPECT_EQ(info.GetInfo(InfoBuild), "Info not registered");
  EXPECT_EQ(info.InfoOS->GetPlatformName(), "Windows NT");
  EXPECT_EQ(info.InfoOS->GetMinorText().size(), 2u);
  EXPECT_TRUE(info.InfoUser->RegisteredName.empty());
}

TEST_F(Settings, HostSystemTexts) {
  TInfoOS os(nullptr);
  os.MinorVersion = 0;
  EXPECT_EQ(os.GetMinorText(), "00");
  os.MinorVersion = 10;
  EXPECT_EQ(os.GetMinorText(), "10");
  os.MajorVersion = 5;
  EXPECT_EQ(os.GetMajorText(), "5");
  os.PlatformId = 2;
  EXPECT_EQ(os.GetPlatformName(), "Windows NT");
  os.PlatformId = 3;
  EXPECT_EQ(os.GetPlatformName(), "Indéterminé");
}

TEST_F(Settings, RegisteredOwnerComesFromTheSetupKey) {
  const std::string setup = "SoftWare\\Microsoft\\MS SetUp (ACME)\\User Info";
  WriteString(setup, "DefName", "Claire Dumas");
  WriteString(setup, "DefCompagny", "Lycée Champollion");
  TInfoUser user(nullptr);
  EXPECT_EQ(user.RegisteredName, "Claire Dumas");
  EXPECT_EQ(user.RegisteredCompany, "Lycée Champollion");
  WriteDword(setup, "DefName", 3);
  EXPECT_THROW(TInfoUser{nullptr}, ETavelinError);
  RegDeleteTreeA(HKEY_CURRENT_USER, "SoftWare\\Microsoft\\MS SetUp (ACME)");
}

// --- Window placements -------------------------------------------------------------------------

class Placement : public Settings {
protected:
  void SetUp() override {
    Settings::SetUp();
    config_ = std::make_unique<ConfigScope>();
    form_ = std::make_unique<TForm>(nullptr);
    form_->LoadDesignText("form ABCDEFGHIJKLMNOPQRSTUVWXY client=200,100 pos=20,10\n", "Test");
    form_->CreateHandle();
  }
  void TearDown() override {
    form_.reset();
    config_.reset();
    Settings::TearDown();
  }
  std::unique_ptr<ConfigScope> config_;
  std::unique_ptr<TForm> form_;
};

TEST_F(Placement, FixedBorderWindowStoresOnlyItsCorner) {
  AppConfig->SaveWindowSetting(wkByName, form_.get(), 0);
  RegValue v = ReadValue(SettingsKey(), "ABCDEFGHIJKLMNOPQRST");
  ASSERT_TRUE(v.exists);
  EXPECT_EQ(v.type, DWORD(REG_BINARY));
  ASSERT_EQ(v.data.size(), 44u);
  TWindowSettingRec rec;
  ASSERT_TRUE(TWindowSettingRec::Unpack(v.data.data(), v.data.size(), rec));
  EXPECT_EQ(rec.Name, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(rec.Top, 10);
  EXPECT_EQ(rec.Left, 20);
  EXPECT_EQ(rec.Height, 0);
  EXPECT_EQ(rec.Width, 0);
  EXPECT_EQ(rec.WindowState, 0);

  int width = form_->Width();
  form_->SetBounds(300, 200, width, form_->Height());
  AppConfig->LoadWindowSetting(wkByName, form_.get(), 0);
  EXPECT_EQ(form_->Left(), 20);
  EXPECT_EQ(form_->Top(), 10);
  EXPECT_EQ(form_->Width(), width);
}

// With the taskbar docked at the top and on the left, the work area starts away from the
// screen's corner, and a window's normal rectangle comes in the work area's coordinates; the
// record holds screen pixels, so that the window comes back where it was, start after start.
// Wine keeps the work area at the screen's corner whatever SPI_SETWORKAREA says, so the
// conversion is checked on its own, and the minimised window, whose corner only its placement
// knows, here.
TEST_F(Placement, CornerIsStoredInScreenPixelsWhateverTheWorkArea) {
  MONITORINFO docked{};
  docked.cbSize = sizeof docked;
  docked.rcMonitor = {0, 0, 1024, 768};
  docked.rcWork = {60, 40, 1024, 768};
  RECT placement{140, 110, 340, 260};
  RECT screen = WorkspaceToScreen(placement, docked);
  EXPECT_EQ(screen.left, 200);
  EXPECT_EQ(screen.top, 150);
  EXPECT_EQ(screen.right, 400);
  EXPECT_EQ(screen.bottom, 300);

  form_->Show(false);
  form_->SetBounds(200, 150, form_->Width(), form_->Height());
  ShowWindow(form_->Handle(), SW_MINIMIZE);
  AppConfig->SaveWindowSetting(wkByIndex, form_.get(), 5);
  ShowWindow(form_->Handle(), SW_RESTORE);
  TWindowSettingRec rec;
  RegValue v = ReadValue(SettingsKey(), "5");
  ASSERT_TRUE(TWindowSettingRec::Unpack(v.data.data(), v.data.size(), rec));
  EXPECT_EQ(rec.Left, 200);
  EXPECT_EQ(rec.Top, 150);
  form_->SetBounds(300, 300, form_->Width(), form_->Height());
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 5);
  EXPECT_EQ(form_->Left(), 200);
  EXPECT_EQ(form_->Top(), 150);
}

TEST_F(Placement, MissingShortOrInvisiblePlacementsLeaveTheWindowWhereItIs) {
  form_->SetLeftTop(111, 77);
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 3);  // never saved
  EXPECT_EQ(form_->Left(), 111);

  uint8_t shortRec[20] = {};
  WriteRaw(SettingsKey(), "3", REG_BINARY, shortRec, sizeof shortRec);
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 3);
  EXPECT_EQ(form_->Left(), 111);

  TWindowSettingRec away;
  away.Name = "3";
  away.Left = -5000;
  away.Top = -5000;
  auto bytes = away.Pack();
  WriteRaw(SettingsKey(), "3", REG_BINARY, bytes.data(), DWORD(bytes.size()));
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 3);
  EXPECT_EQ(form_->Left(), 111);
  EXPECT_EQ(form_->Top(), 77);
}

// An oversized or mistyped placement is reported and ignored: the window keeps its design
// position, and the next save writes a true placement over it.
TEST_F(Placement, OversizedOrMistypedPlacementIsReportedAndIgnored) {
  uint8_t big[48] = {};
  WriteRaw(SettingsKey(), "3", REG_BINARY, big, sizeof big);
  form_->SetLeftTop(111, 77);
  ExceptionCatcher shown;
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 3);
  EXPECT_EQ(form_->Left(), 111);
  EXPECT_EQ(form_->Top(), 77);
  WriteString(SettingsKey(), "3", "20,10");
  AppConfig->LoadWindowSetting(wkByIndex, form_.get(), 3);
  EXPECT_EQ(form_->Left(), 111);
  EXPECT_EQ(shown.messages, (std::vector<std::string>{"Type de données incorrect pour '3'",
                                                       "Type de données incorrect pour '3'"}));
  AppConfig->SaveWindowSetting(wkByIndex, form_.get(), 3);
  RegValue v = ReadValue(SettingsKey(), "3");
  EXPECT_EQ(v.type, DWORD(REG_BINARY));
  EXPECT_EQ(v.data.size(), 44u);
}

TEST_F(Placement, MissingWindowIsAnError) {
  Application.SetMainForm(nullptr);
  try {
    AppConfig->SaveWindowSetting(wkMainWindow, form_.get(), 0);
    FAIL();
  } catch (const ETavelinError &e) {
    EXPECT_STREQ(e.what(), "TConfigAbstract.SaveWindowSetting: Fenetre de destination à nil.");
  }
  try {
    AppConfig->LoadWindowSetting(wkByName, nullptr, 0);
    FAIL();
  } catch (const ETavelinError &e) {
    EXPECT_STREQ(e.what(), "TConfigAbstract.LoadWindowSetting: Fenetre de destination à nil.");
  }
  Application.SetMainForm(form_.get());
  AppConfig->SaveWindowSetting(wkMainWindow, nullptr, 0);
  EXPECT_EQ(ReadValue(SettingsKey(), "MainWindow").data.size(), 44u);
  Application.SetMainForm(nullptr);
}

}  // namespace
