#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "base/uText.h"
#include "settings/uCommandLine.h"
#include "settings/uConfigTypes.h"
#include "settings/uExamPlanFile.h"

void PrintTo(const TScreenRect &r, std::ostream *os) {
  *os << "(" << r.Left << ", " << r.Top << ")-(" << r.Right << ", " << r.Bottom << ")";
}

namespace {

TEST(ConfigTypes, ExtendedFieldKindsAreRefused) {
  int32_t v = 0;
  for (auto kind : {TConfigFieldType::fdSubKey, TConfigFieldType::fdStringList}) {
    try {
      MakeFieldDescRec("X", kind, &v, 0, int32_t(0));
      FAIL() << "an extended kind was accepted";
    } catch (const ETavelinError &e) {
      EXPECT_STREQ(e.what(), "TConfigAbstract.MakeFieldDescRec: Impossible de créer un champ "
                             "étendu (sous clef: fdSubKey/fdStringList)");
    }
  }
  TConfigFieldsRec r = MakeFieldDescRec("Y", TConfigFieldType::fdBinary, &v, 4, std::string("d"));
  EXPECT_EQ(r.Name, "Y");
  EXPECT_EQ(r.Data, &v);
  EXPECT_EQ(r.Size, 4);
}

TEST(ConfigTypes, DefaultsConvertToTheirFieldKind) {
  EXPECT_EQ(DefaultAsText(int32_t(300)), "300");
  EXPECT_EQ(DefaultAsInteger(std::string("42")), 42);
  EXPECT_EQ(DefaultAsInteger(true), -1);
  EXPECT_TRUE(DefaultAsBoolean(std::string("True")));
  EXPECT_FALSE(DefaultAsBoolean(int32_t(0)));
  EXPECT_THROW(DefaultAsInteger(std::string("12a")), ETavelinError);
}

TEST(ConfigTypes, PlacementRecordIsFortyFourBytesLittleEndian) {
  TWindowSettingRec rec;
  rec.Name = "MainWindow";
  rec.Top = 10;
  rec.Left = -20;
  rec.Height = 0x01020304;
  rec.WindowState = 2;
  auto b = rec.Pack();
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(b[0], 10);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(&b[1]), 10), "MainWindow");
  for (int i = 11; i < 24; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[24], 10);
  EXPECT_EQ(b[28], 0xEC);  // -20
  EXPECT_EQ(b[31], 0xFF);
  EXPECT_EQ(b[32], 0x04);
  EXPECT_EQ(b[35], 0x01);
  EXPECT_EQ(b[40], 2);
  for (int i = 41; i < 44; ++i) EXPECT_EQ(b[i], 0);

  TWindowSettingRec back;
  ASSERT_TRUE(TWindowSettingRec::Unpack(b.data(), b.size(), back));
  EXPECT_EQ(back.Name, "MainWindow");
  EXPECT_EQ(back.Left, -20);
  EXPECT_EQ(back.Height, 0x01020304);
  EXPECT_EQ(back.WindowState, 2);
  EXPECT_FALSE(TWindowSettingRec::Unpack(b.data(), 43, back));
}

// Four distinct values, each with its four bytes distinct, so that a field written to or read
// from another's offset, or a byte order mixed up, shows.
TEST(ConfigTypes, PlacementRecordKeepsEachOfItsFourNumbersInItsOwnPlace) {
  TWindowSettingRec rec;
  rec.Name = "Options";
  rec.Top = 0x11223344;
  rec.Left = -0x55667788;  // 0xAA998878
  rec.Height = 0x0A0B0C0D;
  rec.Width = 0x21324354;
  rec.WindowState = 1;
  auto b = rec.Pack();
  const struct {
    size_t at;
    uint32_t bytes;
  } fields[] = {{24, 0x11223344u}, {28, 0xAA998878u}, {32, 0x0A0B0C0Du}, {36, 0x21324354u}};
  for (const auto &f : fields)
    for (size_t i = 0; i < 4; ++i)
      EXPECT_EQ(b[f.at + i], uint8_t(f.bytes >> (8 * i))) << "byte " << f.at + i;
  EXPECT_EQ(b[40], 1);

  TWindowSettingRec back;
  ASSERT_TRUE(TWindowSettingRec::Unpack(b.data(), b.size(), back));
  EXPECT_EQ(back.Name, "Options");
  EXPECT_EQ(back.Top, 0x11223344);
  EXPECT_EQ(back.Left, -0x55667788);
  EXPECT_EQ(back.Height, 0x0A0B0C0D);
  EXPECT_EQ(back.Width, 0x21324354);
  EXPECT_EQ(back.WindowState, 1);
}

