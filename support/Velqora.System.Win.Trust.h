// Authenticode checks of programs the wrapper fetched before it starts them.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

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
// check passes, a chain built here for code signing has no error (unknown
// revocation aside) and passes the Authenticode chain policy, and the
// signer is APublisher unless that is any. The chain is built at the time
// of the signature's time stamp when it carries one that this check trusts
// (a legacy or an RFC 3161 counter-signature, valid, made over this
// signature, by a time-stamping authority whose chain was valid then, for
// a certificate not meant for lifetime signing), else at the current time.
// Raises EUntrustedFile when it is not, ESystemError when wintrust or
// crypt32 cannot be bound.
void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher);

// The chain policy check VerifySignedFile asks (none: the system's
// CertVerifyCertificateChainPolicy). A test puts its own in to see the
// chain's trust status and the policy's verdict each refuse on their own.
using TChainPolicyCheck = BOOL(WINAPI*)(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA,
                                        PCERT_CHAIN_POLICY_STATUS);
extern TChainPolicyCheck ChainPolicyCheck;

// What the check reads of an RFC 3161 time stamp's content (TSTInfo): the
// digest it stamps, the object identifier of that digest's algorithm, and
// the time it vouches for (to the second).
struct TTimeStampInfo {
  std::string HashAlgorithm;
  std::vector<BYTE> HashedMessage;
  FILETIME Time{};
};
// Reads a DER-encoded TSTInfo that fills AData exactly; none for anything
// else. The data comes from the downloaded file: nothing is read outside it.
std::optional<TTimeStampInfo> ReadTimeStampInfo(const BYTE* AData, size_t ASize);

}  // namespace Velqora
