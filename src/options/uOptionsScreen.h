#pragma once
#include <windows.h>

#include <cstdint>

#include "forms/uForms.h"

// The options dialog: the source of each sound (built in or a WAV file), trying it, and the size
// of the giant display. Every choice goes into AppConfig at once; OK (and Escape) also saves.
class TOptionsScreen : public TForm {
public:
  // owner: the main window, whose caption and place the dialog follows.
  explicit TOptionsScreen(TForm *owner);

  // The sound being edited: 0 the final sound, 1 the beep, 2 the warning before the end (the Tag
  // of the radio button).
  int32_t CurrentSound = 0;

  void SelectSound(TControl *Sender);
  void ChangeTypeSound(TControl *Sender);
  void WantSelectFile(TControl *Sender);
  void ReadCurrentSound(TControl *Sender);
  void ChangeScreenSize(TControl *Sender);
  void CloseOptionsScreen(TControl *Sender);

  // Also sizes the size list's drop-down to its widest entry, again at each scale.
  void CreateHandle() override;
  void ChangeDpi(int dpi, const RECT *suggested) override;

  // A regular file of that name exists (a directory does not count).
  static bool SoundFileExists(const std::string &path);

private:
  void FitSizeList();
  void SetCurrentSoundType(int32_t listIndex);
  void FallBackToInternalSound();
};
