#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "SystemUnitsTest.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "UtilityWindow.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Thread.h"

using namespace Velqora;

namespace {

// What reached the GUI thread's error handler, and on which thread.
struct THandled {
  std::wstring Message;
  DWORD ThreadId;
};
std::vector<THandled> Handled;
void CollectError(std::exception_ptr AError) noexcept {
  try {
    std::rethrow_exception(AError);
  } catch (const Exception& e) {
    Handled.push_back({e.Message(), GetCurrentThreadId()});
  } catch (...) {
    Handled.push_back({L"?", GetCurrentThreadId()});
  }
}

void PassOn(TWindowMessage& AMessage) { DefaultWindowHandler(nullptr, AMessage); }

// Threads with the program's log on and a utility window of this thread
// that receives their errors.
class ThreadTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    TurnLogOn();
    Handled.clear();
    SetWindowErrorHandler(CollectError);
    ErrorWindow.Reset(AllocateWindow(PassOn));
  }
  void TearDown() override {
    ErrorWindow.Reset();
    SetWindowErrorHandler(nullptr);
    SystemTest::TearDown();
  }
  TUniqueUtilityWindow ErrorWindow;
};

// A thread runs its body once, on itself, with the thread object as the
// argument, whichever way the body is given.
struct TRecorder {
  std::atomic<int> Runs{0};
  std::atomic<TThread*> Argument{nullptr};
  std::atomic<DWORD> ThreadId{0};
  void Run(TThread& AThread) {
    ++Runs;
    Argument = &AThread;
    ThreadId = GetCurrentThreadId();
  }
};
TRecorder Recorded;
void RecordProc(TThread& AThread) { Recorded.Run(AThread); }

TEST_F(ThreadTest, EachKindOfBodyRunsOnceOnItsThread) {
  struct TCase {
    const char* Kind;
    std::function<std::unique_ptr<TThread>(bool)> Make;
  };
  const TCase cases[] = {
      {"procedure", [](bool ASuspended) { return std::make_unique<TThread>(RecordProc, ASuspended, -1); }},
      {"method",
       [](bool ASuspended) {
         return std::make_unique<TThread>(TThread::TExecProcObject<TRecorder>{&Recorded, &TRecorder::Run}, ASuspended,
                                          -1);
       }},
      {"lambda",
       [](bool ASuspended) {
         return std::make_unique<TThread>([](TThread& AThread) { Recorded.Run(AThread); }, ASuspended, -1);
       }},
  };
  for (const auto& c : cases) {
    for (bool suspended : {false, true}) {
      SCOPED_TRACE(std::string(c.Kind) + (suspended ? ", made suspended" : ", made running"));
      Recorded.Runs = 0;
      auto thread = c.Make(suspended);
      EXPECT_EQ(thread->Suspended(), suspended);
      if (suspended) thread->Start();
      EXPECT_THROW(thread->Start(), EThread);  // running or finished
      EXPECT_EQ(thread->WaitFor(), 0u);
      EXPECT_TRUE(thread->Finished());
      EXPECT_EQ(Recorded.Runs, 1);
      EXPECT_EQ(Recorded.Argument, thread.get());
      EXPECT_EQ(Recorded.ThreadId, thread->ThreadID());
      EXPECT_NE(thread->ThreadID(), GetCurrentThreadId());
    }
  }
  // A thread that is destroyed before it was started never runs its body.
  Recorded.Runs = 0;
  std::make_unique<TThread>(RecordProc, true, -1).reset();
  EXPECT_EQ(Recorded.Runs, 0);
  // Priority reaches the system's thread.
  TThread idle(true);
  idle.SetPriority(TThreadPriority::tpHighest);
  EXPECT_EQ(idle.GetPriority(), TThreadPriority::tpHighest);
  EXPECT_EQ(GetThreadPriority(idle.Handle()), THREAD_PRIORITY_HIGHEST);
}

