// One HTTP(S) request through the system's Internet client, the response
// body copied into a stream.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "UniqueHandle.h"
// The markup's character references belong to this unit too; they need no
// system header and have a source of their own.
#include "Velqora.System.Win.Internet.Entities.h"

namespace Velqora {

// Where a response body goes.
class TStream {
public:
  virtual ~TStream() = default;
  // Called once the answer's headers are in, before any of its body, with
  // its status and announced length (-1: none). Raises to refuse the body:
  // the request then ends without reading it and the error passes on.
  virtual void Begin(DWORD AStatusCode, int64_t AAnnouncedLength) {}
  // Raises when the bytes cannot be written (a full disk, say).
  virtual void Write(const void* AData, size_t ASize) = 0;
};

// How long a request waits for the server: to connect, to take what is
// sent, and each time for more of the answer. A build setting
// (BOUNTIQ_INTERNET_TIMEOUT_SECONDS); tests lower it.
extern DWORD InternetTimeoutMs;

// The parts of an address the request needs.
struct TUrlParts {
  std::wstring HostName;
  std::wstring ObjectName;  // path with query and fragment
  int Scheme = 0;           // INTERNET_SCHEME_HTTP or _HTTPS are fetched, no other
  WORD Port = 0;            // as written, else the scheme's own
};

// Canonicalises AURL (the part after "?" or "#" unchanged) and splits it.
bool CrackURL(const std::wstring& AURL, std::wstring& AHostName, std::wstring& AObjectName);
bool CrackURL(const std::wstring& AURL, TUrlParts& AParts);

// Sends the request and copies the body into AStream (none: discarded).
// True when the body was read to its end (a body shorter than its announced
// length is not: the connection broke; neither is a server that stays
// silent for InternetTimeoutMs), whatever the status, which AStatusCode
// receives (0 when no answer came). An error the stream raises passes on. "https" addresses go over
// TLS with certificate checks (port 443 unless the address names one);
// "http" addresses to port 80 unless they name one; other schemes fail.
bool InternetRequest(const std::wstring& AMethod, const std::wstring& AURL, const std::wstring& AHeaders,
                     const void* AOptional, DWORD AOptionalLength, DWORD& AStatusCode, TStream* AStream);
bool InternetRequest(const std::wstring& AMethod, const std::wstring& AURL, TStream* AStream);

// Closes an Internet handle through the bound function; nothing when the
// function cannot be bound (the registry has stopped). Never raises.
void CloseInternetHandle(HINTERNET AHandle) noexcept;
using TUniqueInternetHandle = TUniqueHandle<HINTERNET, CloseInternetHandle>;

// Whether a status code means success (2xx).
inline bool IsSuccessStatus(DWORD AStatusCode) { return AStatusCode >= 200 && AStatusCode < 300; }

}  // namespace Velqora
