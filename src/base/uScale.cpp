#include "base/uScale.h"

#include <cstdint>

int RescaleLength(int length, int fromDpi, int toDpi) {
  fromDpi = SaneDpi(fromDpi);
  toDpi = SaneDpi(toDpi);
  int64_t product = int64_t(length) * toDpi;
  int64_t half = fromDpi / 2;
  int64_t q = product >= 0 ? (product + half) / fromDpi : -((-product + half) / fromDpi);
  return int(q);
}

int TScaledLength::Rescale(int now, int fromDpi, int toDpi) {
  if (now != Last) {
    Base = now;
    BaseDpi = fromDpi;
  }
  Last = RescaleLength(Base, BaseDpi, toDpi);
  return Last;
}

int ScaleLength(int length, int dpi) { return RescaleLength(length, DesignDpi, dpi); }

int UnscaleLength(int length, int dpi) { return RescaleLength(length, dpi, DesignDpi); }

int PictureScale(int dpi) {
  dpi = SaneDpi(dpi);
  if (dpi <= DesignDpi) return 100;
  if (2 * dpi <= 3 * DesignDpi) return 150;
  return 200;
}

int SaneDpi(int dpi) { return dpi >= 24 && dpi <= 2400 ? dpi : DesignDpi; }
