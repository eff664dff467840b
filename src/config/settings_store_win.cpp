#include "config/settings_store.h"

void loadSettings() {}
void saveSettings() {}
