#include "run/uChronoType.h"

#include <cstdio>

void TTimeTavelin::SetTimePart(uint8_t index, uint8_t value) {
  TimeParts.at(index) = value;
  TotalSeconds = uint32_t(TimeParts[0]) * 3600u + uint32_t(TimeParts[1]) * 60u + TimeParts[2];
  DeriveDigits();
}

void TTimeTavelin::SetTotalSeconds(uint32_t seconds) {
  TotalSeconds = seconds;
  TimeParts[0] = uint8_t(seconds / 3600u);  // only the low 8 bits of the hours are kept
  TimeParts[1] = uint8_t((seconds % 3600u) / 60u);
  TimeParts[2] = uint8_t((seconds % 3600u) % 60u);
  DeriveDigits();
}

void TTimeTavelin::DeriveDigits() {
  for (int u = 0; u < 3; ++u) {
    Digits[2 * u] = uint8_t(TimeParts[u] / 10);
    Digits[2 * u + 1] = uint8_t(TimeParts[u] % 10);
  }
}

std::string TTimeTavelin::AsText() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d H %d%d min %d%d sec", int(TimeParts[0]), int(Digits[2]),
                int(Digits[3]), int(Digits[4]), int(Digits[5]));
  return buf;
}