// A window of 291 x 297 with a caption band of 26 pixels, saved on monitors that may be gone.
TEST(ConfigTypes, ARestoredWindowCanAlwaysBeTakenByItsCaption) {
  const std::vector<TScreenRect> screen = {{0, 0, 1024, 768}};
  auto at = [](int32_t left, int32_t top, int32_t w = 291, int32_t h = 297) {
    return TScreenRect{left, top, left + w, top + h};
  };
  // The caption whole in height over 97 pixels (a third of 291) stays; over 96 it does not.
  EXPECT_EQ(PlaceOnScreen(at(-194, 0), 26, screen), at(-194, 0));
  EXPECT_EQ(PlaceOnScreen(at(-195, 100), 26, screen), at(0, 100));
  EXPECT_EQ(PlaceOnScreen(at(900, 742), 26, screen), at(900, 742));
  EXPECT_EQ(PlaceOnScreen(at(900, 743), 26, screen), at(733, 471));
  EXPECT_EQ(PlaceOnScreen(at(300, -1), 26, screen), at(300, 0));
  // A wide window needs no more than 100 pixels of its caption.
  EXPECT_EQ(PlaceOnScreen(at(-800, 50, 900, 300), 26, screen), at(-800, 50, 900, 300));
  // Larger than the work area: reduced to it.
  EXPECT_EQ(PlaceOnScreen(at(-50, -30, 1200, 900), 26, screen), at(0, 0, 1024, 768));

  // Two monitors, the first with a taskbar at its bottom: the caption may lie on either, and a
  // window that must move goes to the one holding most of it, or the nearest.
  const std::vector<TScreenRect> two = {{0, 0, 1024, 728}, {1024, 0, 2944, 1080}};
  EXPECT_EQ(PlaceOnScreen(at(900, 702), 26, two), at(900, 702));
  EXPECT_EQ(PlaceOnScreen(at(800, 720), 26, two), at(1024, 720));
  EXPECT_EQ(PlaceOnScreen(at(3100, -500), 26, two), at(2653, 0));
  EXPECT_EQ(PlaceOnScreen(at(-900, 800), 26, two), at(0, 431));
}

TEST(ConfigTypes, WarnMinutesAreHealedIntoThreeDecreasingMinutes) {
  const struct {
    const char *stored, *kept;
    bool valid;
  } table[] = {
      {"", "", true},
      {"5 30 10", "30 10 5", true},
      {"10 0 10  30\t0", "30 10", true},                    // zeros, repeats, tabs
      {"1 999 1000 007 99999999999999", "999 7 1", true},  // the limits, however written
      {"60 45 30 15 5", "60 45 30", true},                   // the three largest
      {"30 dix 5", "", false},                               // not a number: none at all
      {"-5 10", "", false},
  };
  for (const auto &t : table) {
    bool valid = !t.valid;
    EXPECT_EQ(HealWarnMinutes(t.stored, valid), t.kept) << t.stored;
    EXPECT_EQ(valid, t.valid) << t.stored;
    if (!t.valid) continue;
    std::string listed;  // the list the settings hand out, in its order
    for (uint32_t m : WarnMinuteValues(t.stored))
      listed += (listed.empty() ? "" : " ") + std::to_string(m);
    EXPECT_EQ(listed, t.kept) << t.stored;
  }
  EXPECT_EQ(WarnMinutesText({0, 15, 45}), "45 15");  // the dialog's boxes
}