TEST_F(ThreadTest, DestroyingASleepingThreadReturnsAtOnce) {
  TUniqueKernelHandle sleeping(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> terminatedAfterSleep{false};
  auto thread = std::make_unique<TThread>(
      [&](TThread& AThread) {
        SetEvent(sleeping.Get());
        AThread.SleepBy(10000);
        terminatedAfterSleep = AThread.Terminated();
      },
      false, 0);
  ASSERT_EQ(WaitForSingleObject(sleeping.Get(), 10000), WAIT_OBJECT_0);
  DWORD start = GetTickCount();
  thread.reset();
  // Well below the ten seconds the body asked to sleep.
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_TRUE(terminatedAfterSleep);
}

TEST_F(ThreadTest, SleepByAndCheckEndsTheBodySilently) {
  std::atomic<int> afterSleep{0};
  TThread thread(
      [&](TThread& AThread) {
        for (;;) {
          AThread.SleepByAndCheck(10000);
          ++afterSleep;
        }
      },
      false, 0);
  thread.Terminate();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(afterSleep, 0);
  EXPECT_FALSE(thread.FatalException());
  Testing::PumpPending();
  EXPECT_TRUE(Handled.empty());
  EXPECT_EQ(LogText().find(L"TThread"), std::wstring::npos) << WideToUtf8(LogText());
}

struct TDialogSearch {
  DWORD ProcessId;
  int Dialogs;
};
BOOL CALLBACK CountDialogs(HWND AWnd, LPARAM AParam) {
  auto search = reinterpret_cast<TDialogSearch*>(AParam);
  DWORD pid = 0;
  wchar_t name[16] = {};
  GetWindowThreadProcessId(AWnd, &pid);
  GetClassNameW(AWnd, name, 16);
  if (pid == search->ProcessId && std::wstring(name) == L"#32770") ++search->Dialogs;
  return TRUE;
}

// The body's error reaches the GUI thread's error report there, once; the
// worker shows nothing itself and ends normally. An error of another kind
// becomes the thread's fatal exception.
TEST_F(ThreadTest, AFailingBodyIsLoggedAndReportedOnTheGuiThread) {
  TThread thread([](TThread&) { throw Exception(L"the body failed"); }, true, 0);
  thread.SetErrorWindow(ErrorWindow.Get());
  thread.Start();
  thread.WaitFor();
  EXPECT_FALSE(thread.FatalException());
  ASSERT_TRUE(Testing::PumpUntil([] { return !Handled.empty(); }, 10000));
  Testing::PumpPending();
  ASSERT_EQ(Handled.size(), 1u);
  EXPECT_EQ(Handled[0].Message, L"the body failed");
  EXPECT_EQ(Handled[0].ThreadId, GetCurrentThreadId());
  EXPECT_NE(LogText().find(L"Thread body failed: Exception. the body failed"), std::wstring::npos)
      << WideToUtf8(LogText());
  // No message box, from any thread of the process.
  TDialogSearch search{GetCurrentProcessId(), 0};
  EnumWindows(CountDialogs, reinterpret_cast<LPARAM>(&search));
  EXPECT_EQ(search.Dialogs, 0);

  TThread fatal([](TThread&) { throw std::bad_alloc(); }, false, 0);
  fatal.SetErrorWindow(ErrorWindow.Get());
  fatal.WaitFor();
  EXPECT_TRUE(fatal.FatalException());
  EXPECT_THROW(std::rethrow_exception(fatal.FatalException()), std::bad_alloc);
  EXPECT_NE(LogText().find(L"Thread ended by an error: std::exception"), std::wstring::npos) << WideToUtf8(LogText());
  Testing::PumpPending();
  EXPECT_EQ(Handled.size(), 1u);
}

// A thread in a single-threaded apartment refuses the multithreaded one.
TEST_F(ThreadTest, ComIsInitialisedAsTheFlagSays) {
  struct TCase {
    int CoFlag;
    HRESULT MultithreadedAnswer;
  };
  const TCase cases[] = {
      {-1, RPC_E_CHANGED_MODE},                      // CoInitialize: single-threaded
      {COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE},  // as the timer service asks
      {COINIT_MULTITHREADED, S_FALSE},              // initialised already, the same way
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CoFlag);
    std::atomic<HRESULT> answer{E_FAIL};
    TThread thread(
        [&](TThread&) {
          HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
          if (SUCCEEDED(hr)) CoUninitialize();
          answer = hr;
        },
        false, c.CoFlag);
    thread.WaitFor();
    EXPECT_EQ(thread.CoFlag(), c.CoFlag);
    EXPECT_EQ(answer, c.MultithreadedAnswer);
  }
}

// A thread object destroyed from its own body cannot wait for itself: the
// destructor raises nothing (which would end the process) and writes the
// thread's state to the log; the thread ends on its own.
TEST_F(ThreadTest, AFailureWhileStoppingIsLoggedWithTheThreadsState) {
  HANDLE copy = nullptr;
  TUniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto thread = new TThread(
      [&](TThread& AThread) {
        delete &AThread;
        SetEvent(done.Get());
      },
      true, 0);
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread->Handle(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0));
  TUniqueKernelHandle running(copy);
  thread->Start();
  ASSERT_EQ(WaitForSingleObject(done.Get(), 10000), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(running.Get(), 10000), WAIT_OBJECT_0);
  const std::wregex record(
      L"TThread\\. A thread cannot wait for itself\\. CreateSuspended: True\\. ExternalThread: False\\. "
      L"Handle: 0x[0-9A-F]{8,}\\. Suspended: False\\. Finished: False\\. FatalException: nil");
  EXPECT_TRUE(std::regex_search(LogText(), record)) << WideToUtf8(LogText());
}

}  // namespace
