// The flag folder "IMAGE": the dialog's flag list, the random pick and the
// choice and loading of the flag picture.
#pragma once
#include <cstdint>

#include "config/picture.h"
#include "sim/random.h"

// Fills the dialog's flag list (app.dialog.flagList) from the folder and
// selects app.settings.selectFlag, or the first entry.
void fillFlagList();

// Takes one of the folder's candidates, each with the same chance (one draw
// from app.sim.random); its file name, cut at its first inner dot, goes into
// selectFlag. False, without a draw, when the folder has no candidate.
bool pickRandomFlag();
// The same with its own generator, the name going into `name` (kNameCapacity
// bytes): the other monitors' picks leave the saver window's sequence alone.
bool pickRandomFlagInto(RandomGenerator& random, char* name);

// Decides the flag picture and loads it into *picture, which the caller
// deletes. 0 on success; 1 when even the built-in picture failed (message
// shown, *picture null).
uint32_t chooseFlagPicture(Picture* picture);
// The same for another monitor: draws from `random`, and the name of the flag
// it shows goes into `name` (kNameCapacity bytes) instead of selectFlag. The
// name must hold selectFlag on entry: without Random Logo that is the flag.
uint32_t chooseFlagPictureInto(Picture* picture, RandomGenerator& random, char* name);
