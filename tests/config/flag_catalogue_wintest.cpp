// The flag folder on real files under Wine: the dialog's list, the random
// pick and the choice of the flag picture with all its fallbacks. Each test
// builds its own "IMAGE" folder in a fresh temporary directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/flag_catalogue.h"
#include "config/flag_rules.h"
#include "app/app_state.h"
#include "app/messages.h"
#include "sim/sim_test_support.h"
#include "win_test_support.h"

namespace {

// A width × height 24-bit BMP of one colour: OLE decodes by content, so the
// same bytes serve under any extension and the texture size tells the files apart.
bool writeBmp(const std::string& path, int width, int height) {
  return writeFileBytes(path, bmpFileBytes(width, height, 24, [](int, int) { return 0x5A5A5Au; }));
}

class FlagFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.made) << folder_.root;
    setLoadDefaults(app.settings);
    copyText(app.settings.directory, kPathCapacity, folder_.root.c_str());
    app.host.instance = GetModuleHandleA(nullptr);
    app.host.mainWindow = nullptr;
    seedRandom(app.sim.random, 1802, 9373);
    startRecordingMessages();
  }
  void TearDown() override { stopRecordingMessages(); }
  std::string flagPath(const char* name) { return folder_.path(name); }
  void addEmpty(std::initializer_list<const char*> names) {
    for (const char* name : names) ASSERT_TRUE(writeFileBytes(flagPath(name), "")) << name;
  }
  void removeFlags() { folder_.removeFiles(); }
  FlagFolderOnDisk folder_{"flagtest"};
};

class FlagList : public FlagFolder {
 protected:
  void SetUp() override {
    FlagFolder::SetUp();
    combo_ = CreateWindowA("COMBOBOX", "", CBS_SORT | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 200, 200,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, combo_);
    app.dialog.flagList = combo_;
  }
  void TearDown() override {
    if (combo_) DestroyWindow(combo_);
    app.dialog.flagList = nullptr;
    FlagFolder::TearDown();
  }
  std::vector<std::string> entries() { return comboEntries(combo_); }
  std::string selectedEntry() {
    LRESULT index = SendMessageA(combo_, CB_GETCURSEL, 0, 0);
    return index < 0 ? "<none>" : entries()[index];
  }
  HWND combo_ = nullptr;
};

TEST_F(FlagList, ListsGifJpgBmpAndPngNamesWithDuplicatesButNoJpeg) {
  addEmpty({"b.gif", "a.jpg", "a.gif", "Name.jpeg", "FRANCE.JPG", "Red. Stars.jpg", "c.bmp",
            "readme.txt", ".Hidden.gif", "d.png", "EIRE.PNG", "b.png"});
  SetCurrentDirectoryA(folder_.savedDirectory);  // the list follows `directory`, not the current one
  fillFlagList();
  std::vector<std::string> listed = entries();
  std::vector<std::string> sorted = listed;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> expected = {".Hidden", "EIRE", "FRANCE", "Red. Stars", "a",
                                       "a",       "b",    "b",      "c",          "d"};
  EXPECT_EQ(expected, sorted);
  EXPECT_EQ(listed[0], ".Hidden") << "the list keeps itself sorted";
}

TEST_F(FlagList, SelectsTheStoredFlagElseTheFirstEntry) {
  addEmpty({"Brazil.gif", "Austria.jpg", "Chile.bmp", "Red. Stars.jpg"});
  const struct {
    const char* stored;
    const char* selected;
  } cases[] = {
      {"Chile", "Chile"},     {"Red. Stars", "Red. Stars"},
      {"Germany", "Austria"}, {"chile", "Austria"},  // the comparison minds case
      {"", "Austria"},
  };
  for (const auto& c : cases) {
    copyText(app.settings.selectFlag, kNameCapacity, c.stored);
    fillFlagList();
    EXPECT_EQ(4u, entries().size()) << "emptied before each fill";
    EXPECT_EQ(c.selected, selectedEntry()) << c.stored;
  }
}

TEST_F(FlagList, AMissingFolderOrAnOverlongDirectoryGivesAnEmptyList) {
  copyText(app.settings.directory, kPathCapacity, (folder_.root + "\\missing").c_str());
  SendMessageA(combo_, CB_ADDSTRING, 0, (LPARAM) "stale");
  fillFlagList();
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ("<none>", selectedEntry());

  std::string overlong(kPathCapacity - 1, 'd');
  copyText(app.settings.directory, kPathCapacity, overlong.c_str());
  fillFlagList();
  EXPECT_TRUE(entries().empty());
}

