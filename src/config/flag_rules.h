// Rules of the flag folder "IMAGE": which files the dialog lists and under
// which name, which files the random pick may take, how a taken file's name
// is cut, and the paths tried when a flag is loaded by name.
// Plain computation; the folder walks live in flag_catalogue_win.cpp.
// Every writer takes its buffer's capacity, always terminates, and reports a
// text that does not fit instead of cutting a path.
#pragma once
#include <cstdint>

#include "sim/random.h"

// The built-in picture's flag name, shown when no flag picture loads.
extern const char kBuiltInFlagName[];

// Extensions searched for the dialog's list, in search order (3 letters each).
constexpr uint32_t kListExtensionCount = 4;
extern const char* const flagListExtensions[kListExtensionCount];

// Extensions tried, in order, when a flag is loaded by name.
constexpr uint32_t kLoadExtensionCount = 5;
extern const char* const flagLoadExtensions[kLoadExtensionCount];

// Pattern of the dialog's search: directory + "\IMAGE\*." + extension.
// False (out empty) when it does not fit in capacity bytes.
bool flagListPattern(char* out, uint32_t capacity, const char* directory, const char* extension);

// A file of the folder (or "*.*", the random pick's pattern): currentDirectory
// + "\IMAGE\" + fileName. False when too long.
bool imageFolderPath(char* out, uint32_t capacity, const char* currentDirectory,
                     const char* fileName);

// The dialog's entry for a found file: the name minus its last four
// characters, when those are "." + extension in any case and something is
// left. False (out empty) otherwise, or when the entry needs capacity bytes or more.
bool flagListName(char* out, uint32_t capacity, const char* fileName, const char* extension);

// True when the name's last four characters are exactly ".bmp", ".gif",
// ".jpg", "jpeg" or ".png" (lower case only).
bool isRandomCandidate(const char* fileName);

// The random pick gives every candidate the same chance: the folder's
// candidates are counted, then one draw says which of them, by position in
// the folder's order (0 … candidateCount − 1). candidateCount must be > 0.
uint32_t drawCandidateNumber(RandomGenerator& rng, uint32_t candidateCount);

// The flag name of a taken file: the name (cut to capacity - 1 bytes) cut at
// its first "." that is not its first character.
void cutFlagName(char* out, uint32_t capacity, const char* fileName);

// The attempt-th path (0 … kLoadExtensionCount - 1) of loading a flag by
// name: "Image\" + flagName + flagLoadExtensions[attempt]. False (out empty)
// when the attempt is out of range or the path does not fit.
bool flagPicturePath(char* out, uint32_t capacity, const char* flagName, uint32_t attempt);
