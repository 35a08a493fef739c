#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <wincrypt.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "TestSupport.h"
#include "TrustedRoot.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Internet.h"
#include "Velqora.System.Win.Trust.h"
#include "Velqora.Units.h"

using namespace Velqora;

namespace {

// Collects a body in memory; can be told to fail like a full disk, or to
// refuse an answer of another status than 2xx.
struct TMemoryStream : TStream {
  void Begin(DWORD AStatusCode, int64_t AAnnouncedLength) override {
    Announced = AAnnouncedLength;
    if (RefuseErrors && !IsSuccessStatus(AStatusCode)) ThrowOSError(ERROR_INVALID_DATA);
  }
  void Write(const void* AData, size_t ASize) override {
    if (FailAfter && Bytes.size() + ASize > FailAfter) ThrowOSError(ERROR_DISK_FULL);
    Bytes.append(static_cast<const char*>(AData), ASize);
  }
  std::string Bytes;
  size_t FailAfter = 0;
  bool RefuseErrors = false;
  int64_t Announced = -2;  // not begun
};

std::string Pattern(size_t ASize) {
  std::string bytes(ASize, '\0');
  for (size_t i = 0; i < ASize; ++i) bytes[i] = char(i & 0xFF);
  return bytes;
}

class InternetTest : public ::testing::Test {
protected:
  void SetUp() override {
    Units.emplace(BindingUnits);
    const char* http = getenv("BOUNTIQ_HTTP_PORT");
    const char* https = getenv("BOUNTIQ_HTTPS_PORT");
    ASSERT_TRUE(http && https) << "run through internet_test.sh";
    Http = L"http://127.0.0.1:" + Utf8ToWide(http);
    Https = L"https://localhost:" + Utf8ToWide(https);
  }
  void TearDown() override { Units.reset(); }
  // The request lines the server saw.
  // The loopback server's requests so far; none before its first.
  static std::string ServerLog() {
    const std::wstring log = Utf8ToWide(getenv("BOUNTIQ_SERVER_LOG"));
    return Testing::FileExists(log) ? Testing::ReadBytes(log) : std::string();
  }

  std::optional<TUnitsScope> Units;
  std::wstring Http, Https;
};

TEST_F(InternetTest, CrackURLSplitsHostAndObjectKeepingTheQuery) {
  std::wstring host, object;
  ASSERT_TRUE(CrackURL(L"http://example.test/nano download.php?partner=VQ150801BNTQ&x=a b", host, object));
  EXPECT_EQ(host, L"example.test");
  EXPECT_EQ(object, L"/nano%20download.php?partner=VQ150801BNTQ&x=a b");  // only the path is encoded
  TUrlParts parts;
  ASSERT_TRUE(CrackURL(L"https://example.test:8443/a", parts));
  EXPECT_EQ(parts.Port, 8443);
  EXPECT_EQ(parts.Scheme, INTERNET_SCHEME_HTTPS);
  ASSERT_TRUE(CrackURL(L"https://example.test/a", parts));
  EXPECT_EQ(parts.Port, 443);
  ASSERT_TRUE(CrackURL(L"http://example.test/a", parts));
  EXPECT_EQ(parts.Port, 80);
  EXPECT_FALSE(CrackURL(L"not an address", host, object));
  EXPECT_FALSE(CrackURL(L"http://example.test/" + std::wstring(2100, L'a'), host, object));  // too long
}

TEST_F(InternetTest, DownloadsTheWholeBodyWithItsStatus) {
  for (size_t size : {size_t(0), size_t(1), size_t(65536), size_t(3 << 20) + 7}) {
    SCOPED_TRACE(size);
    TMemoryStream stream;
    DWORD status = 0;
    EXPECT_TRUE(InternetRequest(L"GET", Http + L"/bytes?size=" + std::to_wstring(size), L"", nullptr, 0, status,
                                &stream));
    EXPECT_EQ(status, 200u);
    EXPECT_TRUE(stream.Bytes == Pattern(size));
  }
}

TEST_F(InternetTest, TheQueryArrivesUnchanged) {
  TMemoryStream stream;
  ASSERT_TRUE(InternetRequest(L"GET", Http + L"/echo/nano_download.php?partner=VQ150801BNTQ", &stream));
  EXPECT_EQ(stream.Bytes, "/echo/nano_download.php?partner=VQ150801BNTQ");
}

TEST_F(InternetTest, ErrorStatusIsReportedAndACutBodyIsNoSuccess) {
  TMemoryStream page;
  DWORD status = 0;
  EXPECT_TRUE(InternetRequest(L"GET", Http + L"/status/404", L"", nullptr, 0, status, &page));
  EXPECT_EQ(status, 404u);  // read to its end, but the caller sees the status
  EXPECT_FALSE(IsSuccessStatus(status));
  EXPECT_EQ(page.Bytes, "status 404");

  TMemoryStream cut;
  EXPECT_FALSE(InternetRequest(L"GET", Http + L"/cut", L"", nullptr, 0, status, &cut));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_LE(cut.Bytes.size(), 1000u);  // what arrived before the break
}

// The stream sees the status and length before any of the body; refusing
// there ends the request without reading the body.
TEST_F(InternetTest, AStreamThatRefusesTheAnswerGetsNoneOfItsBody) {
  TMemoryStream page;
  page.RefuseErrors = true;
  DWORD status = 0;
  try {
    InternetRequest(L"GET", Http + L"/status/404?size=30000000", L"", nullptr, 0, status, &page);
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_INVALID_DATA));
  }
  EXPECT_EQ(status, 404u);
  EXPECT_EQ(page.Announced, 30000000);
  EXPECT_TRUE(page.Bytes.empty());
}

