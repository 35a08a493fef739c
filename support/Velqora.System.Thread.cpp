#include "Velqora.System.Thread.h"

#include <objbase.h>
#include <process.h>

#include "UtilityWindow.h"
#include "Velqora.Debug.Common.h"
#include "Velqora.Debug.Log.h"

namespace Velqora {

using TLevel = TThread::TThreadLogLevel;

struct TThread::TState {
  TProc FExecProcObject;
  TExecProcClass FExecProcClass = nullptr;
  TProc FExecProcAnonim;
  TUniqueKernelHandle FResumeEvent;
  int FCoFlag = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::exception_ptr FFatalException;  // written before FFinished
  HWND FErrorWindow = nullptr;
  TThread* FThread = nullptr;  // for the body's argument only
};

namespace {

const Debug::TLogOwner Owner(L"TThread");
const wchar_t SThreadWaitForSelf[] = L"A thread cannot wait for itself";
const wchar_t SThreadStartRunning[] = L"Cannot call Start on a running or finished thread";

// The program's log, for the rare records of a thread: a facade made for
// the record, which shares the log the units keep open.
class TThreadLog : public Debug::TDebugLog<TLevel> {
public:
  TThreadLog() : TDebugLog(Debug::ProgramFileName(false), Debug::ProgramFileName(true), 0) {}
};

[[noreturn]] void RaiseThreadError(DWORD ACode) {
  throw EThread(Format(L"Thread Error: %s (%d)", {SysErrorMessage(ACode), int64_t(ACode)}));
}

const wchar_t* BoolText(bool AValue) { return AValue ? Debug::SLogTrue : Debug::SLogFalse; }

// A record of AError with AComment; nothing the log raises goes further.
void LogError(const wchar_t* AComment, std::exception_ptr AError) noexcept {
  try {
    try {
      std::rethrow_exception(AError);
    } catch (const std::exception& e) {
      TThreadLog().LogError(TLevel::thlError, AComment, e, Owner);
    } catch (...) {
      TThreadLog().WriteLog(TLevel::thlError, std::wstring(AComment) + L": an error of unknown kind", Owner);
    }
  } catch (...) {
  }
}

}  // namespace

TThread::TThread(bool ACreateSuspended) : TThread(ACreateSuspended, 0, nullptr, nullptr, nullptr) {}

TThread::TThread(TExecProcClass AProc, bool ACreateSuspended, int ACoFlag)
    : TThread(ACreateSuspended, ACoFlag, nullptr, AProc, nullptr) {}

TThread::TThread(TProc AProc, bool ACreateSuspended, int ACoFlag)
    : TThread(ACreateSuspended, ACoFlag, nullptr, nullptr, std::move(AProc)) {}

TThread::TThread(bool ACreateSuspended, int ACoFlag, TProc AObject, TExecProcClass AClass, TProc AAnonim)
    : FState(std::make_shared<TState>()), FCreateSuspended(ACreateSuspended) {
  TState& state = *FState;
  state.FExecProcObject = std::move(AObject);
  state.FExecProcClass = AClass;
  state.FExecProcAnonim = std::move(AAnonim);
  state.FCoFlag = ACoFlag;
  state.FThread = this;
  state.FResumeEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!state.FResumeEvent) ThrowLastOSError();
  // Always made suspended, so that the handle and the ID are stored before
  // anything runs on the thread.
  auto param = std::make_unique<std::shared_ptr<TState>>(FState);
  unsigned id = 0;
  // _beginthreadex, so that the C runtime's per-thread data is set up and
  // freed.
  FHandle.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, param.get(), CREATE_SUSPENDED, &id)));
  if (!FHandle) ThrowLastOSError();
  param.release();  // the thread's now
  FThreadID = id;
  FSuspended = true;
  if (!ACreateSuspended) Resume();
}

TThread::~TThread() {
  try {
    if (FHandle && !Finished()) {
      if (GetCurrentThreadId() == FThreadID) throw EThread(SThreadWaitForSelf);
      Terminate();
      // A thread that never ran runs now, sees the request and skips its
      // body.
      while (FSuspended) Resume();
      WaitFor();
    }
  } catch (...) {
    LogStopFailure(std::current_exception());
  }
}

void TThread::Start() {
  if (!FSuspended || Finished()) throw EThread(SThreadStartRunning);
  Resume();
}

void TThread::Resume() {
  DWORD count = ResumeThread(FHandle.Get());
  if (count == DWORD(-1)) RaiseThreadError(GetLastError());
  if (count <= 1) FSuspended = false;
}

void TThread::Terminate() {
  FState->FTerminated = true;
  TerminatedSet();
}

void TThread::TerminatedSet() noexcept { SetEvent(FState->FResumeEvent.Get()); }

DWORD TThread::WaitFor() {
  if (GetCurrentThreadId() == FThreadID) throw EThread(SThreadWaitForSelf);
  if (WaitForSingleObject(FHandle.Get(), INFINITE) == WAIT_FAILED) RaiseThreadError(GetLastError());
  DWORD code = 0;
  if (!GetExitCodeThread(FHandle.Get(), &code)) RaiseThreadError(GetLastError());
  return code;
}

void TThread::SleepBy(DWORD AMilliseconds) {
  // Checked first: the resume event is auto-reset, so once one wait has
  // taken Terminate's signal a second sleep would last in full.
  if (Terminated()) return;
  WaitForSingleObject(FState->FResumeEvent.Get(), AMilliseconds);
}

