#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/flag_rules.h"
#include "config/flag_tour.h"
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

// A tour over a folder listing, its candidates offered in the listing's order.
std::unique_ptr<FlagTour> tourOver(const std::vector<std::string>& files) {
  auto tour = std::make_unique<FlagTour>();
  clearFlagCandidates(tour->candidates);
  for (const std::string& file : files)
    offerFlagCandidate(tour->candidates, {nullptr, 0}, RegionAll, file.c_str());
  return tour;
}

std::vector<std::string> numberedFlags(int n) {
  std::vector<std::string> files{"Notes.PNG"};
  for (int i = 0; i < n; ++i) files.push_back("Flag " + std::to_string(i) + ".png");
  return files;
}

TEST(FlagTour, EachFlagOnceARoundAfterTheSameFirstDrawAsTheRandomPick) {
  const struct {
    std::vector<std::string> files;
    uint32_t flags;  // distinct names: "x.gif" and "x.jpg" are one flag
  } cases[] = {{{"notes.txt", "Only.png", "Only.gif"}, 1},
               {{"A.png", "B.gif"}, 2},
               {{"x.gif", "x.jpg", "Red. Stars.jpg", "Red.png", "y.bmp", "X.PNG", "w.png"}, 4},
               {numberedFlags(250), 250}};
  for (const auto& c : cases) {
    for (uint32_t seed : {1u, 77u, 9373u}) {
      SCOPED_TRACE(std::to_string(c.flags) + " flags, seed " + std::to_string(seed));
      std::unique_ptr<FlagTour> tour = tourOver(c.files);
      RandomGenerator rng, today;
      seedRandom(rng, seed, 4711);
      today = rng;
      // Today's pick: the candidates counted, one draw, that one in the folder's order.
      uint32_t count = 0;
      for (const std::string& file : c.files) count += isRandomCandidate(file.c_str());
      uint32_t wanted = drawCandidateNumber(today, count);
      char name[kNameCapacity], expected[kNameCapacity] = "";
      for (const std::string& file : c.files)
        if (isRandomCandidate(file.c_str()) && wanted-- == 0)
          cutFlagName(expected, sizeof expected, file.c_str());
      ASSERT_TRUE(startFlagTour(*tour, rng, RegionAll, name));
      EXPECT_STREQ(expected, name);
      EXPECT_EQ(0, std::memcmp(&rng, &today, sizeof rng)) << "the start makes today's one draw";
      std::vector<std::string> shown{name};
      uint32_t rounds = c.flags > 1 ? 4 : 1;
      while (shown.size() < rounds * c.flags && nextTourFlag(*tour, name)) {
        EXPECT_NE(shown.back(), name);
        shown.push_back(name);
      }
      ASSERT_EQ(rounds * c.flags, shown.size());
      EXPECT_EQ(c.flags > 1, nextTourFlag(*tour, name)) << "one flag stays";
      for (uint32_t round = 0; round < rounds; ++round)
        EXPECT_EQ(c.flags, std::set<std::string>(shown.begin() + round * c.flags,
                                                 shown.begin() + (round + 1) * c.flags)
                               .size());
    }
  }
}

TEST(FlagTour, FilesThatComeOrGoCountFromTheNextRoundAndAnEmptyFolderKeepsTheFlag) {
  RandomGenerator rng;
  seedRandom(rng, 5, 6);
  char name[kNameCapacity];
  EXPECT_FALSE(startFlagTour(*tourOver({"notes.txt"}), rng, RegionAll, name));
  std::unique_ptr<FlagTour> tour = tourOver({"A.png", "B.png"});
  ASSERT_TRUE(startFlagTour(*tour, rng, RegionAll, name));
  ASSERT_TRUE(nextTourFlag(*tour, name) && tourRoundOver(*tour));
  tour->candidates = tourOver({"C.png"})->candidates;  // the folder listed afresh
  EXPECT_TRUE(nextTourFlag(*tour, name));
  EXPECT_STREQ("C", name);
  clearFlagCandidates(tour->candidates);
  EXPECT_FALSE(nextTourFlag(*tour, name));
  EXPECT_STREQ("C", name);
}

// Bad lists place nothing (All), never reading past their bytes (the sanitizer watches).
TEST(RegionList, OnlyWholeReadableLinesPlaceAFlag) {
  const std::string good = "# a\tEurope\nChad.png\tAfrica\r\nPeru.png\tamericas\n";
  const std::string longLine(kRegionLineCapacity, 'x');
  const struct {
    std::string list;
    const char* file;
    FlagRegion region;
  } cases[] = {
      {good, "Chad.png", RegionAfrica},
      {good, "PERU.PNG", RegionAmericas},
      {good, "Mine.png", RegionAll},
      {good, "# a", RegionAll},
      {"Fiji.png\tOceania", "Fiji.png", RegionAll},  // cut short before its line end
      {"Fiji.png\tOcean\nFiji.png Oceania\n", "Fiji.png", RegionAll},
      {std::string("Fi\0ji.png\tOceania\nFiji.png\tAsia\n", 32), "Fiji.png", RegionAsia},
      {longLine + "\tAsia\nNepal.png\tAsia\n", "Nepal.png", RegionAsia},
      {"x.png\t" + longLine + "\n", "x.png", RegionAll},
  };
  for (const auto& c : cases) {
    std::vector<char> bytes(c.list.begin(), c.list.end());
    EXPECT_EQ(c.region, listedRegion({bytes.data(), uint32_t(bytes.size())}, c.file))
        << c.list.substr(0, 40);
  }
}

TEST(FolderPatterns, JoinTheDirectoryAndTheImageFolder) {
  char out[kPathCapacity];
  ASSERT_TRUE(flagListPattern(out, sizeof out, "C:\\Saver", "gif"));
  EXPECT_STREQ(out, "C:\\Saver\\IMAGE\\*.gif");
  ASSERT_TRUE(flagListPattern(out, sizeof out, "", "jpg"));
  EXPECT_STREQ(out, "\\IMAGE\\*.jpg") << "an empty directory means the drive's root";
  ASSERT_TRUE(flagListPattern(out, sizeof out, "C:\\", "bmp"));
  EXPECT_STREQ(out, "C:\\IMAGE\\*.bmp");
  ASSERT_TRUE(imageFolderPath(out, sizeof out, "Z:\\tmp\\flags", "*.*"));
  EXPECT_STREQ(out, "Z:\\tmp\\flags\\IMAGE\\*.*");

  std::string huge(kPathCapacity - 5, 'd');
  EXPECT_FALSE(flagListPattern(out, sizeof out, huge.c_str(), "gif"));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(imageFolderPath(out, sizeof out, huge.c_str(), "*.*"));
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
