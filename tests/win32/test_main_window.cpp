// The main window driven through its controls, with the real registry.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/UMain.h"
#include "app/uEndTimeScreen.h"
#include "app/uExamScreen.h"
#include "app/uPapersScreen.h"
#include "app/uPlanDocument.h"
#include "app/uProcesVerbal.h"
#include "base/uErrors.h"
#include "base/uText.h"
#include "display/uTimeAddedScreen.h"
#include "display/uWatchChrono.h"
#include "options/uOptionsScreen.h"
#include "support_win.h"
#include "timing/uJournalKeeper.h"

using namespace testwin;
using namespace std::string_literals;

namespace {

class MainWindow : public MainWindowTest {
protected:
  TSpinEdit &Spin(const char *name) { return main_->Get<TSpinEdit>(name); }
  std::vector<int> Values(const char *a, const char *b, const char *c) {
    return {Spin(a).Value(), Spin(b).Value(), Spin(c).Value()};
  }
  void SetBox(const char *name, int value) { TypeText(Spin(name), std::to_string(value)); }
};

TEST_F(MainWindow, FirstStartShowsTheDefaults) {
  EXPECT_EQ(main_->Caption(), Application.Title() + " 1.0");
  EXPECT_EQ(Values("SpinChour", "SpinCmin", "SpinCsec"), (std::vector<int>{0, 5, 0}));
  EXPECT_EQ(Values("SpinBhour", "SpinBmin", "SpinBsec"), (std::vector<int>{0, 0, 30}));
  EXPECT_FALSE(main_->Get<TGroupBox>("beepbox").Visible());
  EXPECT_FALSE(IsWindowVisible(main_->Get<TGroupBox>("beepbox").Handle()));
  EXPECT_EQ(main_->Get<TComboBox>("Combosens").ItemIndex(), 0);
  EXPECT_EQ(main_->Get<TComboBox>("Combosens").ItemText(1), "Négatif");
  auto &beep = main_->Get<TButton>("BtnActivateBeep");
  EXPECT_FALSE(beep.Down());
  EXPECT_EQ(beep.Tag, 1);
  EXPECT_EQ(main_->Get<TPanel>("cfgpanel").Height(), 110);
  EXPECT_EQ(main_->ClientWidth(), 287);
  EXPECT_EQ(main_->ClientHeight(), 273);
  RECT r;
  GetWindowRect(main_->Get<TButton>("BtnShowChrono").Handle(), &r);
  POINT p{r.left, r.top};
  ScreenToClient(main_->Handle(), &p);
  EXPECT_EQ(p.x, 25);
  EXPECT_EQ(p.y, 240);
}

TEST_F(MainWindow, BackgroundIsABlueGradientOfFivePixelBands) {
  RedrawWindow(main_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(main_->Handle());
  auto at = [&](int x, int y) { return GetPixel(dc, x, y); };
  EXPECT_EQ(at(2, 0), RGB(0, 0, 255));
  EXPECT_EQ(at(2, 4), RGB(0, 0, 255));
  EXPECT_EQ(at(2, 5), RGB(0, 0, 251));
  EXPECT_EQ(at(2, 272), RGB(0, 0, 39));  // the 55th and last band
  // With the beeps off the gradient shows under the shortened panel (band 40 at y 200).
  EXPECT_EQ(at(140, 200), RGB(0, 0, 255 - 40 * 4));
  // The banner sits in its panel, inside the double bevel.
  EXPECT_NE(at(34 + 6 + 100, 8 + 6 + 20), at(2, 20));
  ReleaseDC(main_->Handle(), dc);
}

TEST_F(MainWindow, DurationBoxesEditTheTotal) {
  SetBox("SpinChour", 2);
  SetBox("SpinCsec", 7);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 2u * 3600 + 5 * 60 + 7);
  // A text that is not a number reads as 0; a value typed out of range is stored as typed
  // (low 8 bits) until the box loses the focus, which brings it to the nearest limit.
  TypeText(Spin("SpinCmin"), "abc");
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(1), 0);
  Spin("SpinChour").SetFocus();
  TypeText(Spin("SpinChour"), "300");
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(0), 300 & 0xFF);
  Spin("SpinCmin").SetFocus();
  Pump(20);
  EXPECT_EQ(Spin("SpinChour").Value(), 24);
  EXPECT_EQ(AppConfig->TotalTime->GetTimePart(0), 24);
  // The arrows step by one and stop at the limits.
  SendMessageA(Spin("SpinChour").UpDownHandle(), UDM_SETPOS32, 0, 24);
  EXPECT_EQ(LOWORD(SendMessageA(Spin("SpinChour").UpDownHandle(), UDM_GETRANGE, 0, 0)), 24);
}

TEST_F(MainWindow, IntervalIsKeptWithinTheDuration) {
  Click(main_->Get<TButton>("BtnActivateBeep"));
  SetBox("SpinChour", 0);
  SetBox("SpinCmin", 10);
  SetBox("SpinCsec", 0);
  SetBox("SpinBhour", 1);
  EXPECT_EQ(Values("SpinBhour", "SpinBmin", "SpinBsec"), (std::vector<int>{0, 10, 0}));
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 600u);
  // Equal values are left alone.
  SetBox("SpinBmin", 10);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 600u);
  // Lowering the duration below the interval does not touch the interval...
  SetBox("SpinCmin", 1);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 600u);
  // ...until an interval box changes.
  SetBox("SpinBsec", 5);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 60u);
  EXPECT_EQ(Values("SpinBhour", "SpinBmin", "SpinBsec"), (std::vector<int>{0, 1, 0}));
  // A duration and an interval of zero are accepted.
  SetBox("SpinCmin", 0);
  SetBox("SpinBmin", 0);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 0u);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 0u);
}

