#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/flag_rules.h"
#include "app/settings.h"
#include "../sim/sim_test_support.h"

namespace {

TEST(RandomCandidate, OnlyTheFiveLowerCaseEndingsQualify) {
  const struct {
    const char* name;
    bool candidate;
  } cases[] = {
      {"France.bmp", true},
      {"France.gif", true},
      {"France.jpg", true},
      {"Name.jpeg", true},
      {"Red. Stars.jpg", true},
      {".Hidden.gif", true},
      {"FRANCE.JPG", false},
      {"France.Gif", false},
      {"Name.JPEG", false},
      {"France.png", true},
      {"France.PNG", false},
      {"France.Png", false},
      {"France.png.txt", false},
      {"png", false},
      {"France.jpg.txt", false},
      {"jpg", false},
      {"", false},
      {".", false},
      {"..", false},
      {"\xc9t\xe9.gif", true},
      {"\xc9T\xc9.GIF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isRandomCandidate(c.name), c.candidate) << c.name;
}

TEST(FlagNameCut, CutsAtTheFirstDotAfterTheFirstCharacter) {
  const struct {
    const char* file;
    const char* flag;
  } cases[] = {
      {"France.jpg", "France"},   {"Red. Stars.jpg", "Red"},
      {".Hidden.gif", ".Hidden"}, {"Name.jpeg", "Name"},
      {"a.b.c.bmp", "a"},         {"..x.jpg", "."},
      {"NoDot", "NoDot"},         {"\xc9t\xe9 \xe0.jpg", "\xc9t\xe9 \xe0"},
  };
  for (const auto& c : cases) {
    char out[kNameCapacity];
    cutFlagName(out, sizeof out, c.file);
    EXPECT_STREQ(out, c.flag) << c.file;
  }
}

TEST(FlagNameCut, LongNamesAreCutToTheBufferSafely) {
  std::string longName(2000, 'a');
  longName[1500] = '.';
  char out[kNameCapacity];
  cutFlagName(out, sizeof out, (longName + ".jpg").c_str());
  EXPECT_EQ(std::string(out), std::string(1023, 'a'));

  char small[6];
  std::memset(small, 'x', sizeof small);
  cutFlagName(small, sizeof small, "Germany.gif");
  EXPECT_STREQ(small, "Germa");
  cutFlagName(small, sizeof small, "It.gif");
  EXPECT_STREQ(small, "It");
}

TEST(FlagListName, DropsTheDotAndThreeLetterExtensionInAnyCase) {
  const struct {
    const char* file;
    const char* extension;
    const char* entry;  // null: not listed
  } cases[] = {
      {"Red. Stars.jpg", "jpg", "Red. Stars"},
      {"FRANCE.JPG", "jpg", "FRANCE"},
      {".Hidden.gif", "gif", ".Hidden"},
      {"x.bmp", "bmp", "x"},
      {"Band.png", "png", "Band"},
      {"BAND.PNG", "png", "BAND"},
      {"Band.png", "gif", nullptr},  // each pattern lists its own ending only
      {"\xc9t\xe9.gif", "gif", "\xc9t\xe9"},
      {"Name.jpeg", "jpg", nullptr},  // ".jpeg" files are not offered
      {"x.jpgx", "jpg", nullptr},     // a short-name match, not a flag
      {".gif", "gif", nullptr},       // nothing left of the name
      {"gif", "gif", nullptr},
      {"", "gif", nullptr},
  };
  for (const auto& c : cases) {
    char out[kNameCapacity];
    std::memset(out, 'x', sizeof out);
    bool listed = flagListName(out, sizeof out, c.file, c.extension);
    EXPECT_EQ(listed, c.entry != nullptr) << c.file;
    EXPECT_STREQ(out, c.entry ? c.entry : "") << c.file;
  }
}

TEST(FlagListName, NamesThatCannotBeStoredAreNotListed) {
  char out[kNameCapacity];
  EXPECT_TRUE(flagListName(out, sizeof out, (std::string(1023, 'n') + ".gif").c_str(), "gif"));
  EXPECT_EQ(std::strlen(out), 1023u);
  EXPECT_FALSE(flagListName(out, sizeof out, (std::string(1024, 'n') + ".gif").c_str(), "gif"));
  EXPECT_STREQ(out, "");
}

TEST(FlagPicturePath, TriesJpegJpgBmpGifPngInTheImageFolder) {
  const char* expected[] = {"Image\\Red.jpeg", "Image\\Red.jpg", "Image\\Red.bmp", "Image\\Red.gif",
                            "Image\\Red.png"};
  ASSERT_EQ(sizeof expected / sizeof expected[0], size_t(kLoadExtensionCount));
  for (uint32_t attempt = 0; attempt < kLoadExtensionCount; ++attempt) {
    char path[kPathCapacity];
    ASSERT_TRUE(flagPicturePath(path, sizeof path, "Red", attempt));
    EXPECT_STREQ(path, expected[attempt]);
  }
  char path[kPathCapacity] = "stale";
  EXPECT_FALSE(flagPicturePath(path, sizeof path, "Red", kLoadExtensionCount));
  EXPECT_STREQ(path, "");
}

TEST(FlagPicturePath, APathThatDoesNotFitIsNotTried) {
  std::string longest(kNameCapacity - 1, 'z');
  char path[kPathCapacity];
  ASSERT_TRUE(flagPicturePath(path, sizeof path, longest.c_str(), 0));
  EXPECT_EQ(std::string(path), "Image\\" + longest + ".jpeg");

  char small[18];
  EXPECT_TRUE(flagPicturePath(small, sizeof small, "Germany", 1));  // "Image\Germany.jpg", 18 bytes
  EXPECT_FALSE(flagPicturePath(small, sizeof small, "Germany", 0));  // ".jpeg" needs 19
  EXPECT_STREQ(small, "");
}

TEST(FolderPatterns, JoinTheDirectoryAndTheImageFolder) {
  char out[kPathCapacity];
  ASSERT_TRUE(flagListPattern(out, sizeof out, "C:\\Saver", "gif"));
  EXPECT_STREQ(out, "C:\\Saver\\IMAGE\\*.gif");
  ASSERT_TRUE(flagListPattern(out, sizeof out, "", "jpg"));
  EXPECT_STREQ(out, "\\IMAGE\\*.jpg") << "an empty directory means the drive's root";
  ASSERT_TRUE(flagListPattern(out, sizeof out, "C:\\", "bmp"));
  EXPECT_STREQ(out, "C:\\IMAGE\\*.bmp");
  ASSERT_TRUE(randomPickPattern(out, sizeof out, "Z:\\tmp\\flags"));
  EXPECT_STREQ(out, "Z:\\tmp\\flags\\IMAGE\\*.*");

  std::string huge(kPathCapacity - 5, 'd');
  EXPECT_FALSE(flagListPattern(out, sizeof out, huge.c_str(), "gif"));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(randomPickPattern(out, sizeof out, huge.c_str()));
}

TEST(RandomPick, EveryCandidateOfALargeFolderHasTheSameShare) {
  // The folder walk takes the drawn number's candidate (the catalogue's
  // Windows test); here the draw itself over 250 candidates.
  RandomGenerator rng;
  seedRandom(rng, 1802, 9373);
  const int kDraws = 250 * 100;
  std::vector<int> taken(250, 0);
  for (int draw = 0; draw < kDraws; ++draw) {
    RandomGenerator reference = rng;
    uint32_t number = drawCandidateNumber(rng, 250);
    ASSERT_LT(number, 250u);
    randomUniform(reference);
    ASSERT_EQ(0, std::memcmp(&rng, &reference, sizeof rng)) << "exactly one draw";
    ++taken[number];
  }
  // Chi-square over the 250 candidates (249 degrees of freedom: mean 249,
  // spread 22); 400 is beyond six spreads. Taking each candidate with 1 chance
  // in 128 at its visit, in the folder's order, makes the first about 7 times
  // as likely as the last and gives over ten thousand.
  const double expected = kDraws / 250.0;
  double chiSquare = 0;
  for (int count : taken) chiSquare += (count - expected) * (count - expected) / expected;
  EXPECT_LT(chiSquare, 400.0);
}

}  // namespace
