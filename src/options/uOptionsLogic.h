#pragma once
// What the options screen decides without a window: the names of the screen sizes, the size that
// a measured screen width reads as, and which entry of a list a stored setting selects.
#include <cstdint>
#include <string>
#include <vector>

#include "display/uDisplayTables.h"

// Indexed 0..5; the first five are the display sizes (UserScreenSize), the last a failed measure.
extern const char *const ScreenSizeNames[6];

// 640, 800, 1024, 1152 and 1280 give 0 to 4; any other width gives 5 ("Erreur de mesure !!!").
int ScreenSizeNameIndex(int screenWidth);
// The size list's hint for a screen of this size: the name of one of the five widths, or else
// the screen's own width and height.
std::string ScreenSizeHint(int screenWidth, int screenHeight);

// The size list: the five sizes, then a full-width entry per monitor ("Plein écran" alone, or
// numbered from 1 when there are several), at most MaxMonitors of them.
std::vector<std::string> SizeListEntries(int monitorCount);

// The sound list has two entries; every source other than 0 plays the file, so it shows as one.
int SoundListIndex(int32_t soundType);
// The size list's entry for a stored display size (low 8 bits), or -1 when it names none. A
// full-width size whose monitor is gone selects the primary's entry, where it shows.
int SizeListIndex(int32_t userScreenSize, int monitorCount = 0);