// A server that stops sending gives no success once the time-out has
// passed. (A chunked body cut before its last chunk is taken for whole by
// the system's client, which hides the chunks; the installer's signature
// check refuses such a file.)
TEST_F(InternetTest, AStalledAnswerEndsWithTheTimeOut) {
  const DWORD saved = InternetTimeoutMs;
  InternetTimeoutMs = 1500;
  auto restore = ScopeExit([&] { InternetTimeoutMs = saved; });
  // On a thread of its own with a bound a little above the time-out: a
  // request that ignored it would wait for the system's default and fail
  // the test instead of holding it up.
  struct TRequest {
    std::wstring URL;
    bool Answered = true;
    DWORD Status = 0;
    static DWORD WINAPI Proc(LPVOID AThis) {
      auto self = static_cast<TRequest*>(AThis);
      TMemoryStream stream;
      self->Answered = InternetRequest(L"GET", self->URL, L"", nullptr, 0, self->Status, &stream);
      return 0;
    }
  };
  auto request = new TRequest{Http + L"/stall"};  // left to a thread that hangs
  HANDLE thread = CreateThread(nullptr, 0, &TRequest::Proc, request, 0, nullptr);
  ASSERT_TRUE(thread);
  const DWORD waited = WaitForSingleObject(thread, InternetTimeoutMs + 5000);
  CloseHandle(thread);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the request waits beyond its time-out";
  EXPECT_FALSE(request->Answered);
  EXPECT_EQ(request->Status, 200u);
  delete request;
}

TEST_F(InternetTest, UnreachableServersAndOtherSchemesFail) {
  TMemoryStream stream;
  DWORD status = 7;
  EXPECT_FALSE(InternetRequest(L"GET", L"http://127.0.0.1:1/x", L"", nullptr, 0, status, &stream));
  EXPECT_EQ(status, 0u);
  EXPECT_FALSE(InternetRequest(L"GET", L"ftp://127.0.0.1/x", &stream));
  EXPECT_FALSE(InternetRequest(L"GET", L"file:///C:/windows/win.ini", &stream));
  // Another scheme on a port where a server does answer: refused at once,
  // before any connection (an FTP client would wait there for a greeting
  // the HTTP server never sends), and the server sees no request.
  const std::string before = ServerLog();
  const DWORD saved = InternetTimeoutMs;
  InternetTimeoutMs = 3000;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(InternetRequest(L"GET", L"ftp://127.0.0.1:" + Utf8ToWide(getenv("BOUNTIQ_HTTP_PORT")) + L"/ftp-probe",
                               &stream));
  EXPECT_LT(GetTickCount64() - start, 1000u) << "a connection was tried";
  InternetTimeoutMs = saved;
  EXPECT_EQ(ServerLog().find("ftp-probe", before.size()), std::string::npos);
  EXPECT_TRUE(stream.Bytes.empty());
}

