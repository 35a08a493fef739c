#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UtilityWindow.h"
#include "Velqora.System.SysUtils.h"

using namespace Velqora;

namespace {

int Received = 0;
void CountMessages(TWindowMessage& AMessage) {
  if (AMessage.Msg == WM_APP + 1) {
    ++Received;
    AMessage.Result = 42;
  } else {
    DefaultWindowHandler(nullptr, AMessage);
  }
}

TEST(AllocateWindow, ForwardsMessagesToTheProcedure) {
  HWND wnd = AllocateWindow(CountMessages);
  ASSERT_TRUE(wnd);
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(SendMessageW(wnd, WM_APP + 1, 0, 0), 42);
  EXPECT_EQ(Received, 1);
  DeallocateWindow(wnd);
  EXPECT_FALSE(IsWindow(wnd));
  DeallocateWindow(nullptr);  // ignored

  HWND plain = AllocateWindow();  // a plain default window
  EXPECT_EQ(SendMessageW(plain, WM_APP + 1, 0, 0), 0);
  EXPECT_EQ(Received, 1);
  DeallocateWindow(plain);
}

// A procedure that raises on WM_APP + 2.
void RaiseOnApp(TWindowMessage& AMessage) {
  if (AMessage.Msg == WM_APP + 2) throw Exception(L"raised in a window procedure " + std::to_wstring(AMessage.WParam));
  DefaultWindowHandler(nullptr, AMessage);
}

std::vector<std::wstring> Handled;
void Collect(std::exception_ptr AError) noexcept {
  try {
    std::rethrow_exception(AError);
  } catch (const Exception& e) {
    Handled.push_back(e.Message());
  } catch (...) {
    Handled.push_back(L"?");
  }
}

// An error in a utility window's procedure would end the process if it
// crossed into the system: it is handed on instead, whether the message was
// sent or posted.
TEST(AllocateWindow, AnErrorInTheProcedureIsHandedOnNotIntoTheSystem) {
  HWND wnd = AllocateWindow(RaiseOnApp);
  ASSERT_TRUE(wnd);
  // Without a handler: the first error is kept and raised after the call.
  EXPECT_EQ(SendMessageW(wnd, WM_APP + 2, 1, 0), 0);
  EXPECT_EQ(SendMessageW(wnd, WM_APP + 2, 2, 0), 0);
  try {
    RaisePendingWindowError();
    ADD_FAILURE() << "nothing was kept";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"raised in a window procedure 1");
  }
  EXPECT_NO_THROW(RaisePendingWindowError());  // once

  // With a handler: each error goes there, none is kept.
  SetWindowErrorHandler(Collect);
  Handled.clear();
  SendMessageW(wnd, WM_APP + 2, 3, 0);
  PostMessageW(wnd, WM_APP + 2, 4, 0);
  MSG msg;
  while (PeekMessageW(&msg, wnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  SetWindowErrorHandler(nullptr);
  EXPECT_EQ(Handled, (std::vector<std::wstring>{L"raised in a window procedure 3", L"raised in a window procedure 4"}));
  EXPECT_NO_THROW(RaisePendingWindowError());
  DeallocateWindow(wnd);
}

struct TPost {
  HWND Wnd;
  bool Posted;
};
DWORD WINAPI PostFromWorker(void* AParam) {
  auto post = static_cast<TPost*>(AParam);
  post->Posted = PostWindowError(post->Wnd, std::make_exception_ptr(Exception(L"from a worker")));
  return 0;
}

// An error of another thread arrives on the thread that owns the window,
// as if its procedure had raised it; a window that is gone takes none.
TEST(AllocateWindow, AnErrorFromAnotherThreadArrivesOnTheWindowsThread) {
  HWND wnd = AllocateWindow(CountMessages);
  SetWindowErrorHandler(Collect);
  Handled.clear();
  TPost post{wnd, false};
  HANDLE thread = CreateThread(nullptr, 0, PostFromWorker, &post, 0, nullptr);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_TRUE(post.Posted);
  EXPECT_TRUE(Handled.empty());  // not before this thread takes its messages
  MSG msg;
  while (PeekMessageW(&msg, wnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(Handled, std::vector<std::wstring>{L"from a worker"});

  DeallocateWindow(wnd);
  EXPECT_FALSE(PostWindowError(wnd, std::make_exception_ptr(Exception(L"lost"))));
  // The lost one is not left waiting for the next window that takes errors.
  HWND next = AllocateWindow(CountMessages);
  EXPECT_TRUE(PostWindowError(next, std::make_exception_ptr(Exception(L"next"))));
  while (PeekMessageW(&msg, next, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(Handled, (std::vector<std::wstring>{L"from a worker", L"next"}));
  DeallocateWindow(next);
  SetWindowErrorHandler(nullptr);
}

}  // namespace
