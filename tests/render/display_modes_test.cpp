#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/display_modes.h"

namespace {

constexpr uint32_t kX8R8G8B8 = 22, kR5G6B5 = 23, kX1R5G5B5 = 24;

struct RefreshCase {
  const char* name;
  std::vector<DisplayMode> modes;  // adapter index order
  uint32_t expected;
};

TEST(RefreshRateScan, HighestRateBelow120WinsAndFastModesFallBackToDefault) {
  const RefreshCase cases[] = {
      {"ascending 60 75 85", {{800, 600, 60, 24}, {800, 600, 75, 24}, {800, 600, 85, 24}}, 85},
      {"ascending up to 120",
       {{800, 600, 60, 24}, {800, 600, 75, 24}, {800, 600, 85, 24}, {800, 600, 120, 24}},
       0},
      {"descending 75 60", {{800, 600, 75, 24}, {800, 600, 60, 24}}, 75},
      {"no modes", {}, 0},
      {"only other sizes and formats",
       {{1024, 768, 85, 24}, {800, 600, 85, 23}, {640, 480, 75, 24}},
       0},
      {"a fast mode of another size does not end the visit",
       {{800, 600, 60, 24}, {800, 600, 85, 24}, {1024, 768, 120, 24}},
       85},
      {"a fast mode met after a slower one keeps the slower",
       {{800, 600, 150, 24}, {800, 600, 72, 24}},
       72},
      {"rate 0 only", {{800, 600, 0, 24}}, 0},
  };
  for (const RefreshCase& c : cases) {
    EXPECT_EQ(chooseRefreshRate(c.modes.data(), (uint32_t)c.modes.size(), 800, 600, kX1R5G5B5),
              c.expected)
        << c.name;
  }
}

ModeCopy& copyOf(const std::vector<DisplayMode>& modes) {
  static ModeCopy copy;
  clearModeCopy(copy);
  for (const DisplayMode& m : modes) addModeToCopy(copy, m.width, m.height, m.format);
  return copy;
}

std::vector<std::string> texts(const ModeList& list) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < list.count; ++i) out.push_back(list.entries[i].text);
  return out;
}

TEST(ModeCopy, KeepsEachModeOnceAndFormatZeroMatchesNothing) {
  ModeCopy& copy = copyOf({{800, 600, 60, kR5G6B5},
                           {800, 600, 75, kR5G6B5},
                           {800, 600, 85, kR5G6B5},
                           {640, 480, 60, 0}});
  EXPECT_EQ(copy.count, 2u);
  EXPECT_TRUE(modeCopyHas(copy, 800, 600, kR5G6B5));
  EXPECT_FALSE(modeCopyHas(copy, 800, 600, kX8R8G8B8));
  EXPECT_FALSE(modeCopyHas(copy, 600, 800, kR5G6B5));
  EXPECT_FALSE(modeCopyHas(copy, 640, 480, 0));
  clearModeCopy(copy);
  EXPECT_FALSE(modeCopyHas(copy, 800, 600, kR5G6B5));
}

TEST(ModeCopy, StopsAtItsCapacityWithoutOverrun) {
  static ModeCopy copy;
  clearModeCopy(copy);
  for (uint32_t i = 0; i < kModeCopyCapacity + 50; ++i) addModeToCopy(copy, 100 + i, 100, kR5G6B5);
  EXPECT_EQ(copy.count, kModeCopyCapacity);
  EXPECT_TRUE(modeCopyHas(copy, 100 + kModeCopyCapacity - 1, 100, kR5G6B5));
  EXPECT_FALSE(modeCopyHas(copy, 100 + kModeCopyCapacity, 100, kR5G6B5));
}

TEST(ModeList, CandidateSizesInTheChosenFormatsInCandidateOrderWithTheCurrentModeSelected) {
  std::vector<DisplayMode> both;
  for (uint32_t format : {kR5G6B5, kX8R8G8B8})
    for (ScreenSize s : {ScreenSize{640, 480}, ScreenSize{800, 600}, ScreenSize{1024, 768}})
      both.push_back({s.width, s.height, 60, format});
  const std::vector<std::string> six = {"1024 x 768 x 16 bpp", "1024 x 768 x 32 bpp",
                                        "800 x 600 x 16 bpp",  "800 x 600 x 32 bpp",
                                        "640 x 480 x 16 bpp",  "640 x 480 x 32 bpp"};
  struct Case {
    const char* name;
    std::vector<DisplayMode> modes;
    uint32_t mode16, mode32, width, height, bpp;
    std::vector<std::string> texts;
    int32_t selected;
  };
  const Case cases[] = {
      {"both formats, 32 bits current", both, kR5G6B5, kX8R8G8B8, 800, 600, 32, six, 3},
      {"both formats, 16 bits current", both, kR5G6B5, kX8R8G8B8, 640, 480, 16, six, 4},
      {"a current mode the list does not offer", both, kR5G6B5, kX8R8G8B8, 1280, 1024, 32, six, -1},
      {"a size offered only in 32 bits is listed once",
       {{1280, 1024, 60, kX8R8G8B8}}, kR5G6B5, kX8R8G8B8, 800, 600, 16,
       {"1280 x 1024 x 32 bpp"}, -1},
      {"other sizes and formats are left out",
       {{1152, 864, 60, kR5G6B5}, {1600, 1200, 60, kX8R8G8B8}, {800, 600, 60, kX1R5G5B5},
        {600, 800, 60, kR5G6B5}, {480, 640, 60, kX8R8G8B8}},
       kR5G6B5, kX8R8G8B8, 600, 800, 16, {"600 x 800 x 16 bpp", "480 x 640 x 32 bpp"}, 0},
      {"no 16-bit format: the 32-bit entries alone", both, 0, kX8R8G8B8, 800, 600, 32,
       {"1024 x 768 x 32 bpp", "800 x 600 x 32 bpp", "640 x 480 x 32 bpp"}, 1},
      {"neither format: an empty list",
       {{800, 600, 60, kR5G6B5}, {800, 600, 60, kX8R8G8B8}, {800, 600, 0, 0}}, 0, 0, 800, 600,
       16, {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModeList list;
    buildModeList(list, copyOf(c.modes), c.mode16, c.mode32, c.width, c.height, c.bpp);
    EXPECT_EQ(texts(list), c.texts);
    EXPECT_EQ(list.selected, c.selected);
  }
}

TEST(ModeList, EverySizeInBothFormatsFillsTheListExactly) {
  std::vector<DisplayMode> modes;
  for (const ScreenSize& s : candidateResolutions) {
    modes.push_back({s.width, s.height, 60, kX1R5G5B5});
    modes.push_back({s.width, s.height, 60, kX8R8G8B8});
  }
  ModeList list;
  buildModeList(list, copyOf(modes), kX1R5G5B5, kX8R8G8B8, 480, 640, 32);
  ASSERT_EQ(list.count, kModeListCapacity);
  EXPECT_STREQ(list.entries[0].text, "1280 x 1024 x 16 bpp");
  EXPECT_STREQ(list.entries[15].text, "480 x 640 x 32 bpp");
  EXPECT_EQ(list.selected, 15);
}

TEST(ModeText, StaysTerminatedInASmallBuffer) {
  char text[8];
  std::memset(text, 'x', sizeof text);
  formatModeText(text, sizeof text, 1024, 768, 32);
  EXPECT_STREQ(text, "1024 x ");
}

}  // namespace
