#include "options/uOptionsLogic.h"

#include <algorithm>

#include "base/uErrors.h"

const char *const ScreenSizeNames[6] = {"640x480",  "800x600",   "1024x768",
                                        "1152x864", "1280x1024", "Erreur de mesure !!!"};

int ScreenSizeNameIndex(int screenWidth) {
  switch (screenWidth) {
    case 640: return 0;
    case 800: return 1;
    case 1024: return 2;
    case 1152: return 3;
    case 1280: return 4;
    default: return 5;
  }
}

std::string ScreenSizeHint(int screenWidth, int screenHeight) {
  int index = ScreenSizeNameIndex(screenWidth);
  std::string size = index < ScreenSizeCount
                         ? std::string(ScreenSizeNames[index])
                         : std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
  return FormatMessage1("Taille réelle de l'écran: %s pixels", size);
}

std::vector<std::string> SizeListEntries(int monitorCount) {
  std::vector<std::string> entries(ScreenSizeNames, ScreenSizeNames + ScreenSizeCount);
  int monitors = std::clamp(monitorCount, 0, MaxMonitors);
  if (monitors == 1) entries.push_back("Plein écran");
  if (monitors > 1)
    for (int k = 1; k <= monitors; ++k) entries.push_back("Plein écran " + std::to_string(k));
  return entries;
}

int SoundListIndex(int32_t soundType) { return soundType == 0 ? 0 : 1; }

int SizeListIndex(int32_t userScreenSize, int monitorCount) {
  int index = int(userScreenSize & 0xFF);
  if (index < ScreenSizeCount) return index;
  int monitors = std::clamp(monitorCount, 0, MaxMonitors);
  if (monitors == 0 || !IsFullWidthSize(index)) return -1;
  return FirstFullWidthSize + FullWidthMonitor(index, monitors);
}
