#include "Velqora.System.Win.Internet.h"

#include <wininet.h>

#include <exception>
#include <memory>

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {

// wininet is no KnownDLL: every function is bound at run time from the
// system folder.
template <typename F>
F Wininet(const char* AName) {
  return DllRoutines::Call<F>(L"wininet.dll", AName);
}

// An Internet handle, closed through the bound function.
class TInternetHandle {
public:
  explicit TInternetHandle(HINTERNET AHandle) : FHandle(AHandle) {}
  ~TInternetHandle() {
    if (FHandle) Wininet<BOOL(WINAPI*)(HINTERNET)>("InternetCloseHandle")(FHandle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

private:
  HINTERNET FHandle;
};

constexpr DWORD ReadChunk = 64 * 1024;  // each read costs a round through the system

}  // namespace

bool CrackURL(const std::wstring& AURL, TUrlParts& AParts) {
  AParts = {};
  try {
    wchar_t canonical[2084] = {};
    DWORD length = 2084;
    auto canonicalize = Wininet<BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD, DWORD)>("InternetCanonicalizeUrlW");
    if (!canonicalize(AURL.c_str(), canonical, &length, ICU_BROWSER_MODE)) return false;
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 32;
    parts.dwHostNameLength = 256;
    parts.dwUserNameLength = 128;
    parts.dwPasswordLength = 128;
    parts.dwUrlPathLength = 2048;
    parts.dwExtraInfoLength = 2048;
    auto crack = Wininet<BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPURL_COMPONENTSW)>("InternetCrackUrlW");
    if (!crack(canonical, 0, 0, &parts)) return false;
    if (parts.lpszHostName) AParts.HostName.assign(parts.lpszHostName, parts.dwHostNameLength);
    if (parts.lpszUrlPath) AParts.ObjectName = parts.lpszUrlPath;  // with query and fragment
    AParts.Scheme = parts.nScheme;
    AParts.Port = parts.nPort;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool CrackURL(const std::wstring& AURL, std::wstring& AHostName, std::wstring& AObjectName) {
  TUrlParts parts;
  bool result = CrackURL(AURL, parts);
  AHostName = parts.HostName;
  AObjectName = parts.ObjectName;
  return result;
}

bool InternetRequest(const std::wstring& AMethod, const std::wstring& AURL, const std::wstring& AHeaders,
                     const void* AOptional, DWORD AOptionalLength, DWORD& AStatusCode, TStream* AStream) {
  AStatusCode = 0;
  std::exception_ptr streamError;  // passes through to the caller
  try {
    Wininet<BOOL(WINAPI*)(LPCWSTR)>("DeleteUrlCacheEntryW")(AURL.c_str());
    TUrlParts url;
    if (!CrackURL(AURL, url) || url.HostName.empty() || url.ObjectName.empty()) return false;
    bool secure = url.Scheme == INTERNET_SCHEME_HTTPS;
    if (!secure && url.Scheme != INTERNET_SCHEME_HTTP) return false;  // never another protocol
    TInternetHandle session(Wininet<HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD)>("InternetOpenW")(
        nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    TInternetHandle connection(
        Wininet<HINTERNET(WINAPI*)(HINTERNET, LPCWSTR, INTERNET_PORT, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR)>(
            "InternetConnectW")(session.Get(), url.HostName.c_str(), url.Port, nullptr, nullptr,
                                INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (secure) flags |= INTERNET_FLAG_SECURE;  // certificate checks stay on
    TInternetHandle request(
        Wininet<HINTERNET(WINAPI*)(HINTERNET, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD, DWORD_PTR)>(
            "HttpOpenRequestW")(connection.Get(), AMethod.c_str(), url.ObjectName.c_str(), nullptr, nullptr,
                                nullptr, flags, 0));
    if (!request) return false;
    auto send = Wininet<BOOL(WINAPI*)(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD)>("HttpSendRequestW");
    if (!send(request.Get(), AHeaders.empty() ? nullptr : AHeaders.c_str(), DWORD(AHeaders.size()),
              const_cast<void*>(AOptional), AOptionalLength))
      return false;
    auto query = Wininet<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD)>("HttpQueryInfoW");
    DWORD status = 0, size = sizeof(status);
    if (query(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      AStatusCode = status;
    // The announced length, when there is one: the system's client takes a
    // connection that closes early for the end of the body.
    DWORD announced = 0;
    size = sizeof(announced);
    bool known = query(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr);
    uint64_t received = 0;
    auto read = Wininet<BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD)>("InternetReadFile");
    std::unique_ptr<char[]> buffer(new char[ReadChunk]);
    for (;;) {
      DWORD got = 0;
      if (!read(request.Get(), buffer.get(), ReadChunk, &got)) return false;
      if (got == 0) {  // the end of the body
        if (known && received != announced) {
          SetLastError(ERROR_INTERNET_CONNECTION_RESET);
          return false;
        }
        return true;
      }
      received += got;
      if (AStream) {
        try {
          AStream->Write(buffer.get(), got);
        } catch (...) {
          streamError = std::current_exception();
          break;
        }
      }
    }
  } catch (const Exception&) {
    return false;  // wininet could not be bound
  }
  std::rethrow_exception(streamError);  // after every handle is closed
}

bool InternetRequest(const std::wstring& AMethod, const std::wstring& AURL, TStream* AStream) {
  DWORD status;
  return InternetRequest(AMethod, AURL, L"", nullptr, 0, status, AStream);
}

}  // namespace Velqora