// The épreuves beside the run's, one registry line each: lines that are no épreuve, a name given
// again and any beyond the third are left out, the others kept in their order.
TEST(ConfigTypes, PaperLinesKeepThreeEpreuvesEachNamedOnce) {
  using Lines = std::vector<std::string>;
  const struct {
    Lines stored, kept;
    bool valid;
  } table[] = {
      {{"Anglais LV1\t5400\t1", "Latin\t35999\t0"}, {"Anglais LV1\t5400\t1", "Latin\t35999\t0"},
       true},
      {{"sans durée", "Grec\t0\t0", "Grec\t36000\t0", "Grec\t60\t2", "\t60\t0", "Grec\t6O\t0",
        "Grec\t60\t1"},
       {"Grec\t60\t1"}, false},
      {{"A\t60\t0", "A\t120\t1", "B\t60\t0", "C\t60\t0", "D\t60\t0"},
       {"A\t60\t0", "B\t60\t0", "C\t60\t0"}, false},
      // A name at its limits: 40 characters and not 41, no control character or free byte, none
      // that a reader takes for one before it or for the first épreuve's ("Épreuve 1").
      {{std::string(40, 'x') + "\t60\t0", std::string(41, 'y') + "\t60\t0", "Ang\tlais\t60\t0",
        "\x81\t60\t0", "\x7F\t60\t0", "\x8D\t60\t0", "\x8F\t60\t0", "\x90\t60\t0", "\x9D\t60\t0"},
       {std::string(40, 'x') + "\t60\t0"}, false},
      {{"Histoire\t60\t0", " HISTOIRE \t60\t0", "Histoíre\t60\t0", "EPREUVE 1\t60\t0", "A\xA0" "B\t60\t0",
        "\xC0 b\t60\t0"},
       {"Histoire\t60\t0", "A\xA0" "B\t60\t0"}, false},
  };
  for (const auto &t : table) {
    bool valid = !t.valid;
    EXPECT_EQ(PaperLines(ReadPaperLines(t.stored, valid, {"Épreuve 1"})), t.kept)
        << testing::PrintToString(t.stored);
    EXPECT_EQ(valid, t.valid) << testing::PrintToString(t.stored);
  }
}

TEST(ConfigTypes, PlacementNamesAreCutToTwentyCharacters) {
  EXPECT_EQ(WindowSettingName(wkMainWindow, "ignored", 0), "MainWindow");
  EXPECT_EQ(WindowSettingName(wkByName, "ABCDEFGHIJKLMNOPQRSTUVWXY", 0), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(WindowSettingName(wkByIndex, "", -12345), "-12345");
  TWindowSettingRec rec;
  rec.Name = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  auto b = rec.Pack();
  EXPECT_EQ(b[0], 20);
  EXPECT_EQ(b[21], 0);  // the name never spills into the padding
}

TEST(ConfigTypes, ExecutableNames) {
  EXPECT_EQ(ExeBaseName("C:\\Program Files\\a.b.exe"), "a");
  EXPECT_EQ(ExeBaseName("C:\\x.y\\Tavelin.exe"), "Tavelin");
  EXPECT_EQ(ExeFileName("Z:\\work\\Tavelin.exe"), "Tavelin.exe");
  EXPECT_EQ(ApplicationTitleFromExe("C:\\dir\\TAVELIN.EXE"), "Tavelin");
  EXPECT_EQ(ApplicationTitleFromExe("C:\\dir\\my.Prog.exe"), "my.prog");  // first letter as it is
}

TEST(ConfigTypes, VersionParts) {
  EXPECT_EQ(VersionPart("1.0.0.1", 1), "1");
  EXPECT_EQ(VersionPart("1.0.0.1", 2), "0");
  EXPECT_EQ(VersionPart("1.0.0.1", 3), "0");
  EXPECT_EQ(VersionPart("1.0.0.1", 4), "1");
  EXPECT_EQ(VersionPart("3.7", 1), "3");
  EXPECT_EQ(VersionPart("3.7", 2), "");
  EXPECT_EQ(VersionPart("3.7", 3), "");
  EXPECT_EQ(VersionPart("3.7", 4), "7");
  EXPECT_EQ(VersionPart("Info not registered", 1), "");
  EXPECT_EQ(VersionPart("Info not registered", 4), "Info not registered");
  EXPECT_EQ(VersionKeyFrom("2.5", "1"), "2");
  EXPECT_EQ(VersionKeyFrom("Info not registered", "1"), "1");
}

TEST(ConfigTypes, TitleTexts) {
  std::string r = "unchanged";
  BuildTitleText(0, "Tavelin", "1", "0", "", "Tavelin", r);
  EXPECT_EQ(r, "Tavelin - Version 1.0");
  BuildTitleText(0, "Tavelin", "1", "0", "\xDF", "Tavelin", r);
  EXPECT_EQ(r, "Tavelin - Version 1.0\xDF");
  BuildTitleText(1, "Tavelin", "1", "0", "", "Tavelin", r);
  EXPECT_EQ(r, "Tavelin 1.0");
  BuildTitleText(2, "Tavelin", "1", "0", "", "Base", r);
  EXPECT_EQ(r, "Tavelin");
  BuildTitleText(3, "Tavelin", "1", "0", "", "Base", r);
  EXPECT_EQ(r, "Base");
  BuildTitleText(9, "Tavelin", "1", "0", "", "Base", r);
  EXPECT_EQ(r, "Base");
}

TEST(ConfigTypes, Utf8BecomesWindows1252) {
  EXPECT_EQ(Utf8ToCp1252("\xC3\xA9"), "\xE9");              // é
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xC5\x93"), "\x80 \x9C");  // € œ
  EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\x80z"), "a?z");         // not in the code page
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");                     // cut short
}

// The 27 characters of the code page's 0x80-0x9F range that are not Latin-1, each one alone and
// all of them in one text; the five unused bytes of the range have no character.
TEST(ConfigTypes, EveryWindows1252SpecialCharacterHasItsByte) {
  const struct {
    const char8_t *utf8;
    unsigned char byte;
  } table[] = {
      {u8"€", 0x80}, {u8"‚", 0x82}, {u8"ƒ", 0x83}, {u8"„", 0x84}, {u8"…", 0x85}, {u8"†", 0x86},
      {u8"‡", 0x87}, {u8"ˆ", 0x88}, {u8"‰", 0x89}, {u8"Š", 0x8A}, {u8"‹", 0x8B}, {u8"Œ", 0x8C},
      {u8"Ž", 0x8E}, {u8"‘", 0x91}, {u8"’", 0x92}, {u8"“", 0x93}, {u8"”", 0x94}, {u8"•", 0x95},
      {u8"–", 0x96}, {u8"—", 0x97}, {u8"˜", 0x98}, {u8"™", 0x99}, {u8"š", 0x9A}, {u8"›", 0x9B},
      {u8"œ", 0x9C}, {u8"ž", 0x9E}, {u8"Ÿ", 0x9F}};
  ASSERT_EQ(std::size(table), 27u);
  std::string all, allBytes;
  for (const auto &t : table) {
    std::string utf8(reinterpret_cast<const char *>(t.utf8));
    all += utf8;
    allBytes += char(t.byte);
    EXPECT_EQ(Utf8ToCp1252(utf8), std::string(1, char(t.byte))) << utf8;
  }
  EXPECT_EQ(Utf8ToCp1252(all), allBytes);
  for (const char *unused : {"\xC2\x81", "\xC2\x8D", "\xC2\x8F", "\xC2\x90", "\xC2\x9D"})
    EXPECT_EQ(Utf8ToCp1252(unused), "?") << int(static_cast<unsigned char>(unused[1]));
}

}  // namespace

