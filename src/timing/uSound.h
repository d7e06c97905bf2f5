#pragma once
#include <windows.h>

// The program's three sounds (the end, the beep, the warning before the end), each from its own
// resources or from the WAV file the user chose.
// Each returns at once: the sound plays in the background, a new one cutting off the one playing.

// The platform's player (PlaySoundA); tests put a recorder here.
using TPlaySoundProc = BOOL(WINAPI *)(LPCSTR sound, HMODULE module, DWORD flags);
extern TPlaySoundProc PlaySoundProc;

// Flags handed to the player: a file path, or a resource of the program's own module.
constexpr DWORD SoundFileFlags = 0x20001;      // SND_FILENAME | SND_ASYNC
constexpr DWORD SoundResourceFlags = 0x40005;  // SND_RESOURCE | SND_ASYNC

void PlayFinalSound();
void PlayBeepSound();
void PlayWarnSound();
