#include "config/settings_store.h"

#include <cstddef>
#include <cstring>

#define NUMBER(name, field) \
  { name, SettingNumber, offsetof(Settings, field), 4, true }
#define TEXT(name, field) \
  { name, SettingText, offsetof(Settings, field), sizeof(Settings::field), true }

const SettingEntry settingTable[kSettingTableSize] = {
    NUMBER("[bTnL]", useTnL),                                                           // 0
    NUMBER("[bTime]", showTime),                                                        // 1
    NUMBER("[bFps]", showFps),                                                          // 2
    NUMBER("[bCountry]", showCountry),                                                  // 3
    NUMBER("[Screen X]", screenX),                                                      // 4
    NUMBER("[Screen Y]", screenY),                                                      // 5
    NUMBER("[BPP]", bpp),                                                               // 6
    NUMBER("[Wind Power]", windPower),                                                  // 7
    NUMBER("[Random Flag]", randomFlag),                                                // 8
    {"[Pixel Format]", SettingPixelFormat, offsetof(Settings, pixelFormat), 4, true},   // 9
    NUMBER("[Use Flag-Logo]", useFlagLogo),                                             // 10
    NUMBER("[Background Width]", backgroundWidth),                                      // 11
    NUMBER("[Background Height]", backgroundHeight),                                    // 12
    {"[Directory]", SettingText, offsetof(Settings, directory), kPathCapacity, false},  // 13
    TEXT("[Logo Full Path]", logoFullPath),                                             // 14
    TEXT("[Logo Title]", logoTitle),                                                    // 15
    TEXT("[Background Path]", backgroundPath),                                          // 16
    TEXT("[Background Title]", backgroundTitle),                                        // 17
    TEXT("[Select Flag]", selectFlag),                                                  // 18
    NUMBER("[Desktop Mode]", desktopMode),                                              // 19
    NUMBER("[Change Minutes]", changeMinutes),                                          // 20
    NUMBER("[Flag Region]", flagRegion),                                                // 21
    NUMBER("[Same Flag]", sameFlag),                                                    // 22
    {"[Version]", SettingVersion, 0, 0, true},                                          // 23
};

#undef NUMBER
#undef TEXT

const uint8_t settingSaveOrder[kSettingSaveCount] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 9, 18, 14, 15, 23, 16, 17, 19, 20, 21, 22,
};

static const char kVersionText[] = "1.0";

// A number is taken only from exactly four bytes of a binary type: a number
// stored as text ("123" is also four bytes) or as a wider value would
// otherwise turn into garbage, so such a value keeps the field.
static void loadNumber(const RegistryAccess& registry, void* key, const SettingEntry& entry,
                       uint8_t* field) {
  uint8_t value[4];
  uint32_t type = 0;
  uint32_t size = sizeof value;
  if (registry.readValue(key, entry.name, &type, value, &size) != RegistryReadOk) return;
  if (size != sizeof value || (type != kRegDword && type != kRegBinary)) return;
  std::memcpy(field, value, sizeof value);
}

// A text is read into a scratch buffer of the field's capacity, never into the
// field itself: an over-long value leaves the buffer undefined. A text as long
// as its field or longer (no terminator within the capacity) keeps the old
// field value rather than a cut path that would name another file. Only string
// types count as text; a number stored under a text's name keeps the field.
static void loadText(const RegistryAccess& registry, void* key, const SettingEntry& entry,
                     char* field) {
  char value[kPathCapacity];
  uint32_t type = 0;
  uint32_t size = entry.capacity;
  if (registry.readValue(key, entry.name, &type, reinterpret_cast<uint8_t*>(value), &size) !=
      RegistryReadOk)
    return;
  if (type != kRegSz && type != kRegExpandSz) return;
  if (size > entry.capacity) return;
  const void* end = std::memchr(value, 0, size);
  uint32_t length = end ? static_cast<uint32_t>(static_cast<const char*>(end) - value) : size;
  if (length >= entry.capacity) return;
  std::memcpy(field, value, length);
  field[length] = 0;
}

void loadSettingsFrom(const RegistryAccess& registry, Settings& settings) {
  void* key = registry.openKey(registry.context, false);
  if (!key) return;
  uint8_t* base = reinterpret_cast<uint8_t*>(&settings);
  for (const SettingEntry& entry : settingTable) {
    if (entry.kind == SettingText)
      loadText(registry, key, entry, reinterpret_cast<char*>(base + entry.offset));
    else if (entry.kind != SettingVersion)
      loadNumber(registry, key, entry, base + entry.offset);
  }
  registry.closeKey(key);
}

static void saveNumber(const RegistryAccess& registry, void* key, const char* name,
                       uint32_t number) {
  uint8_t bytes[4];
  std::memcpy(bytes, &number, sizeof bytes);
  registry.writeValue(key, name, kRegDword, bytes, sizeof bytes);
}

// The terminator is counted in the size, as Windows documents for texts: a
// value of no bytes at all makes standard registry readers crash.
static void saveText(const RegistryAccess& registry, void* key, const char* name, const char* text,
                     uint32_t capacity) {
  // A field is always terminated within its capacity, but never trust that.
  char value[kPathCapacity];
  const void* end = std::memchr(text, 0, capacity);
  uint32_t length =
      end ? static_cast<uint32_t>(static_cast<const char*>(end) - text) : capacity - 1;
  std::memcpy(value, text, length);
  value[length] = 0;
  registry.writeValue(key, name, kRegSz, reinterpret_cast<const uint8_t*>(value), length + 1);
}

namespace {

// The adapter's format for the chosen depth. Where it has none (a display
// with no 16-bit modes, the Desktop entry keeping the depth), the held
// format stays, and a held 0 becomes the load default: a stored 0 would
// name no mode at all.
uint32_t storedPixelFormat(const Settings& settings, uint32_t mode16Format, uint32_t mode32Format) {
  uint32_t format = settings.bpp == 16 ? mode16Format : mode32Format;
  if (format == 0) format = settings.pixelFormat;
  if (format == 0) {
    Settings defaults;
    setLoadDefaults(defaults);
    format = defaults.pixelFormat;
  }
  return format;
}

}  // namespace

void saveSettingsTo(const RegistryAccess& registry, const Settings& settings, uint32_t mode16Format,
                    uint32_t mode32Format) {
  void* key = registry.openKey(registry.context, true);
  if (!key) return;
  const uint8_t* base = reinterpret_cast<const uint8_t*>(&settings);
  for (uint8_t index : settingSaveOrder) {
    const SettingEntry& entry = settingTable[index];
    if (!entry.saved) continue;
    switch (entry.kind) {
      case SettingNumber: {
        uint32_t number;
        std::memcpy(&number, base + entry.offset, sizeof number);
        saveNumber(registry, key, entry.name, number);
        break;
      }
      case SettingPixelFormat:
        saveNumber(registry, key, entry.name, storedPixelFormat(settings, mode16Format, mode32Format));
        break;
      case SettingText:
        saveText(registry, key, entry.name, reinterpret_cast<const char*>(base + entry.offset),
                 entry.capacity);
        break;
      case SettingVersion:
        saveText(registry, key, entry.name, kVersionText, sizeof kVersionText);
        break;
    }
  }
  registry.closeKey(key);
}
