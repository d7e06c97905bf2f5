#include "options/uOptionsLogic.h"

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

std::string ScreenSizeHint(int screenWidth) {
  return FormatMessage1("Taille réelle de l'écran: %s pixels",
                        ScreenSizeNames[ScreenSizeNameIndex(screenWidth)]);
}

int SoundListIndex(int32_t soundType) { return soundType == 0 ? 0 : 1; }

int SizeListIndex(int32_t userScreenSize) {
  int index = int(userScreenSize & 0xFF);
  return index < ScreenSizeCount ? index : -1;
}
