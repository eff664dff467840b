// procstat: the resource figures of another process, for the long-run scripts.
//
//   procstat PID                 one line for the Windows process PID
//   procstat --name FILE.EXE     the first process whose image name is FILE.EXE
//
// Prints one line, key=value, sizes in bytes:
//   pid= working_set= peak_working_set= pagefile= peak_pagefile= handles= gdi= user=
// A figure the system does not give is printed as -1 (Wine leaves some of
// them unimplemented). Exit code 0 on success, 1 when the process cannot be
// opened or found, 2 on bad usage.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
      "handles=%lld "
      "gdi=%lld user=%lld\n",
      static_cast<unsigned long>(pid), orMinusOne(memoryOk, memory.WorkingSetSize),
      orMinusOne(memoryOk, memory.PeakWorkingSetSize), orMinusOne(memoryOk, memory.PagefileUsage),
      orMinusOne(memoryOk, memory.PeakPagefileUsage), orMinusOne(handlesOk, handles),
      orMinusOne(gdi != 0, gdi), orMinusOne(user != 0, user));
  CloseHandle(process);
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  DWORD pid = 0;
  if (argc == 3 && !std::strcmp(argv[1], "--name")) {
    pid = processByName(argv[2]);
  } else if (argc == 2) {
    char* end = nullptr;
    pid = static_cast<DWORD>(std::strtoul(argv[1], &end, 0));
    if (!end || *end) return kUsage;
  } else {
    std::fprintf(stderr, "usage: procstat PID | procstat --name FILE.EXE\n");
    return kUsage;
  }
  int code = pid ? report(pid) : kNotFound;
  std::fflush(stdout);
  return code;
}
