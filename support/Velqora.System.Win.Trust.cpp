#include "Velqora.System.Win.Trust.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include "Velqora.DllRoutines.h"

namespace Velqora {

namespace {

// Neither wintrust nor crypt32 is a KnownDLL: both are bound at run time
// from the system folder.
template <typename F>
using TRoutine = DllRoutines::TRoutine<F>;
constinit TRoutine<LONG(WINAPI*)(HWND, GUID*, LPVOID)> WinVerifyTrust{L"wintrust.dll", "WinVerifyTrust"};
constinit TRoutine<CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE)> WTHelperProvDataFromStateData{
    L"wintrust.dll", "WTHelperProvDataFromStateData"};
constinit TRoutine<CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD)>
    WTHelperGetProvSignerFromChain{L"wintrust.dll", "WTHelperGetProvSignerFromChain"};
constinit TRoutine<CRYPT_PROVIDER_CERT*(WINAPI*)(CRYPT_PROVIDER_SGNR*, DWORD)> WTHelperGetProvCertFromChain{
    L"wintrust.dll", "WTHelperGetProvCertFromChain"};
constinit TRoutine<void(WINAPI*)(PCCERT_CHAIN_CONTEXT)> CertFreeCertificateChain{L"crypt32.dll",
                                                                                "CertFreeCertificateChain"};
constinit TRoutine<DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD)> CertGetNameStringW{
    L"crypt32.dll", "CertGetNameStringW"};
constinit TRoutine<BOOL(WINAPI*)(HCERTCHAINENGINE, PCCERT_CONTEXT, LPFILETIME, HCERTSTORE, PCERT_CHAIN_PARA, DWORD,
                                 LPVOID, PCCERT_CHAIN_CONTEXT*)>
    CertGetCertificateChain{L"crypt32.dll", "CertGetCertificateChain"};
constinit TRoutine<BOOL(WINAPI*)(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS)>
    CertVerifyCertificateChainPolicy{L"crypt32.dll", "CertVerifyCertificateChainPolicy"};

[[noreturn]] void Refuse(const std::wstring& AFileName, const std::wstring& AReason) {
  throw EUntrustedFile(Format(L"%s is not trusted: %s", {AFileName, AReason}));
}

// The data of the system's signature check; AFile is the file's name,
// AState the state to close or none.
struct TVerifyData {
  TVerifyData(const wchar_t* AFileName, HANDLE AFile, DWORD AStateAction, HANDLE AState) noexcept {
    File.cbStruct = sizeof(File);
    File.pcwszFilePath = AFileName;
    File.hFile = AFile;  // the file is read through the caller's handle
    Data.cbStruct = sizeof(Data);
    Data.dwUIChoice = WTD_UI_NONE;
    Data.fdwRevocationChecks = WTD_REVOKE_NONE;
    Data.dwUnionChoice = WTD_CHOICE_FILE;
    Data.pFile = &File;
    Data.dwStateAction = AStateAction;
    Data.hWVTStateData = AState;
    Data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  }
  TVerifyData(const TVerifyData&) = delete;
  TVerifyData& operator=(const TVerifyData&) = delete;
  WINTRUST_FILE_INFO File{};
  WINTRUST_DATA Data{};
  GUID Action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
};

// The first signer's certificate of a check's state; null when it holds
// none.
PCCERT_CONTEXT SignerCertificate(HANDLE AState) {
  auto data = WTHelperProvDataFromStateData.Get()(AState);
  if (!data) return nullptr;
  auto signer = WTHelperGetProvSignerFromChain.Get()(data, 0, FALSE, 0);
  if (!signer) return nullptr;
  auto cert = WTHelperGetProvCertFromChain.Get()(signer, 0);
  return cert ? cert->pCert : nullptr;
}

std::wstring SubjectAttribute(PCCERT_CONTEXT ACert, const char* AOid) {
  wchar_t text[256] = {};
  CertGetNameStringW.Get()(ACert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(AOid), text, 256);
  return text;
}

// Chain errors that only say revocation could not be checked.
constexpr DWORD RevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

}  // namespace

void FreeCertificateChain(PCCERT_CHAIN_CONTEXT AChain) noexcept {
  if (auto free = CertFreeCertificateChain.Find()) free(AChain);
}

void ReleaseVerifyState(HANDLE AState) noexcept {
  auto verify = WinVerifyTrust.Find();
  if (!verify) return;
  TVerifyData close(L"", nullptr, WTD_STATEACTION_CLOSE, AState);
  verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &close.Action, &close.Data);
}

TPublisher ParsePublisher(const std::wstring& AText) {
  if (AText.empty()) return {};
  size_t bar = AText.find(L'|');
  if (bar == std::wstring::npos || bar == 0 || bar + 1 == AText.size() || AText.find(L'|', bar + 1) != std::wstring::npos)
    throw Exception(L"A publisher is written \"Common Name|Organisation\": " + AText);
  return {AText.substr(0, bar), AText.substr(bar + 1)};
}

void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher) {
  auto verify = WinVerifyTrust.Get();
  TVerifyData check(AFileName.c_str(), AFile, WTD_STATEACTION_VERIFY, nullptr);
  LONG result = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &check.Action, &check.Data);
  TUniqueVerifyState state(check.Data.hWVTStateData);  // kept for a failed check as well
  if (result != 0)
    Refuse(AFileName, Format(L"the signature check failed with 0x%.8x", {uint64_t(uint32_t(result))}));
  PCCERT_CONTEXT signer = SignerCertificate(state.Get());
  if (!signer) Refuse(AFileName, L"no signer certificate");

  // The system's check alone accepts more than it should on some systems:
  // the chain is built here, for code signing, at the current time, with
  // the signature's own certificates as the only extra ones.
  LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof(para);
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
  PCCERT_CHAIN_CONTEXT context = nullptr;
  BOOL built = CertGetCertificateChain.Get()(nullptr, signer, nullptr, signer->hCertStore, &para,
                                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &context);
  DWORD error = GetLastError();
  TUniqueCertificateChain chain(context);
  if (!built || !chain) Refuse(AFileName, Format(L"no certificate chain (error %u)", {uint64_t(error)}));
  if (DWORD status = chain.Get()->TrustStatus.dwErrorStatus & ~RevocationUnknown)
    Refuse(AFileName, Format(L"the certificate chain has errors 0x%.8x", {uint64_t(status)}));

  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof(policyPara);
  policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  CERT_CHAIN_POLICY_STATUS policy{};
  policy.cbSize = sizeof(policy);
  if (!CertVerifyCertificateChainPolicy.Get()(CERT_CHAIN_POLICY_AUTHENTICODE, chain.Get(), &policyPara, &policy) ||
      policy.dwError != 0)
    Refuse(AFileName, Format(L"the Authenticode policy refused the chain with 0x%.8x", {uint64_t(policy.dwError)}));

  if (APublisher.IsAny()) return;
  std::wstring commonName = SubjectAttribute(signer, szOID_COMMON_NAME);
  std::wstring organisation = SubjectAttribute(signer, szOID_ORGANIZATION_NAME);
  if (commonName != APublisher.CommonName || organisation != APublisher.Organisation)
    Refuse(AFileName, Format(L"signed by \"%s|%s\", expected \"%s|%s\"",
                             {commonName, organisation, APublisher.CommonName, APublisher.Organisation}));
}

}  // namespace Velqora
