#include "config/flag_tour.h"

#include <cstring>

#include "config/flag_rules.h"

const char kRegionListName[] = "regions.txt";

const char* const flagRegionNames[kFlagRegionCount] = {"All",  "Africa", "Americas",
                                                       "Asia", "Europe", "Oceania"};

namespace {

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// `length` bytes at `text` spell `word` whole, without regard to ASCII case.
bool spells(const char* text, uint32_t length, const char* word) {
  uint32_t i = 0;
  for (; i < length; ++i)
    if (word[i] == 0 || lowerAscii(text[i]) != lowerAscii(word[i])) return false;
  return word[i] == 0;
}

FlagRegion regionOfWord(const char* text, uint32_t length) {
  for (uint32_t region = 0; region < kFlagRegionCount; ++region)
    if (spells(text, length, flagRegionNames[region])) return FlagRegion(region);
  return RegionAll;
}

}  // namespace

FlagRegion listedRegion(const RegionList& list, const char* fileName) {
  uint32_t at = 0;
  while (at < list.length) {
    const char* line = list.text + at;
    const void* end = std::memchr(line, '\n', list.length - at);
    if (!end) break;  // cut short: the last line may be a part of one
    uint32_t length = uint32_t(static_cast<const char*>(end) - line);
    at += length + 1;
    if (length > 0 && line[length - 1] == '\r') --length;
    if (length == 0 || length > kRegionLineCapacity || line[0] == '#') continue;
    const void* tab = std::memchr(line, '\t', length);
    if (!tab) continue;
    uint32_t nameLength = uint32_t(static_cast<const char*>(tab) - line);
    if (spells(line, nameLength, fileName))
      return regionOfWord(line + nameLength + 1, length - nameLength - 1);
  }
  return RegionAll;
}

void clearFlagCandidates(FlagCandidates& candidates) {
  candidates.count = 0;
  candidates.used = 0;
}

bool offerFlagCandidate(FlagCandidates& candidates, const RegionList& list, FlagRegion region,
                        const char* fileName) {
  if (!isRandomCandidate(fileName)) return true;
  if (region != RegionAll && listedRegion(list, fileName) != region) return true;
  if (candidates.count >= kTourCapacity) return false;
  char name[kNameCapacity];
  cutFlagName(name, sizeof name, fileName);
  uint32_t size = uint32_t(std::strlen(name)) + 1;
  if (size > kTourTextCapacity - candidates.used) return false;
  std::memcpy(candidates.text + candidates.used, name, size);
  candidates.offsets[candidates.count++] = candidates.used;
  candidates.used += size;
  return true;
}

const char* candidateName(const FlagCandidates& candidates, uint32_t index) {
  return candidates.text + candidates.offsets[index];
}

bool startFlagTour(FlagTour& tour, RandomGenerator& random, FlagRegion region, char* name) {
  if (tour.candidates.count == 0) return false;
  tour.random = &random;
  tour.region = region;
  tour.roundLength = 0;
  tour.position = 0;
  tour.roundMade = false;
  uint32_t first = drawCandidateNumber(random, tour.candidates.count);
  copyText(tour.current, kNameCapacity, candidateName(tour.candidates, first));
  copyText(name, kNameCapacity, tour.current);
  return true;
}

bool tourRoundOver(const FlagTour& tour) {
  return tour.roundMade && tour.position >= tour.roundLength;
}

namespace {

// The candidates' flag names once each, shuffled. The first round leaves out
// the flag the start drew, which opened it; a later one puts the flag just
// shown anywhere but first.
void makeRound(FlagTour& tour, bool first) {
  const FlagCandidates& c = tour.candidates;
  uint32_t length = 0;
  for (uint32_t i = 0; i < c.count; ++i) {
    const char* name = candidateName(c, i);
    if (first && std::strcmp(name, tour.current) == 0) continue;
    bool seen = false;
    for (uint32_t j = 0; j < length && !seen; ++j)
      seen = std::strcmp(candidateName(c, tour.order[j]), name) == 0;
    if (!seen) tour.order[length++] = uint16_t(i);
  }
  RandomGenerator& random = *tour.random;
  for (uint32_t i = length; i > 1; --i) {
    uint32_t j = drawCandidateNumber(random, i);
    uint16_t kept = tour.order[i - 1];
    tour.order[i - 1] = tour.order[j];
    tour.order[j] = kept;
  }
  if (length > 1 && std::strcmp(candidateName(c, tour.order[0]), tour.current) == 0) {
    uint32_t j = 1 + drawCandidateNumber(random, length - 1);
    uint16_t kept = tour.order[0];
    tour.order[0] = tour.order[j];
    tour.order[j] = kept;
  }
  tour.roundLength = length;
  tour.position = 0;
  tour.roundMade = true;
}

}  // namespace

bool nextTourFlag(FlagTour& tour, char* name) {
  if (!tour.random) return false;
  if (!tour.roundMade || tour.position >= tour.roundLength) makeRound(tour, !tour.roundMade);
  // A round of the one flag shown has nothing else: it is passed over.
  while (tour.position < tour.roundLength) {
    const char* next = candidateName(tour.candidates, tour.order[tour.position++]);
    if (std::strcmp(next, tour.current) == 0) continue;
    copyText(tour.current, kNameCapacity, next);
    copyText(name, kNameCapacity, tour.current);
    return true;
  }
  return false;
}
