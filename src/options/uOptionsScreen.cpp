#include <windows.h>

#include "options/uOptionsScreen.h"

#include <algorithm>

#include "display/uMonitors.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "options/uOptionsLogic.h"
#include "run/uChronoType.h"
#include "settings/uConfig.h"
#include "timing/uSound.h"

TOptionsScreen::TOptionsScreen(TForm *owner) : TForm(owner) {
  Bind("SelectSound", &TOptionsScreen::SelectSound);
  Bind("ChangeTypeSound", &TOptionsScreen::ChangeTypeSound);
  Bind("WantSelectFile", &TOptionsScreen::WantSelectFile);
  Bind("ReadCurrentSound", &TOptionsScreen::ReadCurrentSound);
  Bind("ChangeScreenSize", &TOptionsScreen::ChangeScreenSize);
  Bind("CloseOptionsScreen", &TOptionsScreen::CloseOptionsScreen);
  LoadDesign("OPTIONSSCREEN");

  SetCaption((owner ? owner->Caption() : Application.Title()) + " - Ecran d'options");

  auto &sounds = Get<TComboBox>("SoundComboBox");
  sounds.AddItem(SoundTypeNames[0]);
  sounds.AddItem(SoundTypeNames[1]);
  sounds.SetItemIndex(SoundListIndex(AppConfig->TypeFinalSound));

  // Checking the button runs SelectSound for the final sound: a missing file is reported here,
  // before the dialog is on screen.
  Get<TRadioButton>("rdBtnFinalSound").SetChecked(true);

  // Below the main window by its width, as the dialog has always been placed.
  if (owner)
    SetLeftTop(owner->Left(), owner->Top() + owner->Width() + Scaled(4));
  else
    Centered = true;

  auto &sizes = Get<TComboBox>("SizeComboBox");
  int monitors = int(SystemMonitors().size());
  for (const std::string &entry : SizeListEntries(monitors)) sizes.AddItem(entry);
  sizes.SetItemIndex(SizeListIndex(AppConfig->UserScreenSize, monitors));
  sizes.SetHint(ScreenSizeHint(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
}

void TOptionsScreen::CreateHandle() {
  TForm::CreateHandle();
  FitSizeList();
}

void TOptionsScreen::ChangeDpi(int dpi, const RECT *suggested) {
  TForm::ChangeDpi(dpi, suggested);
  if (HandleAllocated()) FitSizeList();
}

void TOptionsScreen::FitSizeList() {
  // The list drops wider than the box when an entry ("Plein écran 2") would not fit in it.
  auto &sizes = Get<TComboBox>("SizeComboBox");
  HWND box = sizes.Handle();
  gdi::WindowDC dc(box);
  auto boxFont = reinterpret_cast<HGDIOBJ>(SendMessageA(box, WM_GETFONT, 0, 0));
  gdi::Select font(dc.dc(), boxFont ? boxFont : GetStockObject(SYSTEM_FONT));
  int widest = 0;
  for (int i = 0; i < sizes.ItemCount(); ++i) {
    std::string text = sizes.ItemText(i);
    SIZE extent{0, 0};
    GetTextExtentPoint32A(dc.dc(), text.c_str(), int(text.size()), &extent);
    widest = std::max(widest, int(extent.cx));
  }
  // Room for the item's margins and the list's frame and scroll bar.
  const int dpi = Dpi();
  int needed = widest + Scaled(8) + 2 * SystemMetricForDpi(SM_CXEDGE, dpi) +
               SystemMetricForDpi(SM_CXVSCROLL, dpi);
  // Never narrower than the box (the least the list drops to), at any scale.
  SendMessageA(box, CB_SETDROPPEDWIDTH, WPARAM(std::max(needed, sizes.Width())), 0);
}

bool TOptionsScreen::SoundFileExists(const std::string &path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void TOptionsScreen::SelectSound(TControl *Sender) {
  CurrentSound = Sender->Tag;
  if (auto *button = dynamic_cast<TRadioButton *>(Sender))
    Get<TLabel>("LabelSound").SetCaption(button->Text() + ", source");
  auto &sounds = Get<TComboBox>("SoundComboBox");
  if (CurrentSound == 0) sounds.SetItemIndex(SoundListIndex(AppConfig->TypeFinalSound));
  if (CurrentSound == 1) sounds.SetItemIndex(SoundListIndex(AppConfig->TypeBeepSound));
  if (CurrentSound == 2) sounds.SetItemIndex(SoundListIndex(AppConfig->TypeWarnSound));
  ChangeTypeSound(&sounds);
}

void TOptionsScreen::SetCurrentSoundType(int32_t listIndex) {
  int32_t &type = CurrentSound == 0   ? AppConfig->TypeFinalSound
                  : CurrentSound == 2 ? AppConfig->TypeWarnSound
                                      : AppConfig->TypeBeepSound;
  // A stored source other than 0 and 1 already plays the file: it becomes 1 without offering the
  // file chooser, which only a change of source opens.
  if (listIndex == 1 && type != 0) {
    type = 1;
    return;
  }
  if (CurrentSound == 0)
    AppConfig->SetTypeFinalSound(listIndex);
  else if (CurrentSound == 2)
    AppConfig->SetTypeWarnSound(listIndex);
  else
    AppConfig->SetTypeBeepSound(listIndex);
}

void TOptionsScreen::FallBackToInternalSound() {
  Get<TStaticText>("StaticFile").SetVisible(false);
  Get<TComboBox>("SoundComboBox").SetItemIndex(0);
  SetCurrentSoundType(0);
}

void TOptionsScreen::ChangeTypeSound(TControl *) {
  if (CurrentSound < 0 || CurrentSound > 2) return;
  auto &file = Get<TStaticText>("StaticFile");
  int i = Get<TComboBox>("SoundComboBox").ItemIndex();
  if (i != 0 && i != 1) return;  // the list has these two entries only

  file.SetVisible(i != 0);
  SetCurrentSoundType(i);
  file.SetText(CurrentSound == 0   ? AppConfig->FinalBeepPath
               : CurrentSound == 2 ? AppConfig->WarnSoundPath
                                   : AppConfig->IntermediateBeepPath);

  if (i == 1) {
    std::string path = file.Text();
    if (path.empty()) {
      FallBackToInternalSound();
    } else if (!SoundFileExists(path)) {
      ShowMessageBox(FormatMessage1("Impossible de trouver le fichier \"%s\".", path),
                     "Avertissement", MB_OK | MB_ICONWARNING);
      FallBackToInternalSound();
    }
  }
  file.SetHint(file.Text());
}

void TOptionsScreen::WantSelectFile(TControl *) {
  if (CurrentSound >= 0 && CurrentSound <= 2) AppConfig->SelectSoundFile(CurrentSound);
}

void TOptionsScreen::ReadCurrentSound(TControl *) {
  if (CurrentSound == 0) PlayFinalSound();
  if (CurrentSound == 1) PlayBeepSound();
  if (CurrentSound == 2) PlayWarnSound();
}

void TOptionsScreen::ChangeScreenSize(TControl *) {
  auto &sizes = Get<TComboBox>("SizeComboBox");
  int index = sizes.ItemIndex();
  // The entries after the five sizes are the full-width ones, 5 + k for monitor k.
  if (index >= 0 && index < sizes.ItemCount()) AppConfig->UserScreenSize = index;
}

void TOptionsScreen::CloseOptionsScreen(TControl *) {
  AppConfig->Save();
  Close();
}
