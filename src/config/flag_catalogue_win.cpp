// The flag folder on disk: the dialog's flag list, the random pick, and the
// choice and loading of the flag picture.
//
// The folder is spelled "IMAGE" in the searches and "Image" when a flag loads
// by name. Both reach the same folder: Windows file systems ignore case, and
// Wine matches DOS path names case-insensitively on the Unix file system.
#include "config/flag_catalogue.h"

#include <windows.h>

#include "config/flag_rules.h"
#include "config/flag_tour.h"
#include "config/picture.h"
#include "app/app_state.h"
#include "app/messages.h"
#include "resources/resource.h"

namespace {

// A user's own picture gets at least this much, however small the view.
const int32_t kUserPictureLimit = 1024;
const int32_t kBuiltInFlagLimit = 256;
const uint32_t kBuiltInFlagId = IDP_BACKGROUND_FIRST;

void addFolderFlags(HWND list, const char* extension) {
  char pattern[kPathCapacity];
  if (!flagListPattern(pattern, sizeof pattern, app.settings.directory, extension)) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    char name[kNameCapacity];
    if (flagListName(name, sizeof name, found.cFileName, extension))
      SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// The first entry equal to selectFlag, else the first entry; -1 for an empty list.
LRESULT storedFlagEntry(HWND list) {
  LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  if (count <= 0) return -1;
  for (LRESULT i = 0; i < count; ++i) {
    // Entries come from file names, but a longer one must not overrun the buffer.
    LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, (WPARAM)i, 0);
    if (length < 0 || length >= (LRESULT)kNameCapacity) continue;
    char entry[kNameCapacity];
    entry[0] = 0;
    SendMessageA(list, CB_GETLBTEXT, (WPARAM)i, (LPARAM)entry);
    if (lstrcmpA(entry, app.settings.selectFlag) == 0) return i;
  }
  return 0;
}

// `name` is where the flag shown gets its name: selectFlag for the saver
// window, a buffer of kNameCapacity bytes for the other monitors.
Picture loadBuiltInFlag(char* name) {
  copyText(name, kNameCapacity, kBuiltInFlagName);
  return loadPictureResource(app.host.instance, kBuiltInFlagId, kBuiltInFlagLimit);
}

// "Image\<selectFlag>" with each extension in turn; a path that does not fit
// counts as a file that is not there.
Picture loadFlagByName(const char* name, int32_t limit) {
  for (uint32_t attempt = 0; attempt < kLoadExtensionCount; ++attempt) {
    char path[kPathCapacity];
    if (!flagPicturePath(path, sizeof path, name, attempt)) continue;
    if (Picture picture = loadPictureFile(path, limit)) return picture;
  }
  return nullptr;
}

Picture loadUserFlag(char* name, int32_t limit) {
  const Settings& s = app.settings;
  if (s.logoFullPath[0]) {
    copyText(name, kNameCapacity, s.logoTitle);
    if (Picture picture = loadPictureFile(s.logoFullPath, limit > kUserPictureLimit ? limit : kUserPictureLimit)) return picture;
  }
  return loadBuiltInFlag(name);
}

Picture decideFlagPicture(RandomGenerator& random, char* name, FlagTour* tour, int32_t limit) {
  const Settings& settings = app.settings;
  if (settings.useFlagLogo == 1) return loadUserFlag(name, limit);
  if (settings.randomFlag == 1) {
    bool picked = tour && toursTheFolder(settings)
                      ? startFolderTour(*tour, random, chosenFlagRegion(settings), name)
                      : pickRandomFlagInto(random, name);
    if (!picked) return loadBuiltInFlag(name);
  }
  if (Picture picture = loadFlagByName(name, limit)) return picture;
  return loadBuiltInFlag(name);
}

}  // namespace

void fillFlagList() {
  HWND list = app.dialog.flagList;
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (const char* extension : flagListExtensions) addFolderFlags(list, extension);
  // The list sorts itself; equal names from two formats both stay.
  LRESULT selected = storedFlagEntry(list);
  if (selected >= 0) SendMessageA(list, CB_SETCURSEL, (WPARAM)selected, 0);
}

namespace {

// currentDirectory + "\IMAGE\" + fileName (kPathCapacity bytes); false when
// the directory cannot be read or the path does not fit.
bool imageFolderFile(char* path, const char* fileName) {
  char directory[kPathCapacity];
  DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  if (length == 0 || length >= sizeof directory) return false;
  return imageFolderPath(path, kPathCapacity, directory, fileName);
}

// The folder's candidates in its order, each handed to visit(fileName),
// which returns false to stop the walk. False when the folder cannot be searched.
template <typename Visit>
bool walkCandidates(const char* pattern, Visit visit) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (isRandomCandidate(found.cFileName) && !visit(found.cFileName)) break;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

// The region list's first kRegionListCapacity bytes into `text`; 0 when it
// cannot be read, which places no flag.
uint32_t readRegionList(char* text) {
  char path[kPathCapacity];
  if (!imageFolderFile(path, kRegionListName)) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD read = 0;
  if (!ReadFile(file, text, kRegionListCapacity, &read, nullptr)) read = 0;
  CloseHandle(file);
  return read;
}

}  // namespace

bool pickRandomFlagInto(RandomGenerator& random, char* name) {
  char pattern[kPathCapacity];
  if (!imageFolderFile(pattern, "*.*")) return false;
  uint32_t candidates = 0;
  if (!walkCandidates(pattern, [&](const char*) { return ++candidates, true; }) || candidates == 0)
    return false;
  // One draw per pick; a folder that lost files between the two walks gives
  // no flag, and the caller shows the built-in picture.
  uint32_t wanted = drawCandidateNumber(random, candidates);
  bool taken = false;
  walkCandidates(pattern, [&](const char* fileName) {
    if (wanted-- != 0) return true;
    cutFlagName(name, kNameCapacity, fileName);
    taken = true;
    return false;
  });
  return taken;
}

bool listFlagCandidates(FlagRegion region, FlagCandidates& candidates) {
  clearFlagCandidates(candidates);
  char pattern[kPathCapacity];
  if (!imageFolderFile(pattern, "*.*")) return false;
  char text[kRegionListCapacity];
  RegionList list{text, region == RegionAll ? 0 : readRegionList(text)};
  walkCandidates(pattern, [&](const char* fileName) {
    return offerFlagCandidate(candidates, list, region, fileName);
  });
  // A region without a flag here would leave nothing to show: every flag is.
  if (candidates.count == 0 && region != RegionAll)
    walkCandidates(pattern, [&](const char* fileName) {
      return offerFlagCandidate(candidates, list, RegionAll, fileName);
    });
  return candidates.count > 0;
}

bool startFolderTour(FlagTour& tour, RandomGenerator& random, FlagRegion region, char* name) {
  listFlagCandidates(region, tour.candidates);
  return startFlagTour(tour, random, region, name);
}

bool nextFolderFlag(FlagTour& tour, char* name) {
  if (tourRoundOver(tour)) listFlagCandidates(tour.region, tour.candidates);
  return nextTourFlag(tour, name);
}

Picture loadFolderFlag(const char* name, int32_t limit) {
  return loadFlagByName(name, limit);
}

uint32_t chooseFlagPictureInto(Picture* picture, RandomGenerator& random, char* name,
                               FlagTour* tour, int32_t limit) {
  *picture = decideFlagPicture(random, name, tour, limit);
  if (!*picture) {
    showMessage(app.host.mainWindow, kNoFlagText, kErrorCaption, MB_ICONHAND);
    return 1;
  }
  return 0;
}
