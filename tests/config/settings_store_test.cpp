// The settings table walked over an in-memory registry that behaves like the
// Win32 one: an absent value leaves the buffer alone, a value larger than the
// buffer reports "too long" and leaves the buffer undefined (scribbled here).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/settings_store.h"

namespace {

struct StoredValue {
  uint32_t type;
  std::string bytes;
};

struct FakeRegistry {
  std::map<std::string, StoredValue> values;
  std::vector<std::string> reads, writes;
  bool keyOpenable = true;
  int openCount = 0, closeCount = 0;

  void setNumber(const char* name, uint32_t n) {
    values[name] = {kRegDword, std::string(reinterpret_cast<const char*>(&n), 4)};
  }
  void setRaw(const char* name, uint32_t type, const std::string& bytes) {
    values[name] = {type, bytes};
  }
  uint32_t number(const char* name) const {
    uint32_t n = 0;
    std::memcpy(&n, values.at(name).bytes.data(), 4);
    return n;
  }

  static void* open(void* context, bool) {
    auto* self = static_cast<FakeRegistry*>(context);
    if (!self->keyOpenable) return nullptr;
    ++self->openCount;
    return self;
  }
  static RegistryRead read(void* key, const char* name, uint32_t* type, uint8_t* buffer,
                           uint32_t* size) {
    auto* self = static_cast<FakeRegistry*>(key);
    self->reads.push_back(name);
    auto found = self->values.find(name);
    if (found == self->values.end()) return RegistryReadFailed;
    const StoredValue& v = found->second;
    if (v.bytes.size() > *size) {
      std::memset(buffer, 0xCC, *size);
      return RegistryReadTooLong;
    }
    std::memcpy(buffer, v.bytes.data(), v.bytes.size());
    uint32_t capacity = *size;
    *size = uint32_t(v.bytes.size());
    // Like Win32: a string stored without terminator gets one when there is room.
    if (v.type == kRegSz && (v.bytes.empty() || v.bytes.back() != 0) && *size < capacity)
      buffer[(*size)++] = 0;
    *type = v.type;
    return RegistryReadOk;
  }
  static void write(void* key, const char* name, uint32_t type, const uint8_t* data,
                    uint32_t size) {
    auto* self = static_cast<FakeRegistry*>(key);
    self->writes.push_back(name);
    self->values[name] = {type, std::string(reinterpret_cast<const char*>(data), size)};
  }
  static void close(void* key) { ++static_cast<FakeRegistry*>(key)->closeCount; }

  RegistryAccess access() { return {this, open, read, write, close}; }
};

Settings defaults() {
  Settings s;
  setLoadDefaults(s);
  return s;
}

// Every field set away from its default, texts near their capacity.
Settings everyFieldChanged() {
  Settings s = defaults();
  s.useTnL = 1;
  s.showTime = 0;
  s.showFps = 1;
  s.showCountry = 0;
  s.screenX = 1024;
  s.screenY = 768;
  s.bpp = 32;
  s.pixelFormat = 22;
  s.windPower = -7;
  s.randomFlag = 0;
  s.useFlagLogo = 1;
  s.backgroundWidth = 1920;
  s.backgroundHeight = 1080;
  std::string longPath(kPathCapacity - 1, 'p');
  std::string longName(kNameCapacity - 1, 'n');
  copyText(s.logoFullPath, kPathCapacity, longPath.c_str());
  copyText(s.logoTitle, kNameCapacity, "My Logo.bmp");
  copyText(s.backgroundPath, kPathCapacity, "C:\\Pictures\\sea.jpg");
  copyText(s.backgroundTitle, kNameCapacity, longName.c_str());
  copyText(s.selectFlag, kNameCapacity, "Germany");
  return s;
}

}  // namespace

TEST(SettingsStore, EmptyRegistryLeavesLoadDefaultsAndReadsInOrder) {
  FakeRegistry reg;
  Settings s = defaults();
  loadSettingsFrom(reg.access(), s);
  Settings expected = defaults();
  EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof s));
  const std::vector<std::string> order = {"[bTnL]",
                                          "[bTime]",
                                          "[bFps]",
                                          "[bCountry]",
                                          "[Screen X]",
                                          "[Screen Y]",
                                          "[BPP]",
                                          "[Wind Power]",
                                          "[Random Flag]",
                                          "[Pixel Format]",
                                          "[Use Flag-Logo]",
                                          "[Background Width]",
                                          "[Background Height]",
                                          "[Directory]",
                                          "[Logo Full Path]",
                                          "[Logo Title]",
                                          "[Background Path]",
                                          "[Background Title]",
                                          "[Select Flag]"};
  EXPECT_EQ(order, reg.reads);
  EXPECT_TRUE(reg.writes.empty());
  EXPECT_EQ(1, reg.openCount);
  EXPECT_EQ(1, reg.closeCount);
}