namespace {

// A line of text from the characters a plan's texts meet: accents, the signs that the file's
// lines use (= ; #), spaces inside.
std::string PlanText(size_t most) {
  std::string text = *rc::gen::container<std::string>(
      *rc::gen::inRange<size_t>(1, most + 1),
      rc::gen::elementOf(std::string("aZ9 =;#'-()\xE9\xC9\x9C\x80\xA0\xFF\xE0")));
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  return text.empty() ? "x" : text;
}

TExamPlanFile AnyPlan() {
  TExamPlanFile plan;
  plan.Name = PlanText(MaxPlanText);
  if (*rc::gen::arbitrary<bool>()) plan.Establishment = PlanText(MaxPlanText);
  if (*rc::gen::arbitrary<bool>()) plan.Room = PlanText(12);
  if (*rc::gen::arbitrary<bool>()) {
    plan.StartMinute = *rc::gen::inRange(0, 24 * 60 - 1);
    plan.StartsByItself = *rc::gen::arbitrary<bool>();
  }
  const size_t papers = *rc::gen::inRange<size_t>(1, MaxPapers + 1);
  for (size_t i = 0; i < papers; ++i) {
    TPlanPaper p;
    p.Name = PlanText(MaxPaperName);
    p.ExtraThird = *rc::gen::arbitrary<bool>();
    const uint32_t most = i == 0 ? MaxFirstPaperSeconds : MaxPaperSeconds;
    const bool toEnd = (i == 0 || plan.StartMinute >= 0) && plan.StartMinute < 24 * 60 - 1 &&
                       *rc::gen::arbitrary<bool>();
    if (!toEnd)
      p.Seconds = *rc::gen::oneOf(rc::gen::inRange<uint32_t>(1, most + 1),
                                  rc::gen::map(rc::gen::inRange<uint32_t>(1, most / 60 + 1),
                                               [](uint32_t m) { return m * 60; }));
    else if (plan.StartMinute < 0)
      p.EndMinute = *rc::gen::inRange(0, 24 * 60);
    else
      p.EndMinute = *rc::gen::inRange(plan.StartMinute + 1,
                                      std::min(24 * 60, plan.StartMinute + int(most / 60) + 1));
    plan.Papers.push_back(p);
  }
  plan.CountsDown = *rc::gen::arbitrary<bool>();
  plan.WarnMinutes = WarnMinuteValues(WarnMinutesText(
      *rc::gen::container<std::vector<uint32_t>>(*rc::gen::inRange<size_t>(0, 4),
                                                 rc::gen::inRange<uint32_t>(1, 1000))));
  plan.ExitMinutes = *rc::gen::inRange<uint32_t>(0, MaxExitMinutes + 1);
  plan.ShowClock = *rc::gen::arbitrary<bool>();
  plan.ClockDigits = *rc::gen::arbitrary<bool>();
  plan.SecondsNearEnd = *rc::gen::inRange<uint32_t>(0, 1000);
  plan.CountOvertime = *rc::gen::arbitrary<bool>();
  plan.KeepJournal = *rc::gen::arbitrary<bool>();
  return plan;
}

}  // namespace

