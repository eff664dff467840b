// The flag folder "IMAGE": the dialog's flag list, the random pick and the
// choice and loading of the flag picture.
#pragma once
#include <cstdint>

#include "config/flag_tour.h"
#include "config/picture.h"
#include "sim/random.h"

// Fills the dialog's flag list (app.dialog.flagList) from the folder and
// selects app.settings.selectFlag, or the first entry.
void fillFlagList();

// Takes one of the folder's candidates, each with the same chance (one draw
// from `random`, each view's own: the other monitors' picks leave the saver
// window's sequence alone); its file name, cut at its first inner dot, goes
// into `name` (kNameCapacity bytes). False, without a draw, when the folder
// has no candidate.
bool pickRandomFlagInto(RandomGenerator& random, char* name);

// The size limit of a folder flag's picture (fitPictureSize) on the
// smallest views; a larger view's flag texture may have more (up to 2048).
constexpr int32_t kFolderFlagLimit = 512;

// Decides a monitor's flag picture and loads it into *picture, which the
// caller deletes: draws from `random`, and the name of the flag it shows goes
// into `name` (kNameCapacity bytes). The name must hold selectFlag on entry:
// without Random Logo that is the flag. 0 on success; 1 when even the
// built-in picture failed (message shown, *picture null).
// With a `tour` and settings that tour the folder (toursTheFolder), the
// random pick is the tour's start (startFolderTour); otherwise, and without
// one, it is pickRandomFlagInto's, as it always was. A folder flag is
// loaded at `limit` per side, the user's own picture at least at 1024.
uint32_t chooseFlagPictureInto(Picture* picture, RandomGenerator& random, char* name,
                               FlagTour* tour = nullptr, int32_t limit = kFolderFlagLimit);

// ---- The tour of the folder (flag_tour.h), on the current directory's IMAGE

// Lists the folder's candidates in its order into `candidates`, those the
// region list ("IMAGE\regions.txt") places in `region`; where the folder has
// none of that region, every candidate (as RegionAll). A list that is missing
// or cannot be read places no flag. False when no candidate was listed.
bool listFlagCandidates(FlagRegion region, FlagCandidates& candidates);

// Lists the folder for `region` into the tour and starts it (startFlagTour):
// the first flag's name into `name`. False, with no draw, for no candidate.
bool startFolderTour(FlagTour& tour, RandomGenerator& random, FlagRegion region, char* name);

// The tour's next flag into `name` (nextTourFlag), listing the folder afresh
// first when a new round begins. False when there is no other flag to show.
bool nextFolderFlag(FlagTour& tour, char* name);

// The flag of that name from the folder ("Image\" + name, each extension in
// turn, at `limit` per side), or null when none decodes.
Picture loadFolderFlag(const char* name, int32_t limit);