TEST_F(InternetTest, HttpsGoesOverTlsAndChecksTheCertificate) {
  std::string before = ServerLog();
  TMemoryStream stream;
  DWORD status = 0;
  // The server's certificate is for localhost but from no trusted issuer.
  EXPECT_FALSE(InternetRequest(L"GET", Https + L"/bytes?size=10", L"", nullptr, 0, status, &stream));
  EXPECT_EQ(GetLastError(), 12045u);  // ERROR_INTERNET_INVALID_CA
  EXPECT_TRUE(stream.Bytes.empty());
  EXPECT_EQ(ServerLog(), before) << "nothing was asked in plain text";
}

TEST_F(InternetTest, AStreamThatCannotWritePassesItsErrorOn) {
  TMemoryStream stream;
  stream.FailAfter = 100000;
  try {
    InternetRequest(L"GET", Http + L"/bytes?size=1000000", &stream);
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_DISK_FULL));
  }
}

// ---- owners of handles whose release function is bound at run time ----

using TInternetOpen = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using TInternetClose = BOOL(WINAPI*)(HINTERNET);

// The caller reads the last error after the owners have gone (the installer
// logs a failed download with it): a release never changes it, even one
// that fails with an error of its own.
TEST_F(InternetTest, TheHandleOwnerKeepsTheCallersLastError) {
  HINTERNET session = DllRoutines::Call<TInternetOpen>(L"wininet.dll", "InternetOpenW")(
      nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_TRUE(session);
  // Closed already: the owner's release fails and sets an error.
  ASSERT_TRUE(DllRoutines::Call<TInternetClose>(L"wininet.dll", "InternetCloseHandle")(session));
  {
    TUniqueInternetHandle owner(session);
    SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
  }
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INTERNET_CANNOT_CONNECT));
}

void FreeCertificate(PCCERT_CONTEXT ACert) noexcept { CertFreeCertificateContext(ACert); }

// A release that cannot bind its function (the registry has stopped) does
// nothing and raises nothing: a destructor that raised would end the
// process.
TEST(BoundHandleOwners, ReleaseRaisesNothingOnceTheBindingRegistryHasStopped) {
  // The libraries stay mapped whatever the registry does.
  TUniqueModule wininet(LoadLibraryW(L"wininet.dll"));
  ASSERT_TRUE(wininet);
  std::string der = Testing::ReadBytes(Testing::SignedPartners() + L"\\root.der");
  TUniqueHandle<PCCERT_CONTEXT, FreeCertificate> cert(CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size())));
  ASSERT_TRUE(cert);
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof(para);
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  ASSERT_TRUE(CertGetCertificateChain(nullptr, cert.Get(), nullptr, nullptr, &para, 0, nullptr, &chain));

  Debug::TDebugLogFile::Start();
  DllRoutines::Start();
  HINTERNET session = DllRoutines::Call<TInternetOpen>(L"wininet.dll", "InternetOpenW")(
      nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_TRUE(session);
  auto sessionOwner = std::make_unique<TUniqueInternetHandle>(session);
  auto chainOwner = std::make_unique<TUniqueCertificateChain>(chain);
  DllRoutines::Stop();
  Debug::TDebugLogFile::Stop();
  EXPECT_NO_THROW(sessionOwner.reset());
  EXPECT_NO_THROW(chainOwner.reset());

  // What the owners could not release goes here.
  reinterpret_cast<TInternetClose>(reinterpret_cast<void*>(GetProcAddress(wininet.Get(), "InternetCloseHandle")))(
      session);
  CertFreeCertificateChain(chain);
}

}  // namespace
