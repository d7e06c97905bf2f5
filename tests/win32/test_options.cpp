// The options dialog driven through its controls, with the real registry, on a 1024-pixel screen.
#include <windows.h>

#include <functional>
#include <set>

#include "options/uOptionsScreen.h"
#include "support_win.h"
#include "timing/uSound.h"

using namespace testwin;

namespace {

// --- Driving a modal dialog from inside its loop -----------------------------------------------

// Shows the form modally and runs `step` once its loop is running, as a user acting on the open
// dialog; the step is expected to close it.
int RunModal(TForm &form, std::function<void()> step) {
  Later(50, [&form, step = std::move(step)] {
    try {
      step();
    } catch (const std::exception &e) {
      ADD_FAILURE() << "step failed: " << e.what();
    }
    if (form.Modal() && form.ModalResult == mrNone) {
      ADD_FAILURE() << "the dialog is still open";
      form.ModalResult = mrCancel;
    }
  });
  return form.ShowModal();
}

// --- What the player and the file chooser were asked ------------------------------------------

std::vector<PlayCall> &played = SoundRecorder::Calls();

struct ChooserCall {
  std::string title, initial;
};

// --- User actions on the controls -------------------------------------------------------------

void ChooseEntry(TComboBox &combo, int index) {
  SendMessageA(combo.Handle(), CB_SETCURSEL, WPARAM(index), 0);
  SendMessageA(GetParent(combo.Handle()), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(combo.Handle()), CBN_SELCHANGE), LPARAM(combo.Handle()));
  Pump(10);
}

