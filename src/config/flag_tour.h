// The random pick's tour of the flag folder: the region list that ships
// beside the pictures, the candidates of one round, and the round itself,
// in which no flag comes back before every other one has been shown.
// Plain computation; the folder walk and the file read live in
// flag_catalogue_win.cpp (listFlagCandidates, startFolderTour, nextFolderFlag).
//
// A tour lives for one run: nothing of it is stored. The first flag is one
// fair draw over the candidates in the folder's order, exactly the draw of
// drawCandidateNumber that pickRandomFlagInto makes; the rest of the first round
// is shuffled only at the first change, so a run without changes draws no
// more than the single pick always did.
#pragma once
#include <cstdint>

#include "app/settings.h"
#include "sim/random.h"

// ---- The region list --------------------------------------------------------

// Its file in the IMAGE folder, made by tools/gen_flags.py.
extern const char kRegionListName[];  // "regions.txt"
// The words of the list, indexed by FlagRegion ("All", "Africa", ...); the
// dialog's region entries show them too.
extern const char* const flagRegionNames[kFlagRegionCount];

enum : uint32_t {
  kRegionListCapacity = 64 * 1024,  // bytes of the list read; the rest is not placed
  kRegionLineCapacity = 512,        // a longer line is passed over
};

// The list as read: bytes, not terminated. One line a flag: its file name, a
// tab and a region word; "#" starts a comment line; CR LF or LF end a line.
struct RegionList {
  const char* text;  // may be null when length is 0
  uint32_t length;
};

// The region the list gives `fileName` (compared without regard to ASCII
// case). RegionAll for a file it does not name, and for every line it cannot
// read: no tab, an unknown word, longer than kRegionLineCapacity, or a last
// line without its line end (a list cut short). The first line naming the file counts.
FlagRegion listedRegion(const RegionList& list, const char* fileName);

// ---- The candidates of a round ---------------------------------------------

enum : uint32_t {
  kTourCapacity = 1024,           // candidates a round holds; a larger folder tours its first ones
  kTourTextCapacity = 32 * 1024,  // bytes of their names, terminators included
};

// Flag names (file names cut as the random pick cuts them) in the folder's
// order; one per file, so "x.gif" and "x.jpg" are two entries of one flag.
struct FlagCandidates {
  uint32_t count;                   // 0 … kTourCapacity
  uint32_t used;                    // bytes of text in use
  uint32_t offsets[kTourCapacity];  // where each name starts in text
  char text[kTourTextCapacity];
};

// Empties the list.
void clearFlagCandidates(FlagCandidates& candidates);

// Takes the folder's file `fileName` when the random pick may take it
// (isRandomCandidate) and the region list places it in `region` (RegionAll
// takes every one). False only when the list is full: the walk can stop.
bool offerFlagCandidate(FlagCandidates& candidates, const RegionList& list, FlagRegion region,
                        const char* fileName);

// The index-th name (0 … count - 1).
const char* candidateName(const FlagCandidates& candidates, uint32_t index);

// ---- The tour ---------------------------------------------------------------

// One monitor's tour. The caller lists the folder into `candidates`; the
// functions below keep the rest. About 40 KB: hold it with the view.
struct FlagTour {
  RandomGenerator* random;        // every draw of the tour; set by startFlagTour
  FlagRegion region;              // the region the folder is listed for
  FlagCandidates candidates;      // the current round's (the start's for the first round)
  uint16_t order[kTourCapacity];  // the round: indices into candidates, shuffled
  uint32_t roundLength;           // entries of order
  uint32_t position;              // next entry of order, 0 … roundLength
  bool roundMade;                 // false until the first change
  char current[kNameCapacity];    // the flag shown
};

// Starts a tour over tour.candidates (listed for `region`): one draw of
// drawCandidateNumber gives the first flag, copied into `name` (kNameCapacity
// bytes) and tour.current. False, with no draw and `name` untouched, when
// there is no candidate.
bool startFlagTour(FlagTour& tour, RandomGenerator& random, FlagRegion region, char* name);

// True when the next change begins a new round: the caller lists the folder
// afresh into tour.candidates first, so that files that came or went count.
bool tourRoundOver(const FlagTour& tour);

// The next flag of the round into `name` and tour.current; at the round's
// end a new round, shuffled (Fisher–Yates, drawCandidateNumber), that does not
// begin with the flag just shown. Each flag name comes once a round. False,
// with `name` untouched, when there is no other flag to change to (one
// candidate, or none left in the folder): the current flag stays.
bool nextTourFlag(FlagTour& tour, char* name);