TEST_F(MainWindow, BeepSwitchHasTwoStates) {
  auto &beep = main_->Get<TButton>("BtnActivateBeep");
  auto &box = main_->Get<TGroupBox>("beepbox");
  auto &panel = main_->Get<TPanel>("cfgpanel");
  AppConfig->InterBeepTime->SetTotalSeconds(45);
  Click(beep);
  EXPECT_TRUE(beep.Down());
  EXPECT_EQ(beep.Tag, 0);
  EXPECT_TRUE(box.Visible());
  EXPECT_TRUE(IsWindowVisible(box.Handle()));
  EXPECT_EQ(panel.Height(), 158);
  EXPECT_EQ(beep.Hint(), "Désactiver les beep");
  EXPECT_TRUE(AppConfig->BeepActive);
  Click(beep);
  EXPECT_FALSE(beep.Down());
  EXPECT_EQ(beep.Tag, 1);
  EXPECT_FALSE(IsWindowVisible(box.Handle()));
  EXPECT_EQ(panel.Height(), 110);
  EXPECT_EQ(beep.Hint(), "Activer les beep");
  EXPECT_FALSE(AppConfig->BeepActive);
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 45u);  // hidden, not changed
}

TEST_F(MainWindow, BeepSwitchTakesQuickClicksButNeverTheFocus) {
  auto &beep = main_->Get<TButton>("BtnActivateBeep");
  HWND focus = Spin("SpinChour").Handle();
  SetFocus(focus);
  auto press = [&](UINT down) {
    PostMessageA(beep.Handle(), down, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(beep.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump(20);
  };
  press(WM_LBUTTONDOWN);
  EXPECT_TRUE(AppConfig->BeepActive);
  EXPECT_EQ(GetFocus(), focus);
  press(WM_LBUTTONDBLCLK);  // the second press of a double click
  EXPECT_FALSE(AppConfig->BeepActive);
  EXPECT_EQ(GetFocus(), focus);
}

TEST_F(MainWindow, ShowingAgainRefreshesCaptionAndBoxes) {
  AppConfig->TotalTime->SetTotalSeconds(3725);
  AppConfig->InterBeepTime->SetTotalSeconds(4000);  // longer than the duration
  main_->SetCaption("autre");
  main_->Hide();
  main_->Show();
  Pump(20);
  EXPECT_EQ(main_->Caption(), Application.Title() + " 1.0");
  EXPECT_EQ(Values("SpinChour", "SpinCmin", "SpinCsec"), (std::vector<int>{1, 2, 5}));
  // Showing the interval boxes ran their change handler, which brought the interval down.
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 3725u);
  EXPECT_EQ(Values("SpinBhour", "SpinBmin", "SpinBsec"), (std::vector<int>{1, 2, 5}));
}

TEST_F(MainWindow, DirectionListSetsTypeInc) {
  auto &combo = main_->Get<TComboBox>("Combosens");
  SendMessageA(combo.Handle(), CB_SETCURSEL, 1, 0);
  SendMessageA(GetParent(combo.Handle()), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(combo.Handle()), CBN_SELCHANGE), LPARAM(combo.Handle()));
  EXPECT_EQ(AppConfig->TypeInc, 1);
}

TEST_F(MainWindow, TabFollowsTheTabOrderAcrossContainers) {
  auto focusedName = [] {
    TWinControl *c = TWinControl::FromHandle(GetFocus());
    return c ? c->Name : std::string("?");
  };
  main_->Get<TComboBox>("Combosens").SetFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 6; ++i) {
    PressKey(GetFocus(), VK_TAB);
    order.push_back(focusedName());
  }
  // The flat beep switch takes no focus, the hidden interval boxes are skipped.
  EXPECT_EQ(order, (std::vector<std::string>{"SpinChour", "SpinCmin", "SpinCsec", "BtnShowChrono",
                                             "BtnClose", "Combosens"}));
}

TEST_F(MainWindow, FocusIsRemembered) {
  Spin("SpinCmin").SetFocus();
  Pump(10);
  EXPECT_EQ(main_->LastFocused(), &Spin("SpinCmin"));
}

TEST_F(MainWindow, MenuHasItsItemsAndShortcut) {
  TPopupMenu *menu = main_->FindMenu("MainPopup");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->Items.size(), 12u);
  EXPECT_EQ(menu->Items[0]->Caption, "&Options");
  EXPECT_EQ(menu->Items[1]->Caption, "&Lancer le Chrono");
  EXPECT_EQ(menu->Items[2]->Caption, "&Heure de fin...");
  EXPECT_EQ(menu->Items[3]->Caption, "Compter le &dépassement");
  EXPECT_EQ(menu->Items[4]->Caption, "&Examen...");
  EXPECT_EQ(menu->Items[5]->Caption, "Ép&reuves...");
  EXPECT_EQ(menu->Items[6]->Caption, "O&uvrir un plan...");
  EXPECT_EQ(menu->Items[7]->Caption, "Enre&gistrer le plan...");
  EXPECT_EQ(menu->Items[8]->Caption, "A &Propos");
  EXPECT_EQ(menu->Items[9]->Caption, "&Journal...");
  EXPECT_EQ(menu->Items[10]->Caption, "-");
  EXPECT_EQ(menu->Items[11]->Caption, "Quitter");
  EXPECT_EQ(menu->Items[11]->ShortCutText, "Ctrl+X");
  EXPECT_EQ(main_->PopupMenu, menu);
}

