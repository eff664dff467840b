#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ScanCase {
  const char* text;
  SaverMode mode;
  uint32_t isPreview;
  uint32_t parentWindow;
};

TEST(CommandLineScan, ChoosesModeAndWindowAsTheSaverMachineryPassesThem) {
  const ScanCase cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\Flags.scr /p 1234", Preview, 1, 1234},
      {"Flags.scr /c:5678", Config, 0, 5678},
      {"C:\\dir\\saver.scr", Config, 0, 0},  // the backslash is met first
      {"Flags.scr /S", Saver, 0, 0},
      {"Flags.scr -s", Saver, 0, 0},
      {"Flags.scr /s", Saver, 0, 0},
      {"Flags.scr /p:1234", Preview, 1, 1234},
      {"Flags.scr /p1234", Preview, 1, 1234},
      {"Flags.scr /p \"1234\"", Preview, 1, 1234},
      {"Flags.scr /p  :\"1234", Preview, 1, 1234},
      {"Flags.scr /p abc", Preview, 1, 0},
      {"Flags.scr /p", Preview, 1, 0},
      {"Flags.scr /c /s", Saver, 0, 0},  // the right-most switch wins
      {"Flags.scr /s /c", Config, 0, 0},
      {"Flags.scr /s C:\\temp", Config, 0, 0},
      {"C:\\dir\\my-saver.scr", Saver, 0, 0},  // "-s" inside the file name
      {"Flags.scr /a 1234", ChangePassword, 0, 1234},
      {"Flags.scr -A", ChangePassword, 0, 0},
      {"Flags.scr /p 4294967297", Preview, 1, 1},  // modulo 2^32
      {"Flags.scr", Config, 0, 0},                 // neither switch nor backslash
      {"", Config, 0, 0},
      {"/x /y -", Config, 0, 0},  // other letters are ignored
      {"-", Config, 0, 0},
      {"/", Config, 0, 0},
      {".s", Config, 0, 0},  // '.' differs from '-' in more than bit 1
      {"/s:::\"\"  42abc", Saver, 0, 42},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.text);
    CommandLine line = scanCommandLine(c.text);
    EXPECT_EQ(line.mode, c.mode);
    EXPECT_EQ(line.isPreview, c.isPreview);
    EXPECT_EQ(line.parentWindow, c.parentWindow);
  }
}

TEST(CommandLineScan, OnlyTheFourLettersFoldOntoSwitches) {
  // Every byte pair after "/" or "-": only c, p, a, s in either case switch.
  for (int prefix : {'/', '-'}) {
    for (int letter = 1; letter < 256; ++letter) {
      const char text[] = {'x', static_cast<char>(prefix), static_cast<char>(letter), 0};
      CommandLine line = scanCommandLine(text);
      SaverMode expected = Config;
      switch (letter) {
        case 'c':
        case 'C':
          expected = Config;
          break;
        case 'p':
        case 'P':
          expected = Preview;
          break;
        case 'a':
        case 'A':
          expected = ChangePassword;
          break;
        case 's':
        case 'S':
          expected = Saver;
          break;
      }
      SCOPED_TRACE(letter);
      EXPECT_EQ(line.mode, expected);
      EXPECT_EQ(line.isPreview, expected == Preview ? 1u : 0u);
    }
  }
}

TEST(CommandLineScan, HandlesHostileText) {
  std::string longLine(100000, 'x');
  longLine += " /p ";
  longLine += std::string(5000, '9');  // far beyond 32 bits: wraps, no overflow trap
  CommandLine line = scanCommandLine(longLine.c_str());
  EXPECT_EQ(line.mode, Preview);
  EXPECT_EQ(line.parentWindow, parseDecimal(std::string(5000, '9').c_str()));

  std::string bytes;
  for (int b = 255; b >= 1; --b) bytes += static_cast<char>(b);
  EXPECT_EQ(scanCommandLine(bytes.c_str()).mode, Config);  // holds a backslash
  EXPECT_EQ(scanCommandLine(nullptr).mode, Config);
}

TEST(ParseDecimal, ReadsDigitsModulo32Bits) {
  struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"0", 0},
      {"1234", 1234},
      {"4294967295", 4294967295u},
      {"4294967296", 0},
      {"4294967297", 1},
      {"12ab", 12},
      {"", 0},
      {"abc", 0},
      {"-5", 0},
      {"007", 7},
      {"99999999999", 1215752191u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseDecimal(c.text), c.value);
  }
}

TEST(SeedFromTickCount, SplitsTheTickCountIntoTheTwoSeeds) {
  struct {
    uint32_t ticks, ij, kl;
  } cases[] = {
      {327687, 5, 3},  // 5 * 65536 + 7; 7 & 0x3573 = 3
      {0, 0, 0},
      {0xFFFFFFFFu, 0x3FFF, 0x3573},
      {0x12345678u, 0x1234, 0x1470},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ticks);
    RandomSeed seed = seedFromTickCount(c.ticks);
    EXPECT_EQ(seed.ij, c.ij);
    EXPECT_EQ(seed.kl, c.kl);
  }
}

}  // namespace
