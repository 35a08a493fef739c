#include <gtest/gtest.h>

#include "UniqueHandle.h"

using namespace Velqora;

namespace {

TEST(UniqueHandle, ClosesOnceAndKeepsTheLastError) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(event);
  {
    TUniqueKernelHandle owner(event);
    SetLastError(1234);
    owner.Reset();
    EXPECT_EQ(GetLastError(), 1234u);  // the release does not overwrite it
    EXPECT_FALSE(owner);
  }
  // Closed exactly once: the handle value is no longer valid.
  DWORD flags;
  EXPECT_FALSE(GetHandleInformation(event, &flags));
}

TEST(UniqueHandle, MovesOwnership) {
  TUniqueKernelHandle a(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE raw = a.Get();
  TUniqueKernelHandle b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), raw);
  HANDLE released = b.Release();
  EXPECT_FALSE(b);
  DWORD flags;
  EXPECT_TRUE(GetHandleInformation(released, &flags));  // still open
  CloseHandle(released);
}

TEST(UniqueHandle, FileHandlesUseInvalidHandleValueAsNone) {
  TUniqueFileHandle none;
  EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);
  TUniqueFileHandle missing(CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing);
}

TEST(UniqueHandle, LendsWithoutGivingUp) {
  TUniqueKernelHandle owner(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    TBorrowedKernelHandle borrowed = owner.Borrow();
    EXPECT_EQ(borrowed.Get(), owner.Get());
  }
  DWORD flags;
  EXPECT_TRUE(GetHandleInformation(owner.Get(), &flags));  // still open
  EXPECT_FALSE(TUniqueFileHandle().Borrow());  // a file handle's "none" stays none
}

TEST(ScopeExit, RunsOnceWhenTheScopeEndsUnlessReleasedAndKeepsTheLastError) {
  int runs = 0;
  {
    auto cleanUp = ScopeExit([&] {
      ++runs;
      SetLastError(ERROR_ACCESS_DENIED);  // as a failing clean-up would
    });
    SetLastError(1234);
  }
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(GetLastError(), 1234u);
  try {
    auto cleanUp = ScopeExit([&] { ++runs; });
    throw std::exception();
  } catch (const std::exception&) {
  }
  EXPECT_EQ(runs, 2);  // on the way out of an exception as well
  {
    auto cleanUp = ScopeExit([&] { ++runs; });
    cleanUp.Release();
  }
  EXPECT_EQ(runs, 2);
}

}  // namespace
