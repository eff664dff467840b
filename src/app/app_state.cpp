#include "app/app_state.h"

// Zero-filled like every other block of this program; start-up fills it in.
AppState app;
