#pragma once
// What the options screen decides without a window: the names of the screen sizes, the size that
// a measured screen width reads as, and which entry of a list a stored setting selects.
#include <cstdint>
#include <string>

// Indexed 0..5; the first five are the display sizes (UserScreenSize), the last a failed measure.
extern const char *const ScreenSizeNames[6];
constexpr int ScreenSizeCount = 5;

// 640, 800, 1024, 1152 and 1280 give 0 to 4; any other width gives 5 ("Erreur de mesure !!!").
int ScreenSizeNameIndex(int screenWidth);
// The size list's hint for a screen of this width.
std::string ScreenSizeHint(int screenWidth);

// The sound list has two entries; every source other than 0 plays the file, so it shows as one.
int SoundListIndex(int32_t soundType);
// The size list's entry for a stored display size (low 8 bits), or -1 when it names none.
int SizeListIndex(int32_t userScreenSize);