// A plan saved then opened again is the same plan, also once a person has edited its file in a
// plain editor: comments and blank lines between its lines, keys in capitals and without their
// accents, Unix line ends, no byte-order mark, the lines in another order (an épreuve's among
// themselves kept).
RC_GTEST_PROP(ConfigTypes, APlanSavedThenOpenedAgainIsTheSamePlan, ()) {
  const TExamPlanFile plan = AnyPlan();
  RC_PRE(PlanFault(plan).empty());  // two names a reader takes for one
  const std::string text = PlanFileText(plan);
  RC_ASSERT(ReadPlanFile(text) == plan);

  std::vector<std::string> lines, papers;
  const std::string plain = Utf8ToCp1252(text.substr(3));
  for (size_t at = 0, end; at < plain.size(); at = end + 2) {
    end = plain.find("\r\n", at);
    std::string line = plain.substr(at, end - at);
    const bool paper = line.rfind("\xC9preuve", 0) == 0;
    const size_t equals = line.find(" = ");
    if (equals != std::string::npos && *rc::gen::arbitrary<bool>()) {
      std::string key = line.substr(0, equals);
      for (char &c : key)
        c = c == '\xC9' || c == '\xE9' ? 'E' : char(std::toupper(static_cast<unsigned char>(c)));
      line = key + "=" + line.substr(equals + 3);
    }
    (paper ? papers : lines).push_back(line);
  }
  const auto order = *rc::gen::container<std::vector<size_t>>(
      lines.size(), rc::gen::inRange<size_t>(0, 1000));
  std::vector<std::pair<size_t, std::string>> shuffled;
  for (size_t i = 0; i < lines.size(); ++i) shuffled.emplace_back(order[i], lines[i]);
  std::stable_sort(shuffled.begin(), shuffled.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  std::string edited;
  for (const auto &[_, line] : shuffled) edited += line + "\n  # une remarque\n\n";
  for (const std::string &line : papers) edited += "\t" + line + " \n";
  RC_ASSERT(ReadPlanFile(Cp1252ToUtf8(edited)) == plan);
}

// The example plans of the README and of LISEZMOI open as they stand, in the bytes a reader copies
// from them (LISEZMOI is in Windows-1252, the plan file in UTF-8).
TEST(ConfigTypes, TheNoticesExamplePlansOpenAsTheyStand) {
  for (const char *notice : {"/README.md", "/packaging/LISEZMOI.txt"}) {
    std::ifstream file(std::string(TAVELIN_SOURCE_DIR) + notice, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (std::string(notice).find("LISEZMOI") != std::string::npos) text = Cp1252ToUtf8(text);
    // The indented lines after the first "# Bac blanc", to the first blank one.
    size_t at = text.find("# Bac blanc");
    ASSERT_NE(at, std::string::npos) << notice;
    at = text.rfind('\n', at) + 1;
    std::string plan;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos && text[at] == ' '; at = end + 1)
      plan += text.substr(at, end - at + 1);
    try {
      const TExamPlanFile read = ReadPlanFile(plan);
      EXPECT_EQ(read.Name, "Bac blanc de philosophie") << notice;
      EXPECT_EQ(read.Papers.size(), 2u) << notice;
      EXPECT_EQ(read.StartMinute, 8 * 60) << notice;
    } catch (const EPlanFile &e) {
      ADD_FAILURE() << notice << ": " << e.what();
    }
  }
}