class RandomFlag : public FlagFolder {};

// The folder's candidates (lower-case endings only) in the order the file
// system gives them; one draw of k / N from the generator passed takes the
// k-th, so each has the same share, its name cut at the first inner dot.
TEST_F(RandomFlag, OneDrawTakesTheCandidateAtItsPlaceInTheFolder) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Peru.gif", "Peru"}, {"notes.txt", ""},         {"Chad.png", "Chad"},
      {"MALI.GIF", ""},     {"Red. Stars.jpg", "Red"}, {"Togo.bmp", "Togo"},
      {"SPAIN.BMP", ""},    {"Name.jpeg", "Name"},     {".Hidden.gif", ".Hidden"}};
  for (const auto& f : files) ASSERT_TRUE(writeFileBytes(flagPath(f.first.c_str()), "")) << f.first;
  std::vector<std::string> order;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder_.image + "\\*.*").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  do
    for (const auto& f : files)
      if (f.first == found.cFileName && !f.second.empty()) order.push_back(f.second);
  while (FindNextFileA(search, &found));
  FindClose(search);
  ASSERT_EQ(6u, order.size());
  const RandomGenerator saver = app.sim.random;
  for (size_t k = 0; k < order.size(); ++k) {
    RandomGenerator own;
    seedRandom(own, 1234, 5678);
    forceNextDraw(own, float(k) / float(order.size()));
    RandomGenerator oneDrawLater = own;
    randomUniform(oneDrawLater);
    char name[kNameCapacity] = "before";
    ASSERT_TRUE(pickRandomFlagInto(own, name));
    EXPECT_EQ(order[k], name) << k;
    EXPECT_EQ(0, std::memcmp(&oneDrawLater, &own, sizeof own)) << "one draw";
  }
  EXPECT_EQ(0, std::memcmp(&saver, &app.sim.random, sizeof saver)) << "another view's pick";
}

TEST_F(RandomFlag, NoCandidateOrNoFolderGivesFalseWithoutDrawing) {
  const RandomGenerator before = app.sim.random;
  char name[kNameCapacity] = "";
  addEmpty({"FRANCE.JPG", "ITALY.GIF"});
  EXPECT_FALSE(pickRandomFlagInto(app.sim.random, name)) << "upper-case endings only";
  removeFlags();
  EXPECT_FALSE(pickRandomFlagInto(app.sim.random, name)) << "empty folder";
  RemoveDirectoryA(folder_.image.c_str());
  EXPECT_FALSE(pickRandomFlagInto(app.sim.random, name)) << "no folder";
  EXPECT_EQ(0, std::memcmp(&before, &app.sim.random, sizeof before));
  EXPECT_STREQ("", name);
}

// The flag picture chosen as the saver window's view chooses it; the
// picture's size shows which file loaded.
class FlagPicture : public FlagFolder {
 protected:
  void SetUp() override {
    FlagFolder::SetUp();
    window_ = makeTestWindow("FlagPictureTest", 64, 48);
    app.host.mainWindow = window_;
    app.settings.randomFlag = 0;
  }
  void TearDown() override {
    app.host.mainWindow = nullptr;
    if (window_) DestroyWindow(window_);
    FlagFolder::TearDown();
  }
  // Chooses the picture and gives its width, 0 when none.
  UINT chooseWidth() {
    Picture picture = nullptr;
    EXPECT_EQ(0u, chooseFlagPictureInto(&picture, app.sim.random, app.settings.selectFlag));
    if (!picture) return 0;
    BITMAP bitmap = dibOf(picture).dsBm;
    DeleteObject(picture);
    EXPECT_EQ(32, bitmap.bmBitsPixel);
    return UINT(bitmap.bmWidth);
  }
  void expectBuiltIn(const char* why) {
    EXPECT_EQ(256u, chooseWidth()) << why;
    EXPECT_STREQ(kBuiltInFlagName, app.settings.selectFlag) << why;
  }
  HWND window_ = nullptr;
};

