#include <windows.h>

#include "timing/uSound.h"

#include <mmsystem.h>

#include <string>

#include "forms/uApplication.h"
#include "settings/uConfig.h"

static_assert(SoundFileFlags == (SND_FILENAME | SND_ASYNC));
static_assert(SoundResourceFlags == (SND_RESOURCE | SND_ASYNC));

TPlaySoundProc PlaySoundProc = &PlaySoundA;

namespace {

// Any source other than 0 is the file: a stored value only an edited registry can hold still
// plays the user's file. The player's own default sound covers a file that cannot be played.
void Play(int32_t source, const std::string &path, const char *resourceName) {
  if (source != 0)
    PlaySoundProc(path.c_str(), nullptr, SoundFileFlags);
  else
    PlaySoundProc(resourceName, Application.Instance(), SoundResourceFlags);
}

}  // namespace

void PlayFinalSound() { Play(AppConfig->TypeFinalSound, AppConfig->FinalBeepPath, "fin"); }

void PlayBeepSound() { Play(AppConfig->TypeBeepSound, AppConfig->IntermediateBeepPath, "beep"); }

void PlayWarnSound() { Play(AppConfig->TypeWarnSound, AppConfig->WarnSoundPath, "warn"); }
