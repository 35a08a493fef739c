// Authenticode checks of programs the wrapper fetched before it starts them.
#pragma once

#include <windows.h>

#include <string>

#include "Velqora.System.SysUtils.h"

namespace Velqora {

// The publisher a signed program must come from: the common name and the
// organisation of its signing certificate's subject. Empty: any publisher
// whose certificate chains to a trusted root.
struct TPublisher {
  std::wstring CommonName;
  std::wstring Organisation;
  bool IsAny() const { return CommonName.empty() && Organisation.empty(); }
};

// "Common Name|Organisation"; "" for any publisher. Raises Exception for a
// text of another form.
TPublisher ParsePublisher(const std::wstring& AText);

// A program that is not signed as required; the message says why.
class EUntrustedFile : public Exception {
public:
  using Exception::Exception;
  const wchar_t* ClassName() const noexcept override { return L"EUntrustedFile"; }
};

// Verifies the file (its name, and an open handle through which it is
// read) carries a valid Authenticode signature: the system's signature
// check passes, a chain built here at the current time for code signing
// has no error (unknown revocation aside) and passes the Authenticode chain
// policy, and the signer is APublisher unless that is any. Raises
// EUntrustedFile when it is not, ESystemError when wintrust or crypt32
// cannot be bound.
void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher);

}  // namespace Velqora