TEST(SettingsStore, SaveWritesInOrderWithTypesAndLengths) {
  FakeRegistry reg;
  Settings s = everyFieldChanged();
  saveSettingsTo(reg.access(), s, 23, 22);
  const std::vector<std::string> order = {"[bTnL]",
                                          "[bTime]",
                                          "[bFps]",
                                          "[bCountry]",
                                          "[Screen X]",
                                          "[Screen Y]",
                                          "[BPP]",
                                          "[Wind Power]",
                                          "[Random Flag]",
                                          "[Use Flag-Logo]",
                                          "[Background Width]",
                                          "[Background Height]",
                                          "[Pixel Format]",
                                          "[Select Flag]",
                                          "[Logo Full Path]",
                                          "[Logo Title]",
                                          "[Version]",
                                          "[Background Path]",
                                          "[Background Title]"};
  EXPECT_EQ(order, reg.writes);
  EXPECT_EQ(0u, reg.values.count("[Directory]"));
  for (const auto& [name, value] : reg.values) {
    bool isText = name == "[Select Flag]" || name == "[Logo Full Path]" || name == "[Logo Title]" ||
                  name == "[Version]" || name == "[Background Path]" ||
                  name == "[Background Title]";
    EXPECT_EQ(isText ? kRegSz : kRegDword, value.type) << name;
    if (!isText) {
      EXPECT_EQ(4u, value.bytes.size()) << name;
    }
  }
  EXPECT_EQ(std::string("1.0", 4), reg.values["[Version]"].bytes);
  EXPECT_EQ(std::string("Germany", 8), reg.values["[Select Flag]"].bytes);
  EXPECT_EQ(std::string(kPathCapacity - 1, 'p') + '\0', reg.values["[Logo Full Path]"].bytes);
  EXPECT_EQ(uint32_t(-7), reg.number("[Wind Power]"));
  EXPECT_EQ(1, reg.closeCount);

  // Every text with its terminator: an empty one is the terminator alone; a
  // field without one (which this program never makes) loses its last byte.
  struct TextCase {
    const char* what;
    std::string field, stored;
  } texts[] = {
      {"empty", "", std::string("\0", 1)},
      {"short", "Peru", std::string("Peru\0", 5)},
      {"longest", std::string(kNameCapacity - 1, 'n'), std::string(kNameCapacity - 1, 'n') + '\0'},
      {"unterminated", std::string(kNameCapacity, 'u'), std::string(kNameCapacity - 1, 'u') + '\0'},
  };
  for (const TextCase& c : texts) {
    FakeRegistry texts;
    Settings t = defaults();
    std::memset(t.selectFlag, 0, kNameCapacity);
    std::memcpy(t.selectFlag, c.field.data(), c.field.size());
    saveSettingsTo(texts.access(), t, 23, 22);
    EXPECT_EQ(c.stored, texts.values["[Select Flag]"].bytes) << c.what;
  }
}

TEST(SettingsStore, RoundTripKeepsEveryField) {
  FakeRegistry reg;
  Settings saved = everyFieldChanged();
  copyText(saved.directory, kPathCapacity, "C:\\Flags");
  reg.setRaw("[Directory]", kRegSz, "C:\\Flags");
  saveSettingsTo(reg.access(), saved, 23, 22);  // bpp 32 → 22, as pixelFormat holds
  Settings loaded = defaults();
  loadSettingsFrom(reg.access(), loaded);
  EXPECT_EQ(0, std::memcmp(&saved, &loaded, sizeof saved));
}

TEST(SettingsStore, PixelFormatIsSavedFromTheAdapterFormatByBpp) {
  struct Case {
    uint32_t bpp, mode16, mode32, stored;
  } cases[] = {
      {16, 23, 22, 23}, {16, 24, 22, 24}, {16, 0, 22, 0},
      {32, 23, 22, 22}, {32, 23, 0, 0},   {24, 23, 22, 22},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    Settings s = defaults();
    s.bpp = c.bpp;
    s.pixelFormat = 77;
    saveSettingsTo(reg.access(), s, c.mode16, c.mode32);
    EXPECT_EQ(c.stored, reg.number("[Pixel Format]")) << "bpp " << c.bpp;
    EXPECT_EQ(77u, s.pixelFormat);
  }
}

TEST(SettingsStore, ShorterTextOverLongerLeavesNoTrace) {
  FakeRegistry reg;
  Settings s = defaults();
  copyText(s.selectFlag, kNameCapacity, "United Kingdom of Great Britain");
  reg.setRaw("[Select Flag]", kRegSz, "Peru");
  loadSettingsFrom(reg.access(), s);
  EXPECT_STREQ("Peru", s.selectFlag);
}

TEST(SettingsStore, StoredTerminatorEndsTheText) {
  FakeRegistry reg;
  Settings s = defaults();
  reg.setRaw("[Logo Title]", kRegSz, std::string("abc\0def", 7));
  reg.setRaw("[Background Title]", kRegExpandSz, "%HOME%");  // taken as it stands
  loadSettingsFrom(reg.access(), s);
  EXPECT_STREQ("abc", s.logoTitle);
  EXPECT_STREQ("%HOME%", s.backgroundTitle);
}

