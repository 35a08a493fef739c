// Authenticode checks of programs the wrapper fetched before it starts them.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "UniqueHandle.h"
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

// Owners of what the checks hold, released through the bound functions;
// nothing happens when a function cannot be bound (the registry has
// stopped). Their release never raises.
void FreeCertificateChain(PCCERT_CHAIN_CONTEXT AChain) noexcept;
using TUniqueCertificateChain = TUniqueHandle<PCCERT_CHAIN_CONTEXT, FreeCertificateChain>;
// The state the system's signature check (generic verification) keeps for
// the signer's certificate.
void ReleaseVerifyState(HANDLE AState) noexcept;
using TUniqueVerifyState = TUniqueHandle<HANDLE, ReleaseVerifyState>;

// Verifies the file (its name, and an open handle through which it is
// read) carries a valid Authenticode signature: the system's signature
// check passes, a chain built here at the current time for code signing
// has no error (unknown revocation aside) and passes the Authenticode chain
// policy, and the signer is APublisher unless that is any. Raises
// EUntrustedFile when it is not, ESystemError when wintrust or crypt32
// cannot be bound.
void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher);

}  // namespace Velqora