void TThread::SleepByAndCheck(DWORD AMilliseconds) {
  SleepBy(AMilliseconds);
  if (Terminated()) throw EAbort();
}

void TThread::HandleException() {
  std::exception_ptr error = std::current_exception();
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return;  // silent
  } catch (...) {
  }
  ReportBodyError(*FState, error);
}

void TThread::SetErrorWindow(HWND AWnd) { FState->FErrorWindow = AWnd; }

bool TThread::Terminated() const noexcept { return FState->FTerminated; }
bool TThread::Finished() const noexcept { return FState->FFinished; }
int TThread::CoFlag() const noexcept { return FState->FCoFlag; }
HANDLE TThread::ResumeEvent() const noexcept { return FState->FResumeEvent.Get(); }

std::exception_ptr TThread::FatalException() const noexcept {
  return FState->FFinished ? FState->FFatalException : nullptr;
}

TThreadPriority TThread::GetPriority() const {
  int value = GetThreadPriority(FHandle.Get());
  if (value == THREAD_PRIORITY_ERROR_RETURN) RaiseThreadError(GetLastError());
  switch (value) {
    case THREAD_PRIORITY_IDLE: return TThreadPriority::tpIdle;
    case THREAD_PRIORITY_LOWEST: return TThreadPriority::tpLowest;
    case THREAD_PRIORITY_BELOW_NORMAL: return TThreadPriority::tpLower;
    case THREAD_PRIORITY_ABOVE_NORMAL: return TThreadPriority::tpHigher;
    case THREAD_PRIORITY_HIGHEST: return TThreadPriority::tpHighest;
    case THREAD_PRIORITY_TIME_CRITICAL: return TThreadPriority::tpTimeCritical;
    default: return TThreadPriority::tpNormal;
  }
}

void TThread::SetPriority(TThreadPriority AValue) {
  static constexpr int Values[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                   THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL,
                                   THREAD_PRIORITY_HIGHEST,      THREAD_PRIORITY_TIME_CRITICAL};
  if (!SetThreadPriority(FHandle.Get(), Values[int(AValue)])) RaiseThreadError(GetLastError());
}

// Nothing leaves the thread procedure: what the body raised is recorded
// here or was reported by Execute.
unsigned __stdcall TThread::ThreadProc(void* AParam) noexcept {
  std::unique_ptr<std::shared_ptr<TState>> keep(static_cast<std::shared_ptr<TState>*>(AParam));
  TState& state = **keep;
  try {
    if (!state.FTerminated) Execute(state);
  } catch (...) {
    state.FFatalException = std::current_exception();
    LogError(L"Thread ended by an error", state.FFatalException);
  }
  state.FFinished = true;
  return 0;
}

void TThread::Execute(TState& AState) {
  HRESULT com = AState.FCoFlag < 0 ? CoInitialize(nullptr) : CoInitializeEx(nullptr, DWORD(AState.FCoFlag));
  // Only a successful initialisation (S_FALSE included) is balanced.
  auto uninitialize = ScopeExit([com] {
    if (SUCCEEDED(com)) CoUninitialize();
  });
  try {
    TThread& thread = *AState.FThread;
    if (AState.FExecProcObject)
      AState.FExecProcObject(thread);
    else if (AState.FExecProcClass)
      AState.FExecProcClass(thread);
    else if (AState.FExecProcAnonim)
      AState.FExecProcAnonim(thread);
  } catch (const EAbort&) {
  } catch (const Exception&) {
    ReportBodyError(AState, std::current_exception());
  }
  // Anything else goes on to the thread procedure: the fatal exception.
}

void TThread::ReportBodyError(TState& AState, std::exception_ptr AError) noexcept {
  LogError(L"Thread body failed", AError);
  if (AState.FErrorWindow) PostWindowError(AState.FErrorWindow, AError);
}

void TThread::LogStopFailure(std::exception_ptr AError) const noexcept {
  try {
    std::wstring message = L"unknown error";
    try {
      std::rethrow_exception(AError);
    } catch (const Exception& e) {
      message = e.Message();
    } catch (...) {
    }
    std::wstring text = L"TThread. " + message;
    text += L". CreateSuspended: ";
    text += BoolText(FCreateSuspended);
    text += L". ExternalThread: ";
    text += BoolText(false);  // every thread is made by its object
    text += L". Handle: 0x" + Format(L"%.8x", {uint64_t(reinterpret_cast<uintptr_t>(FHandle.Get()))});
    text += L". Suspended: ";
    text += BoolText(FSuspended);
    text += L". Finished: ";
    text += BoolText(Finished());
    text += L". FatalException: ";
    if (std::exception_ptr fatal = FatalException()) {
      try {
        std::rethrow_exception(fatal);
      } catch (const Exception& e) {
        text += std::wstring(e.ClassName()) + L" - " + e.Message();
      } catch (const std::exception&) {
        text += L"std::exception";
      } catch (...) {
        text += L"unknown";
      }
    } else {
      text += L"nil";
    }
    TThreadLog().WriteLog(TLevel::thlError, text, Owner);
  } catch (...) {
    // Nothing more can be done for a record that cannot be written.
  }
}

}  // namespace Velqora