// A text as long as its field or longer keeps the old value and never writes
// past the field; one byte shorter is taken whole.
TEST(SettingsStore, OverLongTextsKeepTheFieldAndNeverOverrun) {
  struct Guarded {
    Settings s;
    char canary[32];
  };
  struct Case {
    const char* name;
    size_t offset;
    uint32_t capacity;
  } fields[] = {
      {"[Directory]", offsetof(Settings, directory), kPathCapacity},
      {"[Logo Full Path]", offsetof(Settings, logoFullPath), kPathCapacity},
      {"[Logo Title]", offsetof(Settings, logoTitle), kNameCapacity},
      {"[Background Path]", offsetof(Settings, backgroundPath), kPathCapacity},
      {"[Background Title]", offsetof(Settings, backgroundTitle), kNameCapacity},
      {"[Select Flag]", offsetof(Settings, selectFlag), kNameCapacity},
  };
  for (const Case& f : fields) {
    for (size_t length : {size_t(f.capacity), size_t(f.capacity) + 1, size_t(10000)}) {
      FakeRegistry reg;
      reg.setRaw(f.name, kRegSz, std::string(length, 'x'));
      Guarded g;
      g.s = defaults();
      Settings before = defaults();
      std::memset(g.canary, 0x5A, sizeof g.canary);
      char* field = reinterpret_cast<char*>(&g.s) + f.offset;
      copyText(field, f.capacity, "old value");
      copyText(reinterpret_cast<char*>(&before) + f.offset, f.capacity, "old value");
      loadSettingsFrom(reg.access(), g.s);
      EXPECT_EQ(0, std::memcmp(&before, &g.s, sizeof before)) << f.name << " " << length;
      for (char c : g.canary) ASSERT_EQ(0x5A, c) << f.name << " " << length;
    }
    FakeRegistry reg;
    reg.setRaw(f.name, kRegSz, std::string(f.capacity - 1, 'y'));
    Settings s = defaults();
    loadSettingsFrom(reg.access(), s);
    const char* field = reinterpret_cast<const char*>(&s) + f.offset;
    EXPECT_EQ(f.capacity - 1, std::strlen(field)) << f.name;
    // As this program stores it: the same text and its terminator fill the field.
    FakeRegistry stored;
    stored.setRaw(f.name, kRegSz, std::string(f.capacity - 1, 'z') + '\0');
    Settings t = defaults();
    loadSettingsFrom(stored.access(), t);
    EXPECT_EQ(std::string(f.capacity - 1, 'z'), reinterpret_cast<const char*>(&t) + f.offset)
        << f.name;
  }
}

// A number is taken only from four bytes of REG_DWORD or REG_BINARY.
TEST(SettingsStore, NumbersOfAnotherTypeOrSizeKeepTheField) {
  struct Case {
    const char* what;
    uint32_t type;
    std::string bytes;
    uint32_t expected;
  } cases[] = {
      {"dword", kRegDword, std::string("\x40\x01\0\0", 4), 320},
      {"4-byte binary", kRegBinary, std::string("\x41\x01\0\0", 4), 321},
      {"text \"123\" (4 bytes)", kRegSz, std::string("123\0", 4), 800},
      {"text \"1024\"", kRegSz, "1024", 800},
      {"8-byte binary", kRegBinary, std::string(8, '\x01'), 800},
      {"qword", 11, std::string("\x01\0\0\0\0\0\0\0", 8), 800},
      {"2-byte dword", kRegDword, std::string("\x01\x02", 2), 800},
      {"big-endian dword", 5, std::string("\0\0\x01\x40", 4), 800},
      {"empty", kRegDword, "", 800},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    reg.setRaw("[Screen X]", c.type, c.bytes);
    Settings s = defaults();
    loadSettingsFrom(reg.access(), s);
    EXPECT_EQ(c.expected, s.screenX) << c.what;
  }
}

TEST(SettingsStore, TextsOfANumberOrBinaryTypeKeepTheField) {
  FakeRegistry reg;
  reg.setNumber("[Select Flag]", 0x41414141);
  reg.setRaw("[Logo Title]", kRegBinary, "binary");
  Settings s = defaults();
  copyText(s.selectFlag, kNameCapacity, "Chile");
  loadSettingsFrom(reg.access(), s);
  EXPECT_STREQ("Chile", s.selectFlag);
  EXPECT_STREQ("", s.logoTitle);
}

TEST(SettingsStore, KeyThatCannotBeOpenedChangesNothing) {
  FakeRegistry reg;
  reg.keyOpenable = false;
  reg.setNumber("[Screen X]", 1);
  Settings s = everyFieldChanged();
  Settings before = s;
  loadSettingsFrom(reg.access(), s);
  saveSettingsTo(reg.access(), s, 23, 22);
  EXPECT_EQ(0, std::memcmp(&before, &s, sizeof s));
  EXPECT_TRUE(reg.reads.empty());
  EXPECT_TRUE(reg.writes.empty());
}
