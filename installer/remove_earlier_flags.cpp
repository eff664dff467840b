// Removes from a flag folder the files that earlier releases installed there,
// each only where it is byte for byte a version that a release shipped: a
// picture of the user's own, or one the user changed, stays. The setup
// program runs it from its temporary folder before it installs the flags.
//
//   remove_earlier_flags.exe LIST FOLDER
//
// LIST: earlier-flags.txt, one version a line: SHA-256 (64 hex digits), size
// in bytes, file name (UTF-8, no folder); lines starting with "#" are notes.
// Prints a line for every file it removes or keeps (the setup program shows
// them in its details). Exit codes: 0 done (also when FOLDER does not exist),
// 1 a bad command line or list (nothing removed), 2 a file that should go
// could not be read or deleted.
#include <windows.h>
#include <bcrypt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDone = 0;
constexpr int kBadInput = 1;
constexpr int kNotRemoved = 2;
constexpr size_t kDigestBytes = 32;
constexpr size_t kDigestDigits = 2 * kDigestBytes;
// Far above the list's size; a larger file is not the list.
constexpr size_t kLargestList = 1u << 20;

struct ShippedVersion {
  std::string name;
  uint64_t size = 0;
  std::string sha256;  // lower-case hex
};

// Reads a file of at most `largest` bytes.
bool readWholeFile(const std::wstring& path, uint64_t largest, std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  bytes.clear();
  char chunk[65536];
  size_t got = 0;
  while (bytes.size() <= largest && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.append(chunk, got);
  const bool complete = !std::ferror(file) && bytes.size() <= largest;
  std::fclose(file);
  return complete;
}

bool isHexDigest(const std::string& text) {
  if (text.size() != kDigestDigits) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

// The UTF-8 text as UTF-16; empty when it is not UTF-8.
std::wstring widened(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring wide(length, L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], length);
  return wide;
}

// A name that stays inside the folder: no separators, no drive, not "." or "..".
bool isPlainName(const std::string& name) {
  return !widened(name).empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string::npos;
}

// Parses LIST; on a bad line reports its number and returns false.
bool parseList(const std::string& text, std::vector<ShippedVersion>& versions) {
  size_t start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t firstSpace = line.find(' ');
    const size_t secondSpace = firstSpace == std::string::npos ? firstSpace : line.find(' ', firstSpace + 1);
    ShippedVersion version;
    if (secondSpace != std::string::npos) {
      version.sha256 = line.substr(0, firstSpace);
      version.name = line.substr(secondSpace + 1);
      const std::string size = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
      char* sizeEnd = nullptr;
      version.size = std::strtoull(size.c_str(), &sizeEnd, 10);
      if (!size.empty() && size[0] != '-' && *sizeEnd == '\0' && isHexDigest(version.sha256) &&
          isPlainName(version.name)) {
        versions.push_back(version);
        continue;
      }
    }
    std::printf("earlier-flags list, line %d: not \"SHA-256 size name\"\n", lineNumber);
    return false;
  }
  return true;
}

// The system's SHA-256 of the bytes, in lower-case hex.
bool sha256Hex(const std::string& bytes, std::string& hex) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  unsigned char digest[kDigestBytes] = {};
  PUCHAR data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
  const bool made = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) &&
                    BCRYPT_SUCCESS(BCryptHashData(hash, data, static_cast<ULONG>(bytes.size()), 0)) &&
                    BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  hex.clear();
  for (unsigned char byte : digest) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    hex += digits;
  }
  return made;
}

// Removes FOLDER\name when it is one of the versions of that name in the list.
int removeIfShipped(const std::wstring& folder, const std::string& name,
                    const std::vector<ShippedVersion>& versions) {
  const std::wstring path = folder + L"\\" + widened(name);
  WIN32_FILE_ATTRIBUTE_DATA found;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &found) ||
      (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return kDone;
  const uint64_t size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  bool sizeShipped = false;  // a file of no shipped size is kept unread
  for (const ShippedVersion& version : versions) sizeShipped |= version.name == name && version.size == size;
  std::string bytes;
  std::string digest;
  if (sizeShipped && (!readWholeFile(path, size, bytes) || !sha256Hex(bytes, digest))) {
    std::printf("Could not read IMAGE\\%s\n", name.c_str());
    return kNotRemoved;
  }
  for (const ShippedVersion& version : versions) {
    if (sizeShipped && version.name == name && version.size == bytes.size() && version.sha256 == digest) {
      if (!DeleteFileW(path.c_str())) {
        std::printf("Could not remove the earlier flag IMAGE\\%s\n", name.c_str());
        return kNotRemoved;
      }
      std::printf("Removed the earlier flag IMAGE\\%s\n", name.c_str());
      return kDone;
    }
  }
  std::printf("Kept IMAGE\\%s: not the flag an earlier release installed\n", name.c_str());
  return kDone;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf("usage: remove_earlier_flags LIST FOLDER\n");
    return kBadInput;
  }
  std::string list;
  std::vector<ShippedVersion> versions;
  if (!readWholeFile(argv[1], kLargestList, list)) {
    std::printf("Could not read the earlier-flags list\n");
    return kBadInput;
  }
  if (!parseList(list, versions)) return kBadInput;
  const DWORD folder = GetFileAttributesW(argv[2]);
  if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY)) return kDone;

  int result = kDone;
  for (size_t i = 0; i < versions.size(); ++i) {
    bool seen = false;  // each name once, whatever number of versions it has
    for (size_t j = 0; j < i && !seen; ++j) seen = versions[j].name == versions[i].name;
    if (!seen && removeIfShipped(argv[2], versions[i].name, versions) != kDone) result = kNotRemoved;
  }
  return result;
}
