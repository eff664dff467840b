#include "config/flag_rules.h"

#include <cstdio>
#include <cstring>

const char kBuiltInFlagName[] = "Brevanto Flags Screensaver";

const char* const flagListExtensions[kListExtensionCount] = {"gif", "jpg", "bmp", "png"};

// ".jpeg" first: a flag kept as both ".jpeg" and ".jpg" loads the ".jpeg".
// ".png" last, so that a flag already kept in one of the older formats loads as before.
const char* const flagLoadExtensions[kLoadExtensionCount] = {".jpeg", ".jpg", ".bmp", ".gif",
                                                             ".png"};

// The random pick's endings compare four characters, hence "jpeg" without its dot.
static const char* const kRandomEndings[] = {".bmp", ".gif", ".jpg", "jpeg", ".png"};
static const uint32_t kEndingLength = 4;

// snprintf into a bounded buffer; a text that does not fit leaves it empty.
static bool formatFitting(char* out, uint32_t capacity, const char* format, const char* a,
                          const char* b, const char* c) {
  if (capacity == 0) return false;
  int n = std::snprintf(out, capacity, format, a, b, c);
  if (n < 0 || (uint32_t)n >= capacity) {
    out[0] = 0;
    return false;
  }
  return true;
}

// A directory that already ends in a separator ("C:\") gets no second one.
static const char* separatorAfter(const char* directory) {
  size_t n = std::strlen(directory);
  return (n > 0 && (directory[n - 1] == '\\' || directory[n - 1] == '/')) ? "" : "\\";
}

bool flagListPattern(char* out, uint32_t capacity, const char* directory, const char* extension) {
  return formatFitting(out, capacity, "%s%sIMAGE\\*.%s", directory, separatorAfter(directory),
                       extension);
}

bool imageFolderPath(char* out, uint32_t capacity, const char* currentDirectory,
                     const char* fileName) {
  return formatFitting(out, capacity, "%s%sIMAGE\\%s", currentDirectory,
                       separatorAfter(currentDirectory), fileName);
}

static bool equalIgnoringAsciiCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool flagListName(char* out, uint32_t capacity, const char* fileName, const char* extension) {
  if (capacity == 0) return false;
  out[0] = 0;
  size_t n = std::strlen(fileName);
  size_t extensionLength = std::strlen(extension);
  // The search also matches 8.3 short names, so "x.jpgx" can turn up under
  // "*.jpg": only a name that really ends in the extension is a flag.
  if (n <= extensionLength + 1) return false;
  const char* ending = fileName + n - extensionLength - 1;
  if (ending[0] != '.' || !equalIgnoringAsciiCase(ending + 1, extension, extensionLength))
    return false;
  size_t keep = n - extensionLength - 1;
  if (keep >= capacity) return false;
  std::memcpy(out, fileName, keep);
  out[keep] = 0;
  return true;
}

bool isRandomCandidate(const char* fileName) {
  size_t n = std::strlen(fileName);
  if (n < kEndingLength) return false;
  for (const char* ending : kRandomEndings)
    if (std::memcmp(fileName + n - kEndingLength, ending, kEndingLength) == 0) return true;
  return false;
}

uint32_t drawCandidateNumber(RandomGenerator& rng, uint32_t candidateCount) {
  // randomInt rounds, so 0 and candidateCount each come with half the chance
  // of the others: folded together they make the first candidate's share whole.
  return (uint32_t)randomInt(rng, (int32_t)candidateCount) % candidateCount;
}

void cutFlagName(char* out, uint32_t capacity, const char* fileName) {
  if (capacity == 0) return;
  uint32_t n = 0;
  while (n + 1 < capacity && fileName[n]) ++n;
  std::memcpy(out, fileName, n);
  out[n] = 0;
  // A leading dot belongs to the name (".Hidden.gif" is the flag ".Hidden").
  for (uint32_t i = 1; i < n; ++i)
    if (out[i] == '.') {
      out[i] = 0;
      break;
    }
}

bool flagPicturePath(char* out, uint32_t capacity, const char* flagName, uint32_t attempt) {
  if (attempt >= kLoadExtensionCount) {
    if (capacity) out[0] = 0;
    return false;
  }
  // "Image" here and "IMAGE" in the searches reach one folder: Windows file
  // systems ignore case, and Wine matches DOS path names case-insensitively
  // on the Unix file system.
  return formatFitting(out, capacity, "%s%s%s", "Image\\", flagName, flagLoadExtensions[attempt]);
}
