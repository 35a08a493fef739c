// Authenticode checks of partner programs signed by the test script in
// every way that must be refused, under the test root, with and without
// time stamps; and the reading of an RFC 3161 time stamp's content.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrustedRoot.h"
#include "UniqueHandle.h"
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
    std::wstring File;
    bool AnyPublisher, ThePublisher;  // accepted with any publisher / with the one expected
  };
  std::vector<TCase> cases = {
      {L"signed.exe", true, true},
      {L"unsigned.exe", false, false},
      {L"tampered.exe", false, false},
      {L"other-publisher.exe", true, false},
      {L"other-organisation.exe", true, false},  // the expected name, another organisation
      {L"self-signed.exe", false, false},
      {L"expired.exe", false, false},
      {L"tls-server.exe", false, false},
      {L"untrusted-root.exe", false, false},
      // Stamped in 2020 under the root, but by a code-signing certificate,
      // not a time-stamping authority's.
      {L"expired-stamped-not-tsa.exe", false, false},
      // Stamped in 2020, but the certificate is for lifetime signing: its
      // signatures end with it.
      {L"expired-lifetime-stamped.exe", false, false},
  };
  // Each with a legacy time stamp (NAME.exe) and an RFC 3161 one
  // (NAME-rfc3161.exe). "expired" was valid through 2020.
  const TCase stamped[] = {
      {L"stamped", true, true},  // a valid certificate, stamped now
      {L"expired-stamped", true, true},  // stamped in 2020: judged then
      {L"expired-stamped-late", false, false},  // stamped in 2022
      {L"expired-stamped-untrusted", false, false},  // by an authority under an untrusted root
      {L"expired-stamped-tsa-not-valid-then", false, false},  // by an authority certified from 2023 on
      {L"expired-stamped-other-digest", false, false},  // a stamp of another signature
      {L"expired-stamped-broken", false, false},  // the authority's signature broken
  };
  for (const TCase& c : stamped)
    for (const wchar_t* kind : {L".exe", L"-rfc3161.exe"})
      cases.push_back({c.File + kind, c.AnyPublisher, c.ThePublisher});

  for (const TCase& c : cases) {
    std::wstring file = Testing::SignedPartners() + L"\\" + c.File;
    SCOPED_TRACE(WideToUtf8(c.File));
    // Read through a handle that lets nobody write, as the wrapper does.
    Velqora::TUniqueFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(handle);
    std::wstring anyRefusal;
    for (bool any : {true, false}) {
      std::wstring refusal;
      try {
        VerifySignedFile(file, handle.Get(), any ? TPublisher{} : publisher);
      } catch (const EUntrustedFile& e) {
        refusal = e.Message();
      }
      EXPECT_EQ(refusal.empty(), any ? c.AnyPublisher : c.ThePublisher)
          << (any ? "any publisher: " : "the publisher: ") << WideToUtf8(refusal);
      if (any) anyRefusal = refusal;
    }
    // Under Wine the system's check alone accepts every signature that
    // matches its file; the wrapper's own chain refuses the rest.
    std::printf("  %-46s the system's own check alone: 0x%08lx\n", WideToUtf8(c.File).c_str(),
                static_cast<unsigned long>(SystemVerdict(file)));
    // Why, for the record: which check caught which stamp.
    if (!anyRefusal.empty())
      std::printf("      %s\n", WideToUtf8(anyRefusal.substr(anyRefusal.find(L": ") + 2)).c_str());
  }
}

// Stand-ins for the system's chain policy: one that finds nothing wrong
// with any chain, one that refuses every chain (answering, as the system
// does, TRUE with the error in the status).
BOOL WINAPI AcceptingPolicy(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS AStatus) {
  AStatus->dwError = 0;
  return TRUE;
}
BOOL WINAPI RefusingPolicy(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS AStatus) {
  AStatus->dwError = DWORD(CERT_E_UNTRUSTEDROOT);
  return TRUE;
}

