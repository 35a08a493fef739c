// Authenticode checks of partner programs signed by the test script in
// every way that must be refused, under the test root.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include "TestSupport.h"
#include "TrustedRoot.h"
#include "Utf.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Trust.h"

using namespace Velqora;

namespace {

const auto* const RootEnvironment = ::testing::AddGlobalTestEnvironment(new Testing::TTrustedTestRoot);

// The system's own answer, for the record.
LONG SystemVerdict(const std::wstring& AFileName) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = AFileName.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

class TrustTest : public ::testing::Test {
protected:
  void SetUp() override { DllRoutines::Start(); }
  void TearDown() override { DllRoutines::Stop(); }
};

TEST_F(TrustTest, OnlyAProperlySignedProgramOfThePublisherPasses) {
  const TPublisher publisher{L"Bountiq Test Partner", L"Bountiq Test Partner Ltd"};
  struct TCase {
    const wchar_t* File;
    bool AnyPublisher, ThePublisher;  // accepted with any publisher / with the one expected
  };
  const TCase cases[] = {
      {L"signed.exe", true, true},
      {L"unsigned.exe", false, false},
      {L"tampered.exe", false, false},
      {L"other-publisher.exe", true, false},
      {L"self-signed.exe", false, false},
      {L"expired.exe", false, false},
      {L"tls-server.exe", false, false},
      {L"untrusted-root.exe", false, false},
  };
  for (const TCase& c : cases) {
    std::wstring file = Testing::SignedPartners() + L"\\" + c.File;
    SCOPED_TRACE(WideToUtf8(c.File));
    // Read through a handle that lets nobody write, as the wrapper does.
    Velqora::TUniqueFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(handle);
    for (bool any : {true, false}) {
      std::wstring refusal;
      try {
        VerifySignedFile(file, handle.Get(), any ? TPublisher{} : publisher);
      } catch (const EUntrustedFile& e) {
        refusal = e.Message();
      }
      EXPECT_EQ(refusal.empty(), any ? c.AnyPublisher : c.ThePublisher)
          << (any ? "any publisher: " : "the publisher: ") << WideToUtf8(refusal);
    }
    // Under Wine the system's check alone accepts every signature that
    // matches its file; the wrapper's own chain refuses the rest.
    std::printf("  %-20s the system's own check alone: 0x%08lx\n", WideToUtf8(c.File).c_str(),
                static_cast<unsigned long>(SystemVerdict(file)));
  }
}

TEST(Publisher, ParsesCommonNameAndOrganisation) {
  TPublisher p = ParsePublisher(L"Bountiq Test Partner|Bountiq Test Partner Ltd");
  EXPECT_EQ(p.CommonName, L"Bountiq Test Partner");
  EXPECT_EQ(p.Organisation, L"Bountiq Test Partner Ltd");
  EXPECT_TRUE(ParsePublisher(L"").IsAny());
  for (const wchar_t* bad : {L"no bar", L"|O", L"CN|", L"a|b|c"}) EXPECT_THROW(ParsePublisher(bad), Exception) << WideToUtf8(bad);
}

}  // namespace
