// Loading and saving the settings in the registry key
// "Control Panel\Desktop\Brevanto Flags" of the current user.
// The value table and the load/save walks are plain computation over a
// RegistryAccess; settings_store_win.cpp binds it to the real registry.
#pragma once
#include <cstdint>

#include "app/settings.h"

// Fills app.settings from the registry; absent values keep their field.
void loadSettings();

// Writes app.settings to the registry ("[Directory]" is never written).
void saveSettings();

// ---- The value table -------------------------------------------------------

#define SETTINGS_KEY_PATH "Control Panel\\Desktop\\Brevanto Flags"

// Registry value types the store reads or writes (the winnt.h codes).
enum : uint32_t {
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
};

enum SettingKind : uint32_t {
  SettingNumber,       // 4-byte REG_DWORD
  SettingText,         // REG_SZ, stored with its terminator, read with or without one
  SettingPixelFormat,  // a number, but saved from the adapter's formats by bpp
  SettingVersion,      // saved as the constant "1.0", never loaded
};

struct SettingEntry {
  const char* name;  // registry value name, e.g. "[Screen X]"
  SettingKind kind;
  uint32_t offset;    // of the field in Settings
  uint32_t capacity;  // field bytes; texts include the terminator
  bool saved;         // false only for "[Directory]", which comes from outside
};

enum : uint32_t {
  kSettingCount = 23,      // values that load reads
  kSettingTableSize = 24,  // those plus "[Version]"
  kSettingSaveCount = 23,  // values that save writes
};

// Entries in reading order; "[Version]" last (load skips it).
extern const SettingEntry settingTable[kSettingTableSize];
// Indices into settingTable in writing order.
extern const uint8_t settingSaveOrder[kSettingSaveCount];

// ---- Registry access behind four operations --------------------------------

enum RegistryRead : uint32_t {
  RegistryReadOk,       // *size bytes read, *type set
  RegistryReadTooLong,  // value larger than the buffer; buffer contents undefined
  RegistryReadFailed,   // absent or unreadable; buffer untouched
};

struct RegistryAccess {
  void* context;
  // Opens (creating if absent) the settings key; null when it cannot.
  void* (*openKey)(void* context, bool forWriting);
  // Reads value `name` into buffer[0 .. *size); on RegistryReadOk *size is the byte count.
  RegistryRead (*readValue)(void* key, const char* name, uint32_t* type, uint8_t* buffer,
                            uint32_t* size);
  // Writes `size` bytes of `type`; failures are ignored.
  void (*writeValue)(void* key, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t size);
  void (*closeKey)(void* key);
};

// Fills `settings` from the registry; absent, mistyped or over-long values
// keep their field. Never writes past a field.
void loadSettingsFrom(const RegistryAccess& registry, Settings& settings);
// Writes `settings` in the writing order; "[Pixel Format]" is mode16Format when
// bpp is 16, else mode32Format (D3DFORMAT codes or 0); when that is 0, the
// held pixelFormat, or the load default for a held 0. `settings` is unchanged.
void saveSettingsTo(const RegistryAccess& registry, const Settings& settings, uint32_t mode16Format,
                    uint32_t mode32Format);

// The current user's registry (Windows only).
const RegistryAccess& systemRegistry();