// The chain's trust status and the policy's verdict each refuse on their
// own: an expired signer without a time stamp (revocation offline, as it is
// here) is refused by the chain's status though the policy accepts it, and
// a properly signed program is refused when the policy says so.
TEST_F(TrustTest, TheChainsStatusAndThePolicyEachRefuseOnTheirOwn) {
  auto restore = ScopeExit([] { ChainPolicyCheck = nullptr; });
  const struct {
    const char* Name;
    TChainPolicyCheck Policy;
    const wchar_t* File;
    const wchar_t* Refusal;  // none: accepted
  } cases[] = {
      {"a policy that accepts everything, a proper signature", AcceptingPolicy, L"signed.exe", nullptr},
      {"a policy that accepts everything, an expired signer", AcceptingPolicy, L"expired.exe",
       L"the certificate chain has errors"},
      {"a policy that refuses, a proper signature", RefusingPolicy, L"signed.exe",
       L"the Authenticode policy refused the chain with 0x800B0109"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ChainPolicyCheck = c.Policy;
    const std::wstring file = Testing::SignedPartners() + L"\\" + c.File;
    Velqora::TUniqueFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(handle);
    std::wstring refusal;
    try {
      VerifySignedFile(file, handle.Get(), TPublisher{});
    } catch (const EUntrustedFile& e) {
      refusal = e.Message();
    }
    if (!c.Refusal)
      EXPECT_TRUE(refusal.empty()) << WideToUtf8(refusal);
    else
      EXPECT_NE(refusal.find(c.Refusal), std::wstring::npos) << WideToUtf8(refusal);
  }
}

// DER items for the time stamp contents below.
std::string Der(unsigned char ATag, const std::string& AContents) {
  std::string item(1, char(ATag));
  if (AContents.size() < 0x80) {
    item += char(AContents.size());
  } else {
    item += char(0x82);
    item += char(AContents.size() >> 8);
    item += char(AContents.size() & 0xFF);
  }
  return item + AContents;
}

// A TSTInfo with the time AGenTime, stamping ADigest by SHA-256; ARest
// follows the time.
std::string TimeStampInfo(const std::string& AGenTime, const std::string& ADigest = std::string(32, '\x5A'),
                          const std::string& ARest = "", const std::string& AVersion = "\x01") {
  const std::string sha256 = Der(0x06, "\x60\x86\x48\x01\x65\x03\x04\x02\x01") + Der(0x05, "");
  return Der(0x30, Der(0x02, AVersion) + Der(0x06, "\x2B\x06\x01\x04\x01") +
                       Der(0x30, Der(0x30, sha256) + Der(0x04, ADigest)) + Der(0x02, "\x07") + Der(0x18, AGenTime) +
                       ARest);
}

std::optional<TTimeStampInfo> Read(const std::string& ADer) {
  return ReadTimeStampInfo(reinterpret_cast<const BYTE*>(ADer.data()), ADer.size());
}

SYSTEMTIME SystemTime(const FILETIME& ATime) {
  SYSTEMTIME time{};
  FileTimeToSystemTime(&ATime, &time);
  return time;
}

TEST(TimeStampInfo, ReadsTheStampedDigestAndTimeToTheSecond) {
  struct TCase {
    const char* Name;
    std::string Der;
    size_t DigestSize;
  };
  const TCase cases[] = {
      {"plain", TimeStampInfo("20200601123456Z"), 32},
      {"fraction of a second", TimeStampInfo("20200601123456.789Z"), 32},
      {"optional fields after the time", TimeStampInfo("20200601123456Z", std::string(32, '\x5A'),
                                                       Der(0x30, Der(0x02, "\x01")) + Der(0x02, "\x11\x22")), 32},
      {"long form lengths", TimeStampInfo("20200601123456Z", std::string(300, '\x5A')), 300},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::optional<TTimeStampInfo> info = Read(c.Der);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->HashAlgorithm, "2.16.840.1.101.3.4.2.1");
    EXPECT_EQ(info->HashedMessage, std::vector<BYTE>(c.DigestSize, 0x5A));
    SYSTEMTIME t = SystemTime(info->Time);
    EXPECT_EQ((std::vector<int>{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
              (std::vector<int>{2020, 6, 1, 12, 34, 56, 0}));
  }
}

TEST(TimeStampInfo, RefusesEverythingElse) {
  const std::string good = TimeStampInfo("20200601123456Z");
  // Every cut of a good one, which must be read within its bounds.
  for (size_t size = 0; size < good.size(); ++size) EXPECT_FALSE(Read(good.substr(0, size))) << "cut at " << size;
  struct TCase {
    const char* Name;
    std::string Der;
  };
  const TCase cases[] = {
      {"trailing bytes", good + '\0'},
      {"version 2", TimeStampInfo("20200601123456Z", std::string(32, '\x5A'), "", "\x02")},
      {"local time", TimeStampInfo("20200601123456")},
      {"time with an offset", TimeStampInfo("20200601123456+0100")},
      {"dot without digits", TimeStampInfo("20200601123456.Z")},
      {"month 13", TimeStampInfo("20201301123456Z")},
      {"hour 24", TimeStampInfo("20200601243456Z")},
      {"letters in the time", TimeStampInfo("2020060112345xZ")},
      {"UTCTime instead", std::string(good).replace(good.find('\x18'), 1, "\x17")},
      {"length beyond the data", "\x30\x84\xFF\xFF\xFF\xF0" + good},
      {"length of five bytes", "\x30\x85\x00\x00\x00\x00\x10" + good},
      {"multi-byte tag", "\x1F\x81\x01\x00"},
      {"empty", ""},
  };
  for (const TCase& c : cases) EXPECT_FALSE(Read(c.Der)) << c.Name;
}

TEST(Publisher, ParsesCommonNameAndOrganisation) {
  TPublisher p = ParsePublisher(L"Bountiq Test Partner|Bountiq Test Partner Ltd");
  EXPECT_EQ(p.CommonName, L"Bountiq Test Partner");
  EXPECT_EQ(p.Organisation, L"Bountiq Test Partner Ltd");
  EXPECT_TRUE(ParsePublisher(L"").IsAny());
  for (const wchar_t* bad : {L"no bar", L"|O", L"CN|", L"a|b|c"}) EXPECT_THROW(ParsePublisher(bad), Exception) << WideToUtf8(bad);
}

}  // namespace