// A box in front of a run is placed from a hook of the system's: a failure there must not cross
// back into Windows, and the box shows where the system puts it.
TEST_F(MainWindow, ABoxThatCannotBePlacedStillShows) {
  Application.SetFrontWindow(main_->Handle(), [](SIZE) -> POINT { throw ETavelinError("x"); });
  MessageBoxWatcher boxes;
  EXPECT_EQ(ShowMessageBox("Essai", "Information", MB_OK), IDOK);
  Application.SetFrontWindow(nullptr, nullptr);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

// The menu as it pops up: the count beyond the end is a checked entry when it is on, and a
// choice of it switches it and the setting.
TEST_F(MainWindow, CountOvertimeIsACheckedEntryAndASetting) {
  TMenuItem *item = MenuItemByText(*main_, "Compter le &dépassement");
  ASSERT_NE(item, nullptr);
  auto state = [&] {
    HMENU menu = main_->PopupMenu->CreateMenuHandle();
    UINT flags = GetMenuState(menu, item->Id, MF_BYCOMMAND);
    DestroyMenu(menu);
    return (flags & MF_CHECKED) != 0;
  };
  EXPECT_FALSE(AppConfig->CountOvertime);
  EXPECT_FALSE(state());
  item->OnClick(main_.get());
  EXPECT_TRUE(AppConfig->CountOvertime);
  EXPECT_TRUE(state());
  item->OnClick(main_.get());
  EXPECT_FALSE(AppConfig->CountOvertime);
  EXPECT_FALSE(state());
}

class MainWindowCountingOvertime : public MainWindow {
  void PrepareRegistry() override { WriteDword(SettingsKey(), "CountOvertime", 1); }
};

TEST_F(MainWindowCountingOvertime, StartsWithTheEntryChecked) {
  EXPECT_TRUE(MenuItemByText(*main_, "Compter le &dépassement")->Checked);
}

// --- The dialogs of the menu, found by their texts ----------------------------------------------

class EndTimeDialog : public MainWindow {
protected:
  // Opens the dialog from its menu entry and runs `step` on it once it is up; the step is
  // expected to close it.
  void Open(std::function<void(TForm &dialog)> step, const char *entry = "&Heure de fin...",
            const char *captionEnd = " - Heure de fin") {
    TMenuItem *item = MenuItemByText(*main_, entry);
    ASSERT_NE(item, nullptr);
    bool ran = false;
    Later(50, [&] {
      TForm *dialog = FormByCaption(main_->Caption() + captionEnd);
      ASSERT_NE(dialog, nullptr);
      ran = true;
      EXPECT_FALSE(IsWindowEnabled(main_->Handle()));  // modal
      step(*dialog);
      if (dialog->Modal() && dialog->ModalResult == mrNone) {
        ADD_FAILURE() << "the dialog is still open";
        dialog->ModalResult = mrCancel;
      }
    });
    item->OnClick(main_.get());
    EXPECT_TRUE(ran);
    EXPECT_TRUE(IsWindowEnabled(main_->Handle()));
  }
  static HWND ButtonByText(TForm &dialog, const char *text) {
    return FindWindowExA(dialog.Handle(), nullptr, "Button", text);
  }
  static void Press(TForm &dialog, const char *text) {
    HWND button = ButtonByText(dialog, text);
    ASSERT_NE(button, nullptr) << text;
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump(20);
  }
  static void SetEnd(TForm &dialog, int hour, int minute) {
    TypeText(dialog.Get<TSpinEdit>("SpinEndHour"), std::to_string(hour));
    TypeText(dialog.Get<TSpinEdit>("SpinEndMin"), std::to_string(minute));
  }
};

TEST_F(EndTimeDialog, OpensOnTheEndOfTheDurationAndCancelChangesNothing) {
  FakeLocalClock wall(TimeOfDay(10, 31, 20));
  Open([&](TForm &dialog) {
    EXPECT_EQ(dialog.Find<TLabel>("LabelEnd")->Caption, "Fin du chronométrage à");
    EXPECT_NE(ButtonByText(dialog, "OK"), nullptr);
    EXPECT_NE(ButtonByText(dialog, "Annuler"), nullptr);
    EXPECT_EQ(dialog.Get<TSpinEdit>("SpinEndHour").MaxValue, 23);
    EXPECT_EQ(dialog.Get<TSpinEdit>("SpinEndMin").MaxValue, 59);
    EXPECT_NE(dialog.Get<TSpinEdit>("SpinEndHour").UpDownHandle(), nullptr);
    // 10:31:20 and the default 5 minutes: 10:36:20, rounded up.
    EXPECT_EQ(dialog.Get<TSpinEdit>("SpinEndHour").Value(), 10);
    EXPECT_EQ(dialog.Get<TSpinEdit>("SpinEndMin").Value(), 37);
    SetEnd(dialog, 11, 0);
    PressKey(dialog.Get<TSpinEdit>("SpinEndMin").Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(main_->EndMinute(), -1);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 300u);
  EXPECT_EQ(AppConfig->TypeInc, 0);
}

TEST_F(EndTimeDialog, OkMakesACountDownOfTheTimeLeftUntilADurationBoxChanges) {
  FakeLocalClock wall(TimeOfDay(10, 31, 20));
  Open([&](TForm &dialog) {
    SetEnd(dialog, 10, 45);
    PressKey(dialog.Get<TSpinEdit>("SpinEndMin").Handle(), VK_RETURN);  // OK is the default
  });
  EXPECT_EQ(main_->EndMinute(), 10 * 60 + 45);
  EXPECT_EQ(main_->Get<TComboBox>("Combosens").ItemIndex(), 1);
  EXPECT_EQ(AppConfig->TypeInc, 1);
  EXPECT_EQ(Values("SpinChour", "SpinCmin", "SpinCsec"), (std::vector<int>{0, 13, 40}));
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 13u * 60 + 40);
  SetBox("SpinCsec", 41);
  EXPECT_EQ(main_->EndMinute(), -1);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 13u * 60 + 41);
}

TEST_F(EndTimeDialog, ATimeNowOrPastIsRefusedAndTheDialogStays) {
  FakeLocalClock wall(TimeOfDay(10, 31, 20));
  MessageBoxWatcher boxes;
  Open([&](TForm &dialog) {
    SetEnd(dialog, 10, 31);  // the minute under way has begun: it is past
    Press(dialog, "OK");
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty(); }, 10000));
    EXPECT_EQ(dialog.ModalResult, mrNone);  // still open
    Press(dialog, "Annuler");
  });
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "L'heure de fin est déjà passée.");
  EXPECT_EQ(main_->EndMinute(), -1);
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 300u);
}

