// A worker thread whose body is handed in (a plain procedure, a method or a
// callable) instead of being written as a subclass, with an interruptible
// sleep that termination cuts short, COM initialisation for the thread,
// and errors that never bring down the process.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "UniqueHandle.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

// A thread used the wrong way (started twice, waiting for itself) or a
// system call on a thread that failed.
class EThread : public Exception {
public:
  using Exception::Exception;
  const wchar_t* ClassName() const noexcept override { return L"EThread"; }
};

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread final {
public:
  // Levels of the thread's log records.
  enum class TThreadLogLevel { thlNone, thlError, thlWarning, thlInfo };
  friend constexpr TThreadLogLevel LastLogLevel(TThreadLogLevel) { return TThreadLogLevel::thlInfo; }

  // The body as a plain procedure.
  using TExecProcClass = void (*)(TThread& AThread);
  // The body as a method of an object.
  template <typename T>
  struct TExecProcObject {
    T* Object;
    void (T::*Method)(TThread& AThread);
  };
  // The body as any callable.
  using TProc = std::function<void(TThread& AThread)>;

  // A thread without a body: it ends at once when it runs.
  explicit TThread(bool ACreateSuspended);
  // ACoFlag: below 0 the thread calls CoInitialize, otherwise
  // CoInitializeEx with that flag (2: a single-threaded apartment).
  TThread(TExecProcClass AProc, bool ACreateSuspended, int ACoFlag);
  template <typename T>
  TThread(TExecProcObject<T> AProc, bool ACreateSuspended, int ACoFlag)
      : TThread(ACreateSuspended, ACoFlag, [AProc](TThread& AThread) { (AProc.Object->*AProc.Method)(AThread); },
                nullptr, nullptr) {}
  TThread(TProc AProc, bool ACreateSuspended, int ACoFlag);
  // A lambda (also one without captures) is a callable body.
  template <typename F>
    requires std::is_class_v<std::remove_cvref_t<F>> && std::is_invocable_v<F&, TThread&>
  TThread(F&& AProc, bool ACreateSuspended, int ACoFlag)
      : TThread(TProc(std::forward<F>(AProc)), ACreateSuspended, ACoFlag) {}
  // Requests termination, lets a suspended thread run (its body is then
  // skipped) and waits for it. Never raises: a failure is written to the
  // log with the thread's state, and the thread is left to itself.
  ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Lets a thread created suspended run; EThread when it already runs or
  // has finished.
  void Start();
  // Undoes one suspension.
  void Resume();
  // Requests termination and wakes a SleepBy.
  void Terminate();
  // Waits for the thread to end and answers its exit code; EThread when
  // called from the thread itself or when the wait fails. A suspended
  // thread that is never resumed is waited for forever.
  DWORD WaitFor();

  // On the thread itself: waits up to AMilliseconds; termination ends the
  // wait at once (or skips it when already requested).
  void SleepBy(DWORD AMilliseconds);
  // SleepBy, then raises EAbort when termination was requested: the body
  // ends silently.
  void SleepByAndCheck(DWORD AMilliseconds);
  // Reports the exception being handled (in a catch block) as a failing
  // body is reported: written to the log and handed to the error window.
  void HandleException();

  // A utility window of the GUI thread (UtilityWindow.h) that receives the
  // errors of the body, so that they reach the GUI's error report there;
  // without one they are only logged. Set it before the thread runs.
  void SetErrorWindow(HWND AWnd);

  bool Terminated() const noexcept;
  bool Finished() const noexcept;
  bool Suspended() const noexcept { return FSuspended; }
  bool CreateSuspended() const noexcept { return FCreateSuspended; }
  int CoFlag() const noexcept;
  HANDLE Handle() const noexcept { return FHandle.Get(); }
  DWORD ThreadID() const noexcept { return FThreadID; }
  HANDLE ResumeEvent() const noexcept;
  // What ended the body when it was neither EAbort nor derived from
  // Exception; none otherwise. Read it once the thread has finished.
  std::exception_ptr FatalException() const noexcept;
  TThreadPriority GetPriority() const;
  void SetPriority(TThreadPriority AValue);

private:
  // What the running thread uses. The thread holds it as well, so an
  // object destroyed from within its own body (which cannot wait for
  // itself) leaves the thread nothing freed to touch.
  struct TState;

  TThread(bool ACreateSuspended, int ACoFlag, TProc AObject, TExecProcClass AClass, TProc AAnonim);
  static unsigned __stdcall ThreadProc(void* AParam) noexcept;
  static void Execute(TState& AState);
  static void ReportBodyError(TState& AState, std::exception_ptr AError) noexcept;
  void TerminatedSet() noexcept;
  // The log record of a failure while stopping, with the thread's state.
  void LogStopFailure(std::exception_ptr AError) const noexcept;

  std::shared_ptr<TState> FState;
  TUniqueKernelHandle FHandle;
  DWORD FThreadID = 0;
  bool FCreateSuspended;
  bool FSuspended = false;
};

}  // namespace Velqora
