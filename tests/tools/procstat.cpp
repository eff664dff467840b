// procstat: the resource figures of another process, for the long-run scripts.
//
//   procstat PID                 one line for the Windows process PID
//   procstat --name FILE.EXE     the first process whose image name is FILE.EXE
//   procstat --serve             requests from standard input, one a line; each answer
//                                is followed by "procstat-done code=N" (N as the exit
//                                code of a single run). A long run samples every few
//                                seconds, and a Wine program takes longer to start
//                                than the sample:
//                                  PID                   the figures of PID
//                                  leak PID KB HANDLES   for testing the long-run tools'
//                                                        rules only: KB kilobytes committed
//                                                        and written in PID, and HANDLES
//                                                        handles duplicated into it, all
//                                                        left there; prints leaked_kb=
//                                                        leaked_handles=
//
// Prints one line, key=value, sizes in bytes:
//   pid= working_set= peak_working_set= pagefile= peak_pagefile= private_bytes= handles= gdi=
//   user=
// (private_bytes: committed private memory, summed region by region.)
// A figure the system does not give is printed as -1 (Wine leaves some of
// them unimplemented). Exit code 0 on success, 1 when the process cannot be
// opened or found (or a leak not made whole), 2 on bad usage.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;

DWORD processByName(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry))
    if (!_stricmp(entry.szExeFile, name)) found = entry.th32ProcessID;
  CloseHandle(snapshot);
  return found;
}

long long orMinusOne(BOOL ok, unsigned long long value) {
  return ok ? static_cast<long long>(value) : -1;
}

// The system's handle table, counted for one process: Wine answers
// GetProcessHandleCount with 0 but keeps every handle in its server, which
// this query lists.
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE handleFlags;
  USHORT handleValue;
  PVOID objectPointer;
  ULONG accessMask;
};
struct SystemHandleTable {
  ULONG count;
  SystemHandleEntry handles[1];
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

long long handlesInSystemTable(DWORD pid) {
  typedef LONG(WINAPI * QuerySystem)(ULONG, PVOID, ULONG, PULONG);
  QuerySystem query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  for (ULONG size = 1 << 16; size <= (1u << 26); size *= 2) {
    void* buffer = HeapAlloc(GetProcessHeap(), 0, size);
    if (!buffer) return -1;
    ULONG needed = 0;
    LONG status = query(kSystemHandleInformation, buffer, size, &needed);
    long long count = -1;
    if (status >= 0) {
      const SystemHandleTable* table = static_cast<const SystemHandleTable*>(buffer);
      count = 0;
      for (ULONG i = 0; i < table->count; ++i)
        if (table->handles[i].ownerPid == pid) ++count;
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    if (status != kInfoLengthMismatch) return count > 0 ? count : -1;
  }
  return -1;
}

// Committed private memory, region by region: what Windows counts as a
// process's page-file use. Wine's PagefileUsage is instead the anonymous
// resident memory of the Unix process, which holds the Unix libraries'
// memory too (Mesa's, which settles slowly as devices come and go); this
// figure is the Windows side alone: the heaps and VirtualAlloc blocks.
long long privateBytes(HANDLE process) {
  MEMORY_BASIC_INFORMATION region;
  unsigned long long total = 0;
  bool any = false;
  const char* at = nullptr;
  while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
    any = true;
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return any ? static_cast<long long>(total) : -1;
}

int report(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return kNotFound;
  PROCESS_MEMORY_COUNTERS memory;
  std::memset(&memory, 0, sizeof memory);
  memory.cb = sizeof memory;
  BOOL memoryOk = GetProcessMemoryInfo(process, &memory, sizeof memory);
  DWORD handles = 0;
  BOOL handlesOk = GetProcessHandleCount(process, &handles) && handles != 0;
  if (!handlesOk) {
    long long counted = handlesInSystemTable(pid);
    handlesOk = counted > 0;
    handles = handlesOk ? static_cast<DWORD>(counted) : 0;
  }
  // GetGuiResources gives 0 both for "none" and for failure; a live GUI
  // process always has some, so 0 is reported as not available.
  DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  DWORD user = GetGuiResources(process, GR_USEROBJECTS);
  std::printf(
      "pid=%lu working_set=%lld peak_working_set=%lld pagefile=%lld peak_pagefile=%lld "
      "private_bytes=%lld handles=%lld "
      "gdi=%lld user=%lld\n",
      static_cast<unsigned long>(pid), orMinusOne(memoryOk, memory.WorkingSetSize),
      orMinusOne(memoryOk, memory.PeakWorkingSetSize), orMinusOne(memoryOk, memory.PagefileUsage),
      orMinusOne(memoryOk, memory.PeakPagefileUsage), privateBytes(process),
      orMinusOne(handlesOk, handles), orMinusOne(gdi != 0, gdi), orMinusOne(user != 0, user));
  CloseHandle(process);
  return kOk;
}

// Memory that the process never frees, in one allocation of its own: the
// pages are written, so that they count in its working set and page-file
// use as a leaked heap block would. Each handle is to an event of its own.
int leak(DWORD pid, unsigned long kb, unsigned long handles) {
  HANDLE process = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION,
      FALSE, pid);
  if (!process) return kNotFound;
  unsigned long leakedKb = 0;
  if (kb) {
    SIZE_T size = static_cast<SIZE_T>(kb) * 1024;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    std::vector<char> bytes(size, 0x5a);
    SIZE_T written = 0;
    if (remote && WriteProcessMemory(process, remote, bytes.data(), size, &written) &&
        written == size)
      leakedKb = kb;
  }
  unsigned long leakedHandles = 0;
  while (leakedHandles < handles) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE copy = nullptr;
    BOOL ok = event && DuplicateHandle(GetCurrentProcess(), event, process, &copy, 0, FALSE,
                                       DUPLICATE_SAME_ACCESS);
    if (event) CloseHandle(event);
    if (!ok) break;
    ++leakedHandles;
  }
  CloseHandle(process);
  std::printf("pid=%lu leaked_kb=%lu leaked_handles=%lu\n", static_cast<unsigned long>(pid),
              leakedKb, leakedHandles);
  return leakedKb == kb && leakedHandles == handles ? kOk : kNotFound;
}