void ClickStatic(TStaticText &text) {
  SendMessageA(text.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(text.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  Pump(10);
}

// A control's window rectangle in its form's client area.
// left, top, width, height
std::vector<int> PlaceIn(TForm &form, TWinControl &control) {
  RECT r;
  GetWindowRect(control.Handle(), &r);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT *>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int ShownIndex(TComboBox &combo) { return int(SendMessageA(combo.Handle(), CB_GETCURSEL, 0, 0)); }

std::string TempFolder() {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return dir;
}

// What the tests made in the temporary folder (path, is a folder), removed when each test ends.
std::vector<std::pair<std::string, bool>> made;

std::string TempFile(const std::string &name, bool directory = false) {
  std::string path = TempFolder() + name;
  if (directory) {
    CreateDirectoryA(path.c_str(), nullptr);
  } else {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "RIFF", 4, &written, nullptr);
    CloseHandle(h);
  }
  made.emplace_back(path, directory);
  return path;
}

void RemoveTempFiles() {
  for (const auto &[path, directory] : made)
    directory ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
  made.clear();
}

std::set<std::string> TempFolderContents() {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((TempFolder() + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// The temporary folder is left as the tests found it.
class TempFolderLeftClean : public ::testing::Environment {
  std::set<std::string> before_;
  void SetUp() override { before_ = TempFolderContents(); }
  void TearDown() override {
    for (const std::string &name : TempFolderContents())
      if (!before_.count(name)) ADD_FAILURE() << "left in the temporary folder: " << name;
  }
};
[[maybe_unused]] const auto *tempFolderCheck =
    ::testing::AddGlobalTestEnvironment(new TempFolderLeftClean);

class Options : public ::testing::Test {
protected:
  void SetUp() override {
    ResetRegistry();
    PrepareRegistry();
    config_ = std::make_unique<ConfigScope>();
    owner_ = std::make_unique<TForm>(nullptr);
    owner_->LoadDesignText("form Owner client=287,273 pos=393,123 caption=\"Tavelin 1.0\"", "Owner");
    Application.SetMainForm(owner_.get());
    owner_->Show();
    Pump(30);
    recorder_ = std::make_unique<SoundRecorder>();
    chooser.clear();
    chooserAnswer.clear();
    TConfig::FileChooser = [this](const std::string &title, const std::string &initial,
                                  std::string &chosen) {
      chooser.push_back({title, initial});
      if (chooserAnswer.empty()) return false;
      chosen = chooserAnswer;
      return true;
    };
  }
  void TearDown() override {
    TConfig::FileChooser = &TConfig::SystemFileChooser;
    recorder_.reset();
    dialog_.reset();
    Application.SetMainForm(nullptr);
    owner_.reset();
    Pump(20);
    config_.reset();
    ResetRegistry();
    RemoveTempFiles();
  }
  virtual void PrepareRegistry() {}

  TOptionsScreen &Open() {
    dialog_ = std::make_unique<TOptionsScreen>(owner_.get());
    return *dialog_;
  }
  TComboBox &Sounds() { return dialog_->Get<TComboBox>("SoundComboBox"); }
  TComboBox &Sizes() { return dialog_->Get<TComboBox>("SizeComboBox"); }
  TStaticText &File() { return dialog_->Get<TStaticText>("StaticFile"); }
  TRadioButton &Final() { return dialog_->Get<TRadioButton>("rdBtnFinalSound"); }
  TRadioButton &Beep() { return dialog_->Get<TRadioButton>("rBtnBeepSound"); }
  bool FileBoxShown() { return File().Visible() && IsWindowVisible(File().Handle()); }
  RegValue Stored(const char *name) { return ReadValue(SettingsKey(), name); }

  std::unique_ptr<ConfigScope> config_;
  std::unique_ptr<TForm> owner_;
  std::unique_ptr<TOptionsScreen> dialog_;
  std::vector<ChooserCall> chooser;
  std::string chooserAnswer;
  std::unique_ptr<SoundRecorder> recorder_;
};

// --- Design and construction -------------------------------------------------------------------

TEST_F(Options, TheDialogAsDesignedAndPlacedUnderItsOwner) {
  TOptionsScreen &d = Open();
  RECT owner;
  GetWindowRect(owner_->Handle(), &owner);
  int result = RunModal(d, [&] {
    EXPECT_EQ(d.Caption(), "Tavelin 1.0 - Ecran d'options");
    EXPECT_EQ(d.ClientWidth(), 287);
    EXPECT_EQ(d.ClientHeight(), 112);
    EXPECT_TRUE(GetWindowLongA(d.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongA(d.Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(d.Font.Name, "Arial");
    EXPECT_EQ(d.Font.Height, -11);
    EXPECT_TRUE(d.ShowHint);
    RECT r;
    GetWindowRect(d.Handle(), &r);
    // Below the owner by the owner's width (not its height), at the owner's left.
    EXPECT_EQ(r.left, owner.left);
    EXPECT_EQ(r.top, owner.top + (owner.right - owner.left) + 4);
    // The owner is disabled while the dialog is open.
    EXPECT_FALSE(IsWindowEnabled(owner_->Handle()));
    EXPECT_EQ(Sounds().ItemCount(), 2);
    EXPECT_EQ(Sounds().ItemText(0), "Son interne");
    EXPECT_EQ(Sounds().ItemText(1), "Son issu d'un fichier");
    // The five sizes, then the full width of the one monitor.
    EXPECT_EQ(Sizes().ItemCount(), 6);
    EXPECT_EQ(Sizes().ItemText(0), "640x480");
    EXPECT_EQ(Sizes().ItemText(4), "1280x1024");
    EXPECT_EQ(Sizes().ItemText(5), "Plein écran");
    EXPECT_TRUE(Final().Checked());
    EXPECT_FALSE(Beep().Checked());
    EXPECT_EQ(d.CurrentSound, 0);
    EXPECT_EQ(Beep().Tag, 1);
    auto &ok = d.Get<TButton>("BitBtn1");
    EXPECT_TRUE(ok.HasGlyph());
    EXPECT_EQ(d.DefaultButton, &ok);
    EXPECT_EQ(d.CancelButton, &ok);
    EXPECT_EQ(PlaceIn(d, ok), (std::vector<int>{208, 86, 75, 25}));
    EXPECT_EQ(PlaceIn(d, File()), (std::vector<int>{132, 58, 149, 18}));
    EXPECT_EQ(PlaceIn(d, d.Get<TGroupBox>("GroupBoxSound")), (std::vector<int>{0, 0, 287, 81}));
    EXPECT_EQ(d.Get<TLabel>("Label1").Caption, "Taille de l'écran:");
    Click(ok);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_TRUE(IsWindowEnabled(owner_->Handle()));
}

TEST_F(Options, SizeListHintNamesTheMeasuredScreen) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  TOptionsScreen &d = Open();
  d.CreateHandle();
  EXPECT_EQ(Sizes().Hint(), "Taille réelle de l'écran: 1024x768 pixels");
  // The stored size (the default on this screen) is the selected entry.
  EXPECT_EQ(ShownIndex(Sizes()), 2);
  ChooseEntry(Sizes(), 4);
  EXPECT_EQ(AppConfig->UserScreenSize, 4);
  ChooseEntry(Sizes(), 5);
  EXPECT_EQ(AppConfig->UserScreenSize, 5);
}

// --- The final sound's file is gone --------------------------------------------------------------

class OptionsMissingFinalFile : public Options {
  void PrepareRegistry() override {
    WriteDword(SettingsKey(), "TypeFinalSound", 1);
    WriteString(SettingsKey(), "FinalBeepPath", "C:\\cours\\disparu.wav");
  }
};

TEST_F(OptionsMissingFinalFile, WarnsBeforeTheDialogThenFallsBackToTheInternalSound) {
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  // The warning came while the dialog was being built, before it had a window.
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_FALSE(d.HandleAllocated());
  EXPECT_EQ(boxes.Boxes()[0].caption, "Avertissement");
  EXPECT_EQ(boxes.Boxes()[0].text, "Impossible de trouver le fichier \"C:\\cours\\disparu.wav\".");
  EXPECT_TRUE(chooser.empty());
  int result = RunModal(d, [&] {
    EXPECT_EQ(ShownIndex(Sounds()), 0);
    EXPECT_FALSE(FileBoxShown());
    EXPECT_EQ(AppConfig->TypeFinalSound, 0);
    EXPECT_EQ(AppConfig->FinalBeepPath, "C:\\cours\\disparu.wav");
    // The close box: nothing is saved.
    SendMessageA(d.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(Stored("TypeFinalSound").Dword(), 1u);
  EXPECT_EQ(AppConfig->TypeFinalSound, 0);
}

class OptionsDirectoryAsBeepFile : public Options {
  void PrepareRegistry() override {
    WriteDword(SettingsKey(), "TypeBeepSound", 1);
    WriteString(SettingsKey(), "IntermediateBeepPath", TempFile("un_dossier.wav", true));
  }
};

TEST_F(OptionsDirectoryAsBeepFile, ADirectoryIsNoFileAndTheBeepIsOnlyCheckedWhenChosen) {
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  d.CreateHandle();
  d.Show();
  Pump(20);
  // Only the final sound is checked when the dialog opens.
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(AppConfig->TypeBeepSound, 1);
  Click(Beep());
  EXPECT_EQ(d.CurrentSound, 1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Impossible de trouver le fichier \"" + AppConfig->IntermediateBeepPath + "\".");
  EXPECT_EQ(AppConfig->TypeBeepSound, 0);
  EXPECT_EQ(ShownIndex(Sounds()), 0);
  EXPECT_FALSE(FileBoxShown());
  EXPECT_TRUE(chooser.empty());
  d.Hide();
}

// --- Choosing the file source ----------------------------------------------------------------------

TEST_F(Options, CancellingTheChooserWithNoPathGoesBackToTheInternalSound) {
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  int result = RunModal(d, [&] {
    ChooseEntry(Sounds(), 1);
    ASSERT_EQ(chooser.size(), 1u);
    EXPECT_EQ(chooser[0].title, "Sélectionnez le fichier pour le Son final");
    EXPECT_EQ(chooser[0].initial, "");
    EXPECT_EQ(ShownIndex(Sounds()), 0);
    EXPECT_EQ(Sounds().ItemIndex(), 0);
    EXPECT_FALSE(FileBoxShown());
    EXPECT_EQ(AppConfig->TypeFinalSound, 0);
    EXPECT_EQ(AppConfig->FinalBeepPath, "");
    PressKey(d.Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(Options, AValidBeepFileIsShownHintedAndPlayed) {
  std::string wav = TempFile("bip du cours.wav");
  chooserAnswer = wav;
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  int result = RunModal(d, [&] {
    Click(Beep());
    EXPECT_EQ(d.CurrentSound, 1);
    EXPECT_FALSE(FileBoxShown());
    ChooseEntry(Sounds(), 1);
    ASSERT_EQ(chooser.size(), 1u);
    EXPECT_EQ(chooser[0].title, "Sélectionnez le fichier pour le son des beeps");
    EXPECT_EQ(AppConfig->TypeBeepSound, 1);
    EXPECT_EQ(AppConfig->IntermediateBeepPath, wav);
    EXPECT_EQ(AppConfig->TypeFinalSound, 0);
    EXPECT_EQ(AppConfig->FinalBeepPath, "");
    EXPECT_TRUE(FileBoxShown());
    EXPECT_EQ(File().Text(), wav);
    EXPECT_EQ(File().Hint(), wav);

    Click(d.Get<TButton>("BtnPlaySound"));
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].sound, wav);
    EXPECT_EQ(played[0].module, nullptr);
    EXPECT_EQ(played[0].flags, 0x20001u);

    // Back on the final sound: the built-in one plays, the beep keeps its file.
    Click(Final());
    EXPECT_EQ(d.CurrentSound, 0);
    EXPECT_EQ(ShownIndex(Sounds()), 0);
    EXPECT_FALSE(FileBoxShown());
    Click(d.Get<TButton>("BtnPlaySound"));
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[1].sound, "fin");
    EXPECT_EQ(played[1].flags, 0x40005u);
    EXPECT_EQ(AppConfig->TypeBeepSound, 1);
    Click(d.Get<TButton>("BitBtn1"));
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Stored("TypeBeepSound").Dword(), 1u);
  EXPECT_EQ(Stored("IntermediateBeepPath").String(), wav);
}

// The third row: the warning's sound, built in or a file, chosen and tried like the two others.
TEST_F(Options, TheWarningRowWorksLikeTheOthers) {
  std::string wav = TempFile("alerte.wav");
  chooserAnswer = wav;
  TOptionsScreen &d = Open();
  RunModal(d, [&] {
    auto &warn = d.Get<TRadioButton>("rBtnWarnSound");
    EXPECT_EQ(warn.Text(), "Avertissement");
    Click(warn);
    Click(d.Get<TButton>("BtnPlaySound"));
    ChooseEntry(Sounds(), 1);
    ASSERT_EQ(chooser.size(), 1u);
    EXPECT_EQ(chooser[0].title, "Sélectionnez le fichier pour le son d'avertissement");
    EXPECT_EQ(AppConfig->TypeWarnSound, 1);
    Click(d.Get<TButton>("BtnPlaySound"));
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].sound, "warn");
    EXPECT_EQ(played[0].flags, 0x40005u);
    EXPECT_EQ(played[1].sound, wav);
    Click(d.Get<TButton>("BitBtn1"));
  });
  EXPECT_EQ(Stored("WarnSoundPath").String(), wav);
}

// --- The file box -------------------------------------------------------------------------------

class OptionsWithBothFiles : public Options {
  void PrepareRegistry() override {
    WriteDword(SettingsKey(), "TypeFinalSound", 1);
    WriteString(SettingsKey(), "FinalBeepPath", TempFile("fin.wav"));
    WriteDword(SettingsKey(), "TypeBeepSound", 1);
    WriteString(SettingsKey(), "IntermediateBeepPath", TempFile("bip.wav"));
  }
};

TEST_F(OptionsWithBothFiles, TheFileBoxOpensTheChooserOfTheSoundBeingEdited) {
  std::string finalPath = AppConfig->FinalBeepPath, beepPath = AppConfig->IntermediateBeepPath;
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  int result = RunModal(d, [&] {
    EXPECT_TRUE(FileBoxShown());
    EXPECT_EQ(File().Text(), finalPath);
    chooserAnswer = "C:\\autre\\fin.wav";
    ClickStatic(File());
    ASSERT_EQ(chooser.size(), 1u);
    EXPECT_EQ(chooser[0].title, "Sélectionnez le fichier pour le Son final");
    EXPECT_EQ(chooser[0].initial, finalPath);
    EXPECT_EQ(AppConfig->FinalBeepPath, "C:\\autre\\fin.wav");
    EXPECT_EQ(AppConfig->IntermediateBeepPath, beepPath);
    // The box shows the new path only when the source is next looked at.
    EXPECT_EQ(File().Text(), finalPath);

    Click(Beep());
    EXPECT_TRUE(FileBoxShown());
    EXPECT_EQ(File().Text(), beepPath);
    chooserAnswer = "C:\\autre\\bip.wav";
    ClickStatic(File());
    ASSERT_EQ(chooser.size(), 2u);
    EXPECT_EQ(chooser[1].title, "Sélectionnez le fichier pour le son des beeps");
    EXPECT_EQ(chooser[1].initial, beepPath);
    EXPECT_EQ(AppConfig->IntermediateBeepPath, "C:\\autre\\bip.wav");
    EXPECT_EQ(AppConfig->FinalBeepPath, "C:\\autre\\fin.wav");
    SendMessageA(d.Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(boxes.Boxes().empty());
  // The close box saved nothing.
  EXPECT_EQ(Stored("FinalBeepPath").String(), finalPath);
  EXPECT_EQ(Stored("IntermediateBeepPath").String(), beepPath);
}

// --- Stored sources that only an edited registry holds -----------------------------------------------

class OptionsOddSources : public Options {
  void PrepareRegistry() override {
    WriteDword(SettingsKey(), "TypeFinalSound", 7);
    WriteString(SettingsKey(), "FinalBeepPath", TempFile("fin.wav"));
    WriteDword(SettingsKey(), "TypeBeepSound", 0xFFFFFFFF);
    WriteString(SettingsKey(), "IntermediateBeepPath", "C:\\nulle\\part.wav");
  }
};

TEST_F(OptionsOddSources, ShowAsTheFileWithoutOfferingTheChooser) {
  MessageBoxWatcher boxes;
  TOptionsScreen &d = Open();
  d.CreateHandle();
  d.Show();
  Pump(20);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(chooser.empty());
  EXPECT_EQ(ShownIndex(Sounds()), 1);
  EXPECT_TRUE(FileBoxShown());
  EXPECT_EQ(AppConfig->TypeFinalSound, 1);
  // The beep's file is missing: warned and set back to the internal sound.
  Click(Beep());
  EXPECT_TRUE(chooser.empty());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Impossible de trouver le fichier \"C:\\nulle\\part.wav\".");
  EXPECT_EQ(AppConfig->TypeBeepSound, 0);
  EXPECT_EQ(ShownIndex(Sounds()), 0);
  d.Hide();
}

// --- Saving --------------------------------------------------------------------------------------------

TEST_F(Options, EscapeSavesLikeOk) {
  TOptionsScreen &d = Open();
  ASSERT_EQ(Stored("UserScreenSize").Dword(), 2u);
  int result = RunModal(d, [&] {
    ChooseEntry(Sizes(), 0);
    EXPECT_EQ(AppConfig->UserScreenSize, 0);
    EXPECT_EQ(Stored("UserScreenSize").Dword(), 2u);
    PressKey(d.Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(Stored("UserScreenSize").Dword(), 0u);
  EXPECT_FALSE(IsWindowVisible(d.Handle()));
}

TEST_F(Options, TheCloseBoxDoesNotSave) {
  TOptionsScreen &d = Open();
  int result = RunModal(d, [&] {
    ChooseEntry(Sizes(), 4);
    SendMessageA(d.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(AppConfig->UserScreenSize, 4);
  EXPECT_EQ(Stored("UserScreenSize").Dword(), 2u);
}

}  // namespace
