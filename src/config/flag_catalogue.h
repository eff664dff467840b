// The flag folder "IMAGE": the dialog's flag list, the random pick and the
// choice and loading of the flag picture.
#pragma once
#include <cstdint>

#include "config/picture.h"

// Fills the dialog's flag list (app.dialog.flagList) from the folder and
// selects app.settings.selectFlag, or the first entry.
void fillFlagList();

// Up to 64 passes over the folder; a taken file's name (cut at its first
// inner dot) goes into selectFlag. True when a flag was taken.
bool pickRandomFlag();

// Decides the flag picture and loads it into *picture, which the caller
// deletes. 0 on success; 1 when even the built-in picture failed (message
// shown, *picture null).
uint32_t chooseFlagPicture(Picture* picture);
