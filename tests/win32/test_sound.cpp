// The two sounds: what reaches the player for each source, and the embedded WAVE resources.
#include <windows.h>

#include <mmsystem.h>

#include <cstring>

#include "support_win.h"
#include "timing/uSound.h"

using namespace testwin;

namespace {

std::vector<PlayCall> &played = SoundRecorder::Calls();

class Sound : public ::testing::Test {
protected:
  void SetUp() override {
    ResetRegistry();
    config_ = std::make_unique<ConfigScope>();
    recorder_ = std::make_unique<SoundRecorder>();
    AppConfig->FinalBeepPath = "C:\\sons\\fin du cours.wav";
    AppConfig->IntermediateBeepPath = "C:\\sons\\bip.wav";
  }
  void TearDown() override {
    recorder_.reset();
    config_.reset();
    ResetRegistry();
  }
  std::unique_ptr<SoundRecorder> recorder_;
  std::unique_ptr<ConfigScope> config_;
};

// An address taken in a static initializer may be the import stub "jmp [slot]" rather than the
// address the loader put in the slot; both lead to the same function.
const void *ImportTarget(const void *fn) {
  const auto *code = static_cast<const uint8_t *>(fn);
  if (code[0] == 0xFF && code[1] == 0x25) {
    void *const *slot;
    memcpy(&slot, code + 2, sizeof slot);
    return *slot;
  }
  return fn;
}

TEST_F(Sound, TheProgramPlaysThroughTheSystemPlayer) {
  EXPECT_EQ(ImportTarget(reinterpret_cast<const void *>(recorder_->Saved())),
            reinterpret_cast<const void *>(&PlaySoundA));
}

TEST_F(Sound, SourceZeroPlaysTheEmbeddedSoundsWhateverThePaths) {
  AppConfig->TypeFinalSound = 0;
  AppConfig->TypeBeepSound = 0;
  PlayFinalSound();
  PlayBeepSound();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].sound, "fin");
  EXPECT_EQ(played[0].module, Application.Instance());
  EXPECT_EQ(played[0].flags, 0x40005u);
  EXPECT_EQ(played[1].sound, "beep");
  EXPECT_EQ(played[1].module, Application.Instance());
  EXPECT_EQ(played[1].flags, 0x40005u);
  EXPECT_EQ(Application.Instance(), GetModuleHandleA(nullptr));
}

TEST_F(Sound, EachSoundFollowsItsOwnSource) {
  AppConfig->TypeFinalSound = 0;
  AppConfig->TypeBeepSound = 1;
  PlayBeepSound();
  PlayFinalSound();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].sound, "C:\\sons\\bip.wav");
  EXPECT_EQ(played[0].module, nullptr);
  EXPECT_EQ(played[0].flags, 0x20001u);
  EXPECT_EQ(played[1].sound, "fin");
  EXPECT_EQ(played[1].flags, 0x40005u);

  AppConfig->TypeFinalSound = 1;
  AppConfig->TypeBeepSound = 0;
  PlayFinalSound();
  PlayBeepSound();
  ASSERT_EQ(played.size(), 4u);
  EXPECT_EQ(played[2].sound, "C:\\sons\\fin du cours.wav");
  EXPECT_EQ(played[2].module, nullptr);
  EXPECT_EQ(played[2].flags, 0x20001u);
  EXPECT_EQ(played[3].sound, "beep");
  EXPECT_EQ(played[3].flags, 0x40005u);
}

TEST_F(Sound, AnyOtherSourceValuePlaysTheFile) {
  for (int32_t source : {2, 7, -1}) {
    played.clear();
    AppConfig->TypeFinalSound = source;
    AppConfig->TypeBeepSound = source;
    PlayFinalSound();
    PlayBeepSound();
    ASSERT_EQ(played.size(), 2u) << source;
    EXPECT_EQ(played[0].sound, "C:\\sons\\fin du cours.wav") << source;
    EXPECT_EQ(played[0].flags, 0x20001u) << source;
    EXPECT_EQ(played[1].sound, "C:\\sons\\bip.wav") << source;
    EXPECT_EQ(played[1].flags, 0x20001u) << source;
  }
}

// --- The embedded sounds ---------------------------------------------------------------------

struct WaveResource {
  std::string name;
  DWORD size;
  uint32_t rate;
  uint32_t samples;
};

uint32_t Le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

TEST(SoundResources, BothAreCompletePcmWaveFilesOfTheRightFormat) {
  const WaveResource expected[] = {{"BEEP", 11580, 22050, 11536}, {"FIN", 20507, 11025, 20463}};
  for (const auto &w : expected) {
    SCOPED_TRACE(w.name);
    HRSRC res = FindResourceA(Application.Instance(), w.name.c_str(), "WAVE");
    ASSERT_NE(res, nullptr);
    ASSERT_EQ(SizeofResource(Application.Instance(), res), w.size);
    const auto *p = static_cast<const uint8_t *>(LockResource(LoadResource(Application.Instance(), res)));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memcmp(p, "RIFF", 4), 0);
    EXPECT_EQ(Le32(p + 4), w.size - 8);
    EXPECT_EQ(memcmp(p + 8, "WAVE", 4), 0);
    // Walk the chunks: a format chunk, then the samples reaching the end of the resource.
    size_t at = 12;
    bool sawFormat = false, sawData = false;
    while (at + 8 <= w.size) {
      std::string id(reinterpret_cast<const char *>(p + at), 4);
      uint32_t length = Le32(p + at + 4);
      const uint8_t *body = p + at + 8;
      if (id == "fmt ") {
        ASSERT_GE(length, 16u);
        EXPECT_EQ(Le16(body), 1) << "PCM";
        EXPECT_EQ(Le16(body + 2), 1) << "mono";
        EXPECT_EQ(Le32(body + 4), w.rate);
        EXPECT_EQ(Le32(body + 8), w.rate) << "bytes per second";
        EXPECT_EQ(Le16(body + 12), 1) << "block align";
        EXPECT_EQ(Le16(body + 14), 8) << "bits per sample";
        sawFormat = true;
      } else if (id == "data") {
        EXPECT_TRUE(sawFormat) << "samples before their format";
        EXPECT_EQ(length, w.samples);
        EXPECT_EQ(at + 8 + length, w.size);
        sawData = true;
      }
      at += 8 + length + (length & 1);
    }
    EXPECT_TRUE(sawFormat);
    EXPECT_TRUE(sawData);
    // Length: about 0.52 s and 1.86 s.
    double seconds = double(w.samples) / w.rate;
    EXPECT_NEAR(seconds, w.name == "BEEP" ? 0.52 : 1.86, 0.01);
  }
}

// Without it, the system's default sound would play.
TEST(SoundResources, TheWarningHasItsOwnWave) {
  HRSRC res = FindResourceA(Application.Instance(), "warn", "WAVE");
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(memcmp(LockResource(LoadResource(Application.Instance(), res)), "RIFF", 4), 0);
}

TEST(SoundResources, TheLowerCaseNamesThePlayerAsksForFindThem) {
  EXPECT_NE(FindResourceA(Application.Instance(), "beep", "WAVE"), nullptr);
  EXPECT_NE(FindResourceA(Application.Instance(), "fin", "WAVE"), nullptr);
}

}  // namespace
