// Cost of a log record with logging off, and records per second with it on.
//   log-bench [RECORDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Velqora.Debug.Log.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"

using namespace Velqora::Debug;
using TLevel = Velqora::DllRoutines::TDllLogLevel;

namespace {

double Seconds(LARGE_INTEGER AStart) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - AStart.QuadPart) / double(frequency.QuadPart);
}

// Kept out of line so that the loop really calls the facade.
__attribute__((noinline)) void Record(TDebugLog<TLevel>& ALog, int AIndex) {
  ALog.WriteLog(TLevel::dllInfo, L"Library loaded: version.dll", TLogOwner(L"TLibraryItem"));
  (void)AIndex;
}

__attribute__((noinline)) void Nothing(TDebugLog<TLevel>&, int AIndex) { asm volatile("" ::"r"(AIndex)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int records = argc > 1 ? _wtoi(argv[1]) : 2000000;
  TDebugLogFile::Start();
  Velqora::DllRoutines::Start();  // the log's folder is named with bound functions
  {
    TDebugLog<TLevel> log(L"bountiq-log-bench", L"log-bench.exe", 0);
    log.SetLogLevel(TLevel::dllNone);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < records * 10; ++i) Nothing(log, i);
    double empty = Seconds(start);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < records * 10; ++i) Record(log, i);
    double off = Seconds(start);
    wprintf(L"off: %.2f ns a record (an empty call: %.2f ns)\n", off * 1e9 / (records * 10.0),
            empty * 1e9 / (records * 10.0));

    log.SetLogLevel(TLevel::dllInfo);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < records; ++i) Record(log, i);
    log.Writer()->Flush();
    double on = Seconds(start);
    wprintf(L"on: %.0f records a second (%d records, %.2f s, written to %ls)\n", records / on, records, on,
            log.Writer()->FileName().c_str());
    DeleteFileW(log.Writer()->FileName().c_str());
  }
  Velqora::DllRoutines::Stop();
  TDebugLogFile::Stop();
  return 0;
}