bool parsePid(const char* text, DWORD* pid) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 0);
  if (end == text || *end) return false;
  *pid = static_cast<DWORD>(value);
  return *pid != 0;
}

int serveRequest(char* line) {
  char* words[5];
  int count = 0;
  for (char* word = std::strtok(line, " \t\r\n"); word && count < 5;
       word = std::strtok(nullptr, " \t\r\n"))
    words[count++] = word;
  DWORD pid = 0;
  if (count == 1 && parsePid(words[0], &pid)) return report(pid);
  if (count == 4 && !std::strcmp(words[0], "leak") && parsePid(words[1], &pid)) {
    char* end1 = nullptr;
    char* end2 = nullptr;
    unsigned long kb = std::strtoul(words[2], &end1, 10);
    unsigned long handles = std::strtoul(words[3], &end2, 10);
    if (*end1 || *end2 || kb > (1ul << 20) || handles > 100000) return kUsage;
    return leak(pid, kb, handles);
  }
  return kUsage;
}

int serve() {
  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    int code = serveRequest(line);
    std::printf("procstat-done code=%d\n", code);
    std::fflush(stdout);
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  DWORD pid = 0;
  if (argc == 2 && !std::strcmp(argv[1], "--serve")) return serve();
  if (argc == 3 && !std::strcmp(argv[1], "--name")) {
    pid = processByName(argv[2]);
  } else if (argc == 2) {
    char* end = nullptr;
    pid = static_cast<DWORD>(std::strtoul(argv[1], &end, 0));
    if (!end || *end) return kUsage;
  } else {
    std::fprintf(stderr, "usage: procstat PID | procstat --name FILE.EXE | procstat --serve\n");
    return kUsage;
  }
  int code = pid ? report(pid) : kNotFound;
  std::fflush(stdout);
  return code;
}