TEST_F(FlagPicture, LoadsByNameTheFirstFileOfTheTriedOrder) {
  // The order itself is the path rule's (flag_rules_test.cpp): here the
  // first file that loads wins and a missing one passes to the next.
  const struct {
    const char* file;
    int width;  // a power of two, kept at the folder limit of 512
  } files[] = {{"Peru.jpeg", 4}, {"Peru.gif", 32}, {"Peru.png", 64}};  // all BMPs inside
  for (const auto& f : files) ASSERT_TRUE(writeBmp(flagPath(f.file), f.width, 2));
  for (const auto& f : files) {
    copyText(app.settings.selectFlag, kNameCapacity, "Peru");
    EXPECT_EQ(UINT(f.width), chooseWidth()) << f.file;
    EXPECT_STREQ("Peru", app.settings.selectFlag);
    DeleteFileA(flagPath(f.file).c_str());
  }
  copyText(app.settings.selectFlag, kNameCapacity, "Peru");
  expectBuiltIn("no file of the name is left");
  EXPECT_TRUE(shownMessages.empty());
}

// Names as users and the file system give them: an upper-case ending, dots,
// long names (the longest passes the path limit, where the built-in flag is
// sound too) and a Latin-1 letter, which the Unix side keeps as UTF-8.
TEST_F(FlagPicture, OddNamesLoadUnderTheirNames) {
  const struct {
    std::string name, ending;
    bool mayFail;
  } cases[] = {{"FRANCE", ".JPG", false},           {"a.b.c", ".gif", false},
               {std::string(100, 'L'), ".gif", false}, {std::string(250, 'N'), ".gif", true},
               {"C\xf4te d'Ivoire", ".gif", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 12));
    bool written = writeBmp(flagPath((c.name + c.ending).c_str()), 32, 2);
    ASSERT_TRUE(written || c.mayFail);
    copyText(app.settings.selectFlag, kNameCapacity, c.name.c_str());
    UINT width = chooseWidth();
    if (!c.mayFail || width != 256) {
      EXPECT_EQ(32u, width);
    }
    removeFlags();
  }
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(FlagPicture, FolderFlagsAreLimitedTo512AndTheUsersPictureTo1024) {
  ASSERT_TRUE(writeBmp(flagPath("Wide.bmp"), 600, 4));
  copyText(app.settings.selectFlag, kNameCapacity, "Wide");
  EXPECT_EQ(512u, chooseWidth());

  app.settings.useFlagLogo = 1;
  copyText(app.settings.logoFullPath, kPathCapacity, flagPath("Wide.bmp").c_str());
  copyText(app.settings.logoTitle, kNameCapacity, "My own flag");
  EXPECT_EQ(1024u, chooseWidth());
  EXPECT_STREQ("My own flag", app.settings.selectFlag);
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(FlagPicture, EveryFallbackEndsOnTheBuiltInPictureWithoutAMessage) {
  ASSERT_TRUE(writeBmp(flagPath("Red. Stars.jpg"), 8, 8));

  app.settings.useFlagLogo = 1;
  expectBuiltIn("user's picture with an empty path");
  copyText(app.settings.logoFullPath, kPathCapacity, (folder_.root + "\\missing.bmp").c_str());
  copyText(app.settings.logoTitle, kNameCapacity, "Lost");
  expectBuiltIn("user's picture that is missing");

  app.settings.useFlagLogo = 0;
  copyText(app.settings.selectFlag, kNameCapacity, "Nowhere");
  expectBuiltIn("a named flag that loads nothing");
  std::string overlong(kNameCapacity - 1, 'n');
  copyText(app.settings.selectFlag, kNameCapacity, overlong.c_str());
  expectBuiltIn("a 1023-byte name");

  // Taken at random the file is "Red", which loads nothing by name.
  app.settings.randomFlag = 1;
  expectBuiltIn("random pick of Red. Stars.jpg");
  removeFlags();
  expectBuiltIn("random pick in an empty folder");
  EXPECT_TRUE(shownMessages.empty());

  // Chosen in the dialog, the same file loads under its listed name.
  ASSERT_TRUE(writeBmp(flagPath("Red. Stars.jpg"), 8, 8));
  app.settings.randomFlag = 0;
  copyText(app.settings.selectFlag, kNameCapacity, "Red. Stars");
  EXPECT_EQ(8u, chooseWidth());
}

// A region lists its flags; every flag where the folder has none or no list.
TEST_F(FlagPicture, ARegionListsItsFlagsOrEveryFlagWhereItHasNone) {
  for (const char* name : {"Chad.png", "Peru.png", "Mine.gif"})
    ASSERT_TRUE(writeBmp(flagPath(name), 8, 8));
  ASSERT_TRUE(
      writeFileBytes(flagPath(kRegionListName), "Chad.png\tAfrica\r\nPeru.png\tAmericas\r\n"));
  auto tour = std::make_unique<FlagTour>();
  auto listed = [&](FlagRegion region) {
    EXPECT_TRUE(listFlagCandidates(region, tour->candidates));
    std::set<std::string> names;
    for (uint32_t i = 0; i < tour->candidates.count; ++i)
      names.insert(candidateName(tour->candidates, i));
    return names;
  };
  const std::set<std::string> every = {"Chad", "Peru", "Mine"};
  EXPECT_EQ(std::set<std::string>{"Chad"}, listed(RegionAfrica));
  EXPECT_EQ(every, listed(RegionAsia)) << "none of the region here";
  app.settings.randomFlag = 1, app.settings.flagRegion = RegionAmericas;
  char name[kNameCapacity] = "";
  Picture picture = nullptr;
  for (int draw = 0; draw < 8; ++draw) {  // every draw, not one that happens to fall there
    EXPECT_EQ(0u, chooseFlagPictureInto(&picture, app.sim.random, name, tour.get()));
    EXPECT_STREQ("Peru", name);
    DeleteObject(picture);
  }
  DeleteFileA(flagPath(kRegionListName).c_str());
  EXPECT_EQ(every, listed(RegionAfrica)) << "no region list";
}

// A PNG's kind: its bit depth, colour type and interlacing from the header;
// "other" for any other file.
std::string pictureKind(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char head[29] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  if (!file || std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0) return "other";
  return "png depth " + std::to_string(head[24]) + " colour " + std::to_string(head[25]) +
         " interlace " + std::to_string(head[28]);
}

// Every flag that ships decodes at the folder's limit into a picture of more
// than one colour: 512 wide, and 512 high from 384 rows (256 from the 200 of
// the 3:2 default flag). The decoder takes one way per kind of file, so one
// file of each kind is decoded (a 2048-pixel flag takes a tenth of a second).
TEST(ShippedFlags, EveryKindOfFileDecodesAtTheFolderLimit) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(FLAG_SHIPPED_FOLDER "\\*.*", &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search) << FLAG_SHIPPED_FOLDER;
  std::set<std::string> decodedKinds;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (found.cFileName == std::string(kRegionListName)) continue;
    std::string path = std::string(FLAG_SHIPPED_FOLDER) + "\\" + found.cFileName;
    if (!decodedKinds.insert(pictureKind(path)).second) continue;
    Picture picture = loadPictureFile(path.c_str(), 512);
    EXPECT_NE(nullptr, picture) << found.cFileName;
    if (!picture) continue;
    DIBSECTION dib = dibOf(picture);
    EXPECT_EQ(512, dib.dsBm.bmWidth) << found.cFileName;
    EXPECT_TRUE(dib.dsBm.bmHeight == 512 || dib.dsBm.bmHeight == 256) << found.cFileName;
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel) << found.cFileName;
    const uint32_t* pixels = static_cast<const uint32_t*>(dib.dsBm.bmBits);
    bool varied = false;
    for (int i = 1; pixels && i < 512 * 512 && !varied; ++i)
      varied = (pixels[i] & 0xFFFFFF) != (pixels[0] & 0xFFFFFF);
    EXPECT_TRUE(varied) << found.cFileName << " decodes to one colour";
    DeleteObject(picture);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  // At least the GIF, a full-colour PNG and a palette PNG (the renderer
  // writes flags of few colours in the fewest bits that hold them).
  EXPECT_GE(decodedKinds.size(), 3u) << "kinds of files in " FLAG_SHIPPED_FOLDER;
}

TEST_F(FlagPicture, FailingBuiltInPictureIsReportedAndFails) {
  // A module without "IMAGE" resources stands in for a damaged program file.
  app.host.instance = GetModuleHandleA("kernel32.dll");
  copyText(app.settings.selectFlag, kNameCapacity, "Nowhere");
  Picture picture = nullptr;
  EXPECT_EQ(1u, chooseFlagPictureInto(&picture, app.sim.random, app.settings.selectFlag));
  EXPECT_EQ(nullptr, picture);
  ASSERT_EQ(1u, shownMessages.size());
  EXPECT_EQ("Flag Texture Loading Error", shownMessages[0].text);
  EXPECT_EQ("Error", shownMessages[0].caption);
  EXPECT_EQ(uint32_t(MB_ICONHAND), shownMessages[0].type);
  EXPECT_EQ(window_, shownMessages[0].owner);
}

}  // namespace
