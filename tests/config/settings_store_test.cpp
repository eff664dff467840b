// The settings table walked over an in-memory registry that behaves like the
// Win32 one: an absent value leaves the buffer alone, a value larger than the
// buffer reports "too long" and leaves the buffer undefined (scribbled here).
// The cases of settings_store_cases.h run over it; the order of reads and
// writes and a key that cannot be opened are checked here only.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "settings_store_cases.h"

namespace {

struct FakeRegistry {
  std::map<std::string, StoredValue> values;
  std::vector<std::string> reads, writes;
  bool keyOpenable = true;
  int openCount = 0, closeCount = 0;

  void clear() { *this = FakeRegistry(); }
  void put(const char* name, uint32_t type, const std::string& bytes) {
    values[name] = {true, type, bytes};
  }
  StoredValue get(const char* name) const {
    auto found = values.find(name);
    return found == values.end() ? StoredValue() : found->second;
  }
  void load(Settings& s) { loadSettingsFrom(access(), s); }
  void save(Settings& s, uint32_t mode16, uint32_t mode32) {
    saveSettingsTo(access(), s, mode16, mode32);
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
    self->values[name] = {true, type, std::string(reinterpret_cast<const char*>(data), size)};
  }
  static void close(void* key) { ++static_cast<FakeRegistry*>(key)->closeCount; }

  RegistryAccess access() { return {this, open, read, write, close}; }
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(InMemory, SettingsStoreCases, FakeRegistry);

TEST(SettingsStore, LoadReadsInTableOrderAndSaveWritesInItsOwnOrder) {
  FakeRegistry reg;
  Settings s = defaults();
  loadSettingsFrom(reg.access(), s);
  const std::vector<std::string> readOrder = {"[bTnL]",
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
                                              "[Select Flag]",
                                              "[Desktop Mode]",
                                              "[Change Minutes]",
                                              "[Flag Region]",
                                              "[Same Flag]"};
  EXPECT_EQ(readOrder, reg.reads);
  EXPECT_TRUE(reg.writes.empty());
  EXPECT_EQ(1, reg.openCount);
  EXPECT_EQ(1, reg.closeCount);

  FakeRegistry saved;
  saveSettingsTo(saved.access(), everyFieldChanged(), 23, 22);
  const std::vector<std::string> writeOrder = {"[bTnL]",
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
                                               "[Background Title]",
                                               "[Desktop Mode]",
                                               "[Change Minutes]",
                                               "[Flag Region]",
                                               "[Same Flag]"};
  EXPECT_EQ(writeOrder, saved.writes);
  EXPECT_EQ(1, saved.closeCount);
  // Nothing is written but the values of the order above.
  EXPECT_EQ(writeOrder.size(), saved.values.size());
}

TEST(SettingsStore, KeyThatCannotBeOpenedChangesNothing) {
  FakeRegistry reg;
  reg.keyOpenable = false;
  reg.put("[Screen X]", kRegDword, std::string("\x01\0\0\0", 4));
  Settings s = everyFieldChanged();
  Settings before = s;
  loadSettingsFrom(reg.access(), s);
  saveSettingsTo(reg.access(), s, 23, 22);
  EXPECT_EQ(0, std::memcmp(&before, &s, sizeof s));
  EXPECT_TRUE(reg.reads.empty());
  EXPECT_TRUE(reg.writes.empty());
}