// The exam dialog shows the settings, largest warning first; OK stores what the boxes and the
// ticks say, and saves it.
class ExamDialog : public EndTimeDialog {};

TEST_F(ExamDialog, ShowsTheStoredSettingsAndOkStoresAndSavesThem) {
  AppConfig->WarnMinutes = "5 30";
  AppConfig->ExtraThird = true;
  AppConfig->SecondsNearEnd = 5;
  AppConfig->TotalTime->SetTotalSeconds(0);
  const char *third = "Tiers-temps (un tiers de temps en plus)";
  const char *clock = "Afficher l'heure et la fin sous le chronomètre";
  const char *journal = "Tenir un journal des chronométrages";
  Open([&](TForm &d) {
    EXPECT_EQ(d.Get<TLabel>("LabelWarn").Caption, "Avertir à");
    EXPECT_EQ(d.Get<TLabel>("LabelWarnEnd").Caption, "min de la fin");
    const std::pair<const char *, int> shown[] = {
        {"SpinWarn1", 30}, {"SpinWarn2", 5}, {"SpinWarn3", 0}};
    for (auto [box, value] : shown) EXPECT_EQ(d.Get<TSpinEdit>(box).Value(), value) << box;
    EXPECT_EQ(SendMessageA(ButtonByText(d, third), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(ButtonByText(d, clock), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(ButtonByText(d, journal), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(d.Get<TSpinEdit>("SpinSecondsNearEnd").Value(), 5);
    // The longest caption reads whole.
    const TLabel &label = d.Get<TLabel>("LabelSecondsNearEnd");
    EXPECT_EQ(label.Caption, "Secondes seulement dans les dernières");
    gdi::WindowDC screen(nullptr);
    gdi::Select font(screen.dc(), FontHandle(label.EffectiveFont()));
    SIZE text{};
    GetTextExtentPoint32A(screen.dc(), label.Caption.c_str(), int(label.Caption.size()), &text);
    EXPECT_LE(text.cx, label.Width());
    TypeText(d.Get<TSpinEdit>("SpinWarn1"), "0");
    TypeText(d.Get<TSpinEdit>("SpinWarn3"), "1500");  // taken as the box's limit
    TypeText(d.Get<TSpinEdit>("SpinSecondsNearEnd"), "1500");
    TypeText(d.Get<TSpinEdit>("SpinExitMinutes"), "200");  // three hours at most
    // The time of day needs an end to show under it: greyed for a count-up without a total.
    EXPECT_FALSE(IsWindowEnabled(ButtonByText(d, "Les chiffres montrent l'heure")));
    Press(d, third);
    Press(d, clock);
    Press(d, journal);
    PressKey(d.Get<TSpinEdit>("SpinWarn3").Handle(), VK_RETURN);  // OK is the default
  }, "&Examen...", " - Examen");
  EXPECT_EQ(AppConfig->WarnMinuteList(), (std::vector<uint32_t>{999, 5}));
  EXPECT_EQ(ReadValue(SettingsKey(), "WarnMinutes").String(), "999 5");
  EXPECT_EQ(ReadValue(SettingsKey(), "ExtraThird").Dword(), 0u);
  EXPECT_EQ(ReadValue(SettingsKey(), "ShowClock").Dword(), 1u);
  EXPECT_EQ(ReadValue(SettingsKey(), "KeepJournal").Dword(), 1u);
  EXPECT_EQ(ReadValue(SettingsKey(), "SecondsNearEnd").Dword(), 999u);
  EXPECT_EQ(ReadValue(SettingsKey(), "ExitMinutes").Dword(), 180u);
  EXPECT_EQ(ReadValue(SettingsKey(), "ClockDigits").Dword(), 0u);
}

// The épreuves: the first row shows the main window's duration, the others are typed. A name
// given twice (but for case and spaces), or holding a tab or a letter that Windows-1252 lacks, is
// refused and the dialog stays; OK drops a row of 0:00, stores and saves the rest,
// and the dialog opens again on them.
TEST_F(ExamDialog, EpreuvesRefuseANameTwiceAndOpenAgainOnWhatOkSaved) {
  auto fill = [](TForm &d, int row, const char *name, const char *hours, const char *minutes) {
    TypeText(d.Get<TEdit>("EditName" + std::to_string(row)), name);
    TypeText(d.Get<TSpinEdit>("SpinHour" + std::to_string(row)), hours);
    TypeText(d.Get<TSpinEdit>("SpinMin" + std::to_string(row)), minutes);
  };
  MessageBoxWatcher boxes;
  Open([&](TForm &d) {
    EXPECT_EQ(d.Get<TLabel>("LabelName").Caption, "Nom");
    EXPECT_EQ(d.Get<TLabel>("LabelLength").Caption, "Durée");
    EXPECT_EQ(d.Get<TStaticText>("TextLength1").Text(), "0:05:00");
    TypeText(d.Get<TEdit>("EditName1"), "Anglais");
    Press(d, "Épreuve 1, tiers-temps");
    fill(d, 2, "Espagnol", "1", "30");
    fill(d, 3, "ANGLAIS ", "0", "45");  // the first one's name, as a reader takes it
    fill(d, 4, "Latin", "0", "0");  // not used
    // Refused, and again for a tab, and for a letter that Windows-1252 lacks.
    for (size_t refused = 1; refused <= 3; ++refused) {
      Press(d, "OK");
      ASSERT_TRUE(PumpUntil([&] { return boxes.Boxes().size() == refused; }, 10000));
      EXPECT_EQ(d.ModalResult, mrNone);  // still open
      if (refused == 1) TypeText(d.Get<TEdit>("EditName3"), "Alle\tmand");
      if (refused == 2) SetWindowTextW(d.Get<TEdit>("EditName3").Handle(), L"Allemand \x0416");
    }
    fill(d, 3, "Allemand", "12", "45");  // taken as the box's limit, 9 h
    Click(d.Get<TCheckBox>("CheckThird3"));
    PressKey(d.Get<TEdit>("EditName3").Handle(), VK_RETURN);  // OK is the default
  }, "Ép&reuves...", " - Épreuves");
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "Deux épreuves s'appellent \"ANGLAIS\".");
  for (size_t i : {1, 2})
    EXPECT_EQ(seen[i].text, "Le nom de l'épreuve de la ligne 3 contient un caractère qui n'est pas "
                            "permis (tabulation, retour à la ligne, caractère spécial).");
  EXPECT_EQ(ReadValue(SettingsKey(), "FirstName").String(), "Anglais");
  EXPECT_EQ(ReadValue(SettingsKey(), "ExtraThird").Dword(), 1u);
  EXPECT_EQ(ReadValue(SettingsKey(), "Epreuves").String(),
            "Espagnol\t5400\t0\0Allemand\t35100\t1"s);
  Open([&](TForm &d) {
    EXPECT_EQ(d.Get<TEdit>("EditName1").Text(), "Anglais");
    EXPECT_TRUE(d.Get<TCheckBox>("CheckThird1").Checked());
    EXPECT_EQ(d.Get<TEdit>("EditName3").Text(), "Allemand");
    EXPECT_EQ(d.Get<TSpinEdit>("SpinHour3").Value(), 9);
    Press(d, "Annuler");
  }, "Ép&reuves...", " - Épreuves");
}

// A plan opened from the menu's list holds its run for the session: the boxes and the dialogs show
// it, the caption names it, a save of the settings leaves the stored ones as they were. The run
// saved as a plan opens again to the same run; a plan with a wrong line gets its box, naming the
// file and the line, and changes nothing.
TEST_F(ExamDialog, APlanHoldsItsRunForTheSessionAndSavedOpensAgainTheSame) {
  const std::string folder = "C:\\Plans d'été";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\Bac blanc.tavelin", bad = folder + "\\Faux.tavelin",
                    saved = folder + "\\Copie.tavelin";
  auto write = [](const std::string &file, const std::string &text) {
    std::ofstream(file, std::ios::binary) << Cp1252ToUtf8(text);
  };
  write(path, "Nom = Bac blanc\nÉpreuve = Philosophie ; 4h00 ; tiers-temps\n"
              "Épreuve = Anglais ; 1:30:00\nAvertissements = 10 30\nSortie = 60\nJournal = oui\n");
  write(bad, "Nom = Faux\nÉpreuve = Maths ; 2h00\nSortie = 200\n");
  AppConfig->RecentPlans = path;
  main_.reset();  // the menu lists the plans as the window is built
  main_ = std::make_unique<TMain>();
  main_->Show();
  Pump();
  TMenuItem *recent = main_->FindMenu("MainPopup")->Find("MPRecent1");
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(recent->Caption, "&1 " + path);
  recent->OnClick(main_.get());
  EXPECT_EQ(main_->Caption(), AppConfig->GetTitleText(1) + " - Bac blanc");
  EXPECT_EQ(main_->Get<TSpinEdit>("SpinChour").Value(), 4);
  EXPECT_EQ(AppConfig->FirstName, "Philosophie");
  EXPECT_TRUE(AppConfig->ExtraThird);
  EXPECT_EQ(AppConfig->Papers, (std::vector<TExamPaper>{{"Anglais", 5400, false}}));
  EXPECT_EQ(AppConfig->WarnMinutes, "30 10");
  EXPECT_EQ(AppConfig->ExitMinutes, 60);
  EXPECT_TRUE(AppConfig->KeepJournal);
  AppConfig->Save();
  EXPECT_EQ(ReadValue(SettingsKey(), "TotalTime").Dword(), 300u);
  EXPECT_EQ(ReadValue(SettingsKey(), "FirstName").String(), "");
  EXPECT_EQ(ReadValue(SettingsKey(), "KeepJournal").Dword(), 0u);
  EXPECT_EQ(ReadValue(SettingsKey(), "RecentPlans").String(), path);

  MessageBoxWatcher boxes;
  EXPECT_FALSE(main_->OpenPlan(bad));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Le plan \"" + bad + "\" ne peut pas être ouvert:\nligne 3: un "
                                   "nombre de minutes de 0 à 180 attendu: \"200\".");
  EXPECT_EQ(main_->Caption(), AppConfig->GetTitleText(1) + " - Bac blanc");
  EXPECT_EQ(AppConfig->ExitMinutes, 60);

  main_->SavePlan(saved);
  EXPECT_EQ(ReadPlanDocument(saved), ReadPlanDocument(path));
  std::filesystem::remove_all(folder);
}

// The text of a window, or its class between brackets when it is no static.
std::string StaticText(HWND wnd) {
  char cls[32] = "", text[128] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  GetWindowTextA(wnd, text, sizeof text);
  return lstrcmpiA(cls, "Static") ? "["s + cls + "]" : text;
}

BOOL CALLBACK CountField(HWND wnd, LPARAM count) {
  std::string kind = StaticText(wnd);
  *reinterpret_cast<size_t *>(count) +=
      kind == "[ComboBox]" || (kind == "[Edit]" && StaticText(GetParent(wnd)) != "[ComboBox]");
  return TRUE;
}

// A screen reader names a box or a list after the static window just before it in the window
// order: every field of every dialog has there the label that the user reads; and the display's
// window says what its digits show.
TEST_F(MainWindow, EveryFieldIsNamedAfterItsLabel) {
  MessageBoxWatcher boxes;
  TOptionsScreen options(main_.get());
  TEndTimeScreen endTime(main_.get());
  TExamScreen exam(main_.get());
  TPapersScreen papers(main_.get(), -1);
  TTimeAddedScreen timeAdded(main_.get(), nullptr);
  const std::pair<TForm *, std::string> dialogs[] = {
      {main_.get(), "Combosens=Sens du chronométrage|SpinChour=Durée, heures|"
                    "SpinCmin=Durée, minutes|SpinCsec=Durée, secondes|SpinBhour=Inter beep, heures|"
                    "SpinBmin=Inter beep, minutes|SpinBsec=Inter beep, secondes"},
      {&options, "SoundComboBox=Son final, source|SizeComboBox=Taille de l'écran:"},
      {&endTime, "SpinEndHour=Fin du chronométrage à|SpinEndMin=Fin du chronométrage, minutes"},
      {&exam, "SpinWarn1=Premier avertissement, en minutes|"
              "SpinWarn2=Deuxième avertissement, en minutes|"
              "SpinWarn3=Troisième avertissement, en minutes|"
              "SpinSecondsNearEnd=Secondes seulement dans les dernières|"
              "SpinExitMinutes=Sortie et retardataires :"},
      {&papers, "EditName1=Épreuve 1, nom|EditName2=Épreuve 2, nom|SpinHour2=Épreuve 2, heures|"
                "SpinMin2=Épreuve 2, minutes|EditName3=Épreuve 3, nom|SpinHour3=Épreuve 3, heures|"
                "SpinMin3=Épreuve 3, minutes|EditName4=Épreuve 4, nom|SpinHour4=Épreuve 4, heures|"
                "SpinMin4=Épreuve 4, minutes"},
      {&timeAdded, "SpinMinutes=Ajouter|ComboReason=Motif"},
  };
  for (const auto &[form, table] : dialogs) {
    form->CreateHandle();
    size_t rows = 0, fields = 0;
    std::istringstream in(table);
    for (std::string field, label; std::getline(in, field, '=') && std::getline(in, label, '|');
         ++rows)
      EXPECT_EQ(StaticText(GetWindow(form->Get<TWinControl>(field).Handle(), GW_HWNDPREV)), label)
          << form->Name << "." << field;
    EnumChildWindows(form->Handle(), CountField, LPARAM(&fields));
    EXPECT_EQ(fields, rows) << form->Name << ": a field is missing from the table";
  }
  Click(options.Get<TRadioButton>("rBtnWarnSound"));  // the list is the source of that sound
  EXPECT_EQ(StaticText(GetWindow(options.Get<TComboBox>("SoundComboBox").Handle(), GW_HWNDPREV)),
            "Avertissement, source");

  // A label destroys only windows that are still its own: once they went with their parent, a
  // handle it kept may name another window (here, one that lost the label's mark).
  auto label = std::make_unique<TLabel>(&exam);
  const HWND kept = label->CreateNameWindow(exam.Handle());
  ASSERT_TRUE(RemovePropA(kept, "TavelinLabel"));
  label.reset();
  EXPECT_TRUE(IsWindow(kept));
  DestroyWindow(kept);

  AppConfig->SetTypeInc(1);
  TWatchChrono display(nullptr);
  display.CreateHandle();
  EXPECT_EQ(display.Text(), Application.Title() + " - compte à rebours");
  AppConfig->SetTypeInc(0);
  display.ResetDigits(0);
  EXPECT_EQ(display.Text(), Application.Title() + " - chronomètre");
  display.SetBoard({"Anglais", "Latin"});
  EXPECT_EQ(display.Text(), Application.Title() + " - heure");
}

// Every way of closing the main window saves its place and every setting.
class MainWindowClosing : public MainWindow, public ::testing::WithParamInterface<int> {};

TEST_P(MainWindowClosing, SavesPlacementAndSettings) {
  main_->SetLeftTop(150, 60);
  SetBox("SpinCmin", 7);
  Click(main_->Get<TButton>("BtnActivateBeep"));
  ASSERT_FALSE(ReadValue(SettingsKey(), "MainWindow").exists);
  switch (GetParam()) {
    case 0: Click(main_->Get<TButton>("BtnClose")); break;
    case 1: PressKey(Spin("SpinCsec").Handle(), VK_ESCAPE); break;
    case 2: PressKey(Spin("SpinCsec").Handle(), 'X', true); break;
    case 3: SendMessageA(main_->Handle(), WM_CLOSE, 0, 0); break;
  }
  Pump(20);
  EXPECT_FALSE(IsWindowVisible(main_->Handle()));
  EXPECT_TRUE(Application.Terminated());
  RegValue placement = ReadValue(SettingsKey(), "MainWindow");
  ASSERT_EQ(placement.data.size(), 44u);
  TWindowSettingRec rec;
  TWindowSettingRec::Unpack(placement.data.data(), 44, rec);
  EXPECT_EQ(rec.Left, 150);
  EXPECT_EQ(rec.Top, 60);
  EXPECT_EQ(ReadValue(SettingsKey(), "TotalTime").Dword(), 7u * 60);
  EXPECT_EQ(ReadValue(SettingsKey(), "BeepActive").Dword(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, MainWindowClosing, ::testing::Values(0, 1, 2, 3));

class MainWindowWithStoredSettings : public MainWindow {
  void PrepareRegistry() override {
    WriteDword(SettingsKey(), "BeepActive", 1);
    WriteDword(SettingsKey(), "TypeInc", 1);
    WriteDword(SettingsKey(), "TotalTime", 600);
    WriteDword(SettingsKey(), "InterBeepTime", 3600);
  }
};

TEST_F(MainWindowWithStoredSettings, ConstructorEntersTheStoredState) {
  auto &beep = main_->Get<TButton>("BtnActivateBeep");
  EXPECT_TRUE(beep.Down());
  EXPECT_EQ(beep.Tag, 0);
  EXPECT_TRUE(main_->Get<TGroupBox>("beepbox").Visible());
  EXPECT_EQ(main_->Get<TPanel>("cfgpanel").Height(), 158);
  EXPECT_EQ(main_->Get<TComboBox>("Combosens").ItemIndex(), 1);
  EXPECT_TRUE(AppConfig->BeepActive);
  // The stored interval was longer than the duration: showing brought it down.
  EXPECT_EQ(AppConfig->InterBeepTime->GetTotalSeconds(), 600u);
}

// --- The journal of the runs and the procès-verbal ----------------------------------------------

SYSTEMTIME journalNow{2026, 12, 1, 7, 9, 0, 12, 0};
void WINAPI JournalLocalTime(LPSYSTEMTIME time) { *time = journalNow; }
ULONGLONG journalTick = 1'000'000;
ULONGLONG WINAPI JournalTick() { return journalTick; }
std::wstring opened;
INT_PTR shellAnswer = 42;
bool comReady = false;  // at the shell's call, COM was set up on its thread
HINSTANCE WINAPI JournalShell(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  opened = file;
  comReady = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_FALSE;
  CoUninitialize();
  return reinterpret_cast<HINSTANCE>(shellAnswer);
}
// A write that stops half-way, as on a folder that goes offline.
BOOL WINAPI HalfWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED) {
  WriteFile(file, data, size / 2, done, nullptr);
  return FALSE;
}
// A Documents folder whose name Windows-1252 cannot write.
std::wstring Documents() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"Документы";
}
std::string Contents(const std::wstring &path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A spreadsheet holding the journal without sharing it: the run goes on, the user hears of it
// once, and the events reach the file a minute later, under the header. The menu then writes the
// run's page under its wide name and opens it, or says where it is.
TEST_F(MainWindow, TheJournalOutlivesALockedFileAndTheMenuWritesTheProcesVerbal) {
  JournalDocumentsProc = &Documents;
  JournalTickProc = &JournalTick;
  JournalShellProc = &JournalShell;
  LocalTimeProc = &JournalLocalTime;
  int failures = 0;
  OnJournalWriteFailed = [&] { ++failures; };
  AppConfig->KeepJournal = true;
  const std::wstring folder = Documents() + L"\\Tavelin", csv = folder + L"\\Journal.csv";
  CreateDirectoryW(Documents().c_str(), nullptr), CreateDirectoryW(folder.c_str(), nullptr);
  HANDLE lock = CreateFileW(csv.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  // As a session journals its run: each event joins it, and the keeper is handed the whole run.
  TJournal run;
  auto journal = [&](const char *event, const std::string &detail) {
    const TJournalTime now{journalNow.wYear, journalNow.wMonth, journalNow.wDay,
                           journalNow.wHour, journalNow.wMinute, journalNow.wSecond};
    if (event == journal::Start) run.StartRun(now);
    JournalKept(run, run.Add(now, event, detail));
  };
  journal(journal::Start, "Fin à 10 h 45");
  journalNow.wMinute = 30;
  journalTick += 10'000;
  journal(journal::TimeAdded, "+12 min, <Alarme>");
  CloseHandle(lock);
  journalTick += 50'000;
  JournalRetry();
  EXPECT_EQ(Contents(csv), reinterpret_cast<const char *>(
                               u8"\uFEFFDate;Heure;Chronométrage;Épreuve;Événement;Détail\r\n"
                               u8"2026-12-07;09:00:12;2026-12-07 09:00:12;;Début;Fin à 10 h 45\r\n"
                               u8"2026-12-07;09:30:12;2026-12-07 09:00:12;;Temps ajouté;"
                               u8"'+12 min, <Alarme>\r\n"));
  EXPECT_EQ(failures, 1);

  MessageBoxWatcher boxes;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);  // not set up before
  CoUninitialize();
  MenuItemByText(*main_, "&Journal...")->OnClick(main_.get());
  EXPECT_EQ(opened, folder + L"\\Procès-verbal 2026-12-07 09 h 00.html");
  EXPECT_TRUE(comReady);
  EXPECT_NE(Contents(opened).find("+12 min, &lt;Alarme&gt;"), std::string::npos);
  shellAnswer = SE_ERR_NOASSOC;
  MenuItemByText(*main_, "&Journal...")->OnClick(main_.get());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].text.find("\\Tavelin\\Procès-verbal 2026-12-07 09 h 00.html"),
            std::string::npos) << boxes.Boxes()[0].text;

  // Another run in the same minute: its first line is cut short and completed, never repeated,
  // at the end of the run; its page is a file of its own beside the first run's.
  const std::string before = Contents(csv);
  journalNow.wMinute = 0, journalNow.wSecond = 40;
  JournalWriteProc = &HalfWrite;
  journal(journal::Start, "Fin à 11 h 00");
  JournalWriteProc = &WriteFile;
  JournalWriteNow();
  EXPECT_EQ(Contents(csv), before + reinterpret_cast<const char *>(
                                        u8"2026-12-07;09:00:40;2026-12-07 09:00:40;;Début;"
                                        u8"Fin à 11 h 00\r\n"));
  shellAnswer = 42;
  MenuItemByText(*main_, "&Journal...")->OnClick(main_.get());
  EXPECT_EQ(opened, folder + L"\\Procès-verbal 2026-12-07 09 h 00 (2).html");
  EXPECT_NE(Contents(folder + L"\\Procès-verbal 2026-12-07 09 h 00.html").find("09:00:12"),
            std::string::npos);
  // The other seams stay: nothing else of this program writes a journal.
  OnJournalWriteFailed = nullptr;
  LocalTimeProc = &GetLocalTime;
}

TEST(Framework, ExceptionInAHandlerIsShownAndTheProgramGoesOn) {
  ExceptionCatcher caught;
  TForm form(nullptr);
  int clicks = 0;
  form.RegisterHandler("boom", [&](TControl *) {
    ++clicks;
    throw ETavelinError("Quelque chose a échoué");
  });
  form.LoadDesignText("form F client=100,50\nbutton B rect=1,1,50,20 caption=B OnClick=boom\n", "T");
  form.Show();
  Click(form.Get<TButton>("B"));
  Click(form.Get<TButton>("B"));
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(caught.messages.size(), 2u);
  EXPECT_EQ(caught.messages[0], "Quelque chose a échoué");
}

TEST(Framework, DesignFaultsAreFoundWhenLoading) {
  auto errorOf = [](const std::string &text) {
    TForm form(nullptr);
    form.RegisterHandler("known", [](TControl *) {});
    try {
      form.LoadDesignText(text, "T");
    } catch (const ETavelinError &e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(errorOf("form F\nbutton B OnClick=known\n"), "");
  EXPECT_NE(errorOf("form F\nwidget W\n").find("Genre de contrôle inconnu"), std::string::npos);
  EXPECT_NE(errorOf("form F\nbutton B OnClick=unknown\n").find("Gestionnaire inconnu"),
            std::string::npos);
  EXPECT_NE(errorOf("form F\nbutton B colour=red\n").find("Propriété inconnue 'colour'"),
            std::string::npos);
  EXPECT_NE(errorOf("form F\nlabel L parent=Nowhere\n").find("Parent introuvable"),
            std::string::npos);
  EXPECT_NE(errorOf("form F\nitem I parent=M caption=x\n").find("Menu introuvable"),
            std::string::npos);
}

// A form held by whoever made it, closed outside a modal loop with the action caFree: it hides
// and stays alive for its holder, who alone frees it.
TEST(Framework, AHeldFormClosedWithoutAModalLoopIsFreedByItsHolderAlone) {
  struct Held : TForm {
    bool *gone;
    explicit Held(bool *g) : TForm(nullptr), gone(g) {}
    ~Held() override { *gone = true; }
  };
  bool gone = false;
  auto *form = new Held(&gone);
  form->HeldByCaller = true;
  form->RegisterCloseHandler("close", [](TForm *, TCloseAction &action) { action = caFree; });
  form->LoadDesignText("form Held client=100,50 OnClose=close\n", "Held");
  form->Show();
  form->Close();
  Pump(50);
  EXPECT_FALSE(gone) << "freed behind its holder's back";
  if (gone) return;
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  delete form;
  EXPECT_TRUE(gone);
}

struct TipSearch {
  HWND owner, tip = nullptr;
};
BOOL CALLBACK FindTip(HWND w, LPARAM data) {
  auto *f = reinterpret_cast<TipSearch *>(data);
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (_stricmp(cls, TOOLTIPS_CLASSA) == 0 && GetWindow(w, GW_OWNER) == f->owner) f->tip = w;
  return f->tip == nullptr;
}

// The watch that ends a hidden tip's polling counts the ticks of the tooltip's leave timer
// alone: two ticks of the delay before a tip shows, with the pointer resting on a control that
// has a hint, show the tip.
TEST(Framework, TheDelayBeforeATipIsNeverTakenForItsWatch) {
  ASSERT_TRUE(Application.EndTrackingAtRest);  // the watch is there under Wine only
  TForm form(nullptr);
  form.RegisterHandler("none", [](TControl *) {});
  form.LoadDesignText("form Tips client=200,100 pos=100,100 showhint=true\n"
                      "button B rect=20,20,120,40 caption=B hint=Astuce OnClick=none\n",
                      "Tips");
  form.Show();
  Pump(50);
  TipSearch find{form.Handle()};
  EnumThreadWindows(GetCurrentThreadId(), FindTip, reinterpret_cast<LPARAM>(&find));
  ASSERT_NE(find.tip, nullptr);
  RECT r;
  GetWindowRect(form.Get<TButton>("B").Handle(), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  // No pumping: the tooltip hears of the pointer only through the ticks sent here.
  constexpr WPARAM showDelay = 1;
  SendMessageA(find.tip, WM_TIMER, showDelay, 0);
  SendMessageA(find.tip, WM_TIMER, showDelay, 0);
  EXPECT_TRUE(IsWindowVisible(find.tip));
  form.Hide();
}

TEST(Framework, GdiObjectsDoNotAccumulate) {
  ConfigScope config;
  auto cycle = [] {
    TMain form;
    form.Show();
    Pump(30);
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    form.Hide();
  };
  cycle();
  long after1 = gdi::LiveObjects();
  for (int i = 0; i < 10; ++i) cycle();
  EXPECT_EQ(gdi::LiveObjects(), after1);
  EXPECT_GT(gdi::CreatedTotal(), 0);
}

}  // namespace
