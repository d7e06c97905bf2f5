#pragma once
// One duration held at once as seconds, as hours/minutes/seconds and as six display digits.
#include <array>
#include <cstdint>
#include <string>

class TTimeTavelin {
public:
  TTimeTavelin() = default;

  // The settings store binds the persisted seconds here; a write through it leaves the parts
  // and digits stale until SetTotalSeconds is called with the loaded value.
  uint32_t *SecondsRef() { return &TotalSeconds; }
  uint32_t GetTotalSeconds() const { return TotalSeconds; }

  uint8_t GetTimePart(uint8_t index) const { return TimeParts.at(index); }
  // Parts are not carried into each other: 75 minutes stay 75 minutes.
  void SetTimePart(uint8_t index, uint8_t value);
  void SetTotalSeconds(uint32_t seconds);
  uint8_t GetDigit(uint8_t position) const { return Digits.at(position); }
  // "%d H %d%d min %d%d sec"
  std::string AsText() const;

private:
  void DeriveDigits();

  uint32_t TotalSeconds = 0;
  std::array<uint8_t, 3> TimeParts{};
  std::array<uint8_t, 6> Digits{};
};

// Names of the sound sources, indexed by TypeFinalSound / TypeBeepSound.
inline constexpr const char *SoundTypeNames[2] = {"Son interne", "Son issu d'un fichier"};
