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
F Wintrust(const char* AName) {
  return DllRoutines::Call<F>(L"wintrust.dll", AName);
}
template <typename F>
F Crypt32(const char* AName) {
  return DllRoutines::Call<F>(L"crypt32.dll", AName);
}

[[noreturn]] void Refuse(const std::wstring& AFileName, const std::wstring& AReason) {
  throw EUntrustedFile(Format(L"%s is not trusted: %s", {AFileName, AReason}));
}

// The system's signature check, with its state kept for the signer's
// certificate; the state is released with the object.
class TSignatureCheck {
public:
  TSignatureCheck(const std::wstring& AFileName, HANDLE AFile)
      : FVerify(Wintrust<TWinVerifyTrust>("WinVerifyTrust")) {
    FFileInfo.cbStruct = sizeof(FFileInfo);
    FFileInfo.pcwszFilePath = AFileName.c_str();
    FFileInfo.hFile = AFile;  // the file is read through the caller's handle
    FData.cbStruct = sizeof(FData);
    FData.dwUIChoice = WTD_UI_NONE;
    FData.fdwRevocationChecks = WTD_REVOKE_NONE;
    FData.dwUnionChoice = WTD_CHOICE_FILE;
    FData.pFile = &FFileInfo;
    FData.dwStateAction = WTD_STATEACTION_VERIFY;
    FData.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    Result = FVerify(static_cast<HWND>(INVALID_HANDLE_VALUE), &FAction, &FData);
  }
  ~TSignatureCheck() {
    FData.dwStateAction = WTD_STATEACTION_CLOSE;
    FVerify(static_cast<HWND>(INVALID_HANDLE_VALUE), &FAction, &FData);
  }
  TSignatureCheck(const TSignatureCheck&) = delete;
  TSignatureCheck& operator=(const TSignatureCheck&) = delete;

  // The first signer's certificate; null when the state holds none.
  PCCERT_CONTEXT SignerCertificate() const {
    auto data = Wintrust<CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE)>("WTHelperProvDataFromStateData")(FData.hWVTStateData);
    if (!data) return nullptr;
    auto signer = Wintrust<CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD)>(
        "WTHelperGetProvSignerFromChain")(data, 0, FALSE, 0);
    if (!signer) return nullptr;
    auto cert = Wintrust<CRYPT_PROVIDER_CERT*(WINAPI*)(CRYPT_PROVIDER_SGNR*, DWORD)>("WTHelperGetProvCertFromChain")(
        signer, 0);
    return cert ? cert->pCert : nullptr;
  }

  LONG Result;

private:
  using TWinVerifyTrust = LONG(WINAPI*)(HWND, GUID*, LPVOID);
  TWinVerifyTrust FVerify;
  GUID FAction = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO FFileInfo{};
  WINTRUST_DATA FData{};
};

// A chain context, freed with the object.
class TChain {
public:
  TChain() = default;
  ~TChain() {
    if (Context) Crypt32<void(WINAPI*)(PCCERT_CHAIN_CONTEXT)>("CertFreeCertificateChain")(Context);
  }
  TChain(const TChain&) = delete;
  TChain& operator=(const TChain&) = delete;
  PCCERT_CHAIN_CONTEXT Context = nullptr;
};

std::wstring SubjectAttribute(PCCERT_CONTEXT ACert, const char* AOid) {
  auto name = Crypt32<DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD)>("CertGetNameStringW");
  wchar_t text[256] = {};
  name(ACert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(AOid), text, 256);
  return text;
}

// Chain errors that only say revocation could not be checked.
constexpr DWORD RevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

}  // namespace

TPublisher ParsePublisher(const std::wstring& AText) {
  if (AText.empty()) return {};
  size_t bar = AText.find(L'|');
  if (bar == std::wstring::npos || bar == 0 || bar + 1 == AText.size() || AText.find(L'|', bar + 1) != std::wstring::npos)
    throw Exception(L"A publisher is written \"Common Name|Organisation\": " + AText);
  return {AText.substr(0, bar), AText.substr(bar + 1)};
}

void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher) {
  TSignatureCheck check(AFileName, AFile);
  if (check.Result != 0)
    Refuse(AFileName, Format(L"the signature check failed with 0x%.8x", {uint64_t(uint32_t(check.Result))}));
  PCCERT_CONTEXT signer = check.SignerCertificate();
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
  TChain chain;
  auto build = Crypt32<BOOL(WINAPI*)(HCERTCHAINENGINE, PCCERT_CONTEXT, LPFILETIME, HCERTSTORE, PCERT_CHAIN_PARA, DWORD,
                                     LPVOID, PCCERT_CHAIN_CONTEXT*)>("CertGetCertificateChain");
  if (!build(nullptr, signer, nullptr, signer->hCertStore, &para, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr,
             &chain.Context) || !chain.Context)
    Refuse(AFileName, Format(L"no certificate chain (error %u)", {uint64_t(GetLastError())}));
  if (DWORD status = chain.Context->TrustStatus.dwErrorStatus & ~RevocationUnknown)
    Refuse(AFileName, Format(L"the certificate chain has errors 0x%.8x", {uint64_t(status)}));

  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof(policyPara);
  policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  CERT_CHAIN_POLICY_STATUS policy{};
  policy.cbSize = sizeof(policy);
  auto verify = Crypt32<BOOL(WINAPI*)(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS)>(
      "CertVerifyCertificateChainPolicy");
  if (!verify(CERT_CHAIN_POLICY_AUTHENTICODE, chain.Context, &policyPara, &policy) || policy.dwError != 0)
    Refuse(AFileName, Format(L"the Authenticode policy refused the chain with 0x%.8x", {uint64_t(policy.dwError)}));

  if (APublisher.IsAny()) return;
  std::wstring commonName = SubjectAttribute(signer, szOID_COMMON_NAME);
  std::wstring organisation = SubjectAttribute(signer, szOID_ORGANIZATION_NAME);
  if (commonName != APublisher.CommonName || organisation != APublisher.Organisation)
    Refuse(AFileName, Format(L"signed by \"%s|%s\", expected \"%s|%s\"",
                             {commonName, organisation, APublisher.CommonName, APublisher.Organisation}));
}

}  // namespace Velqora
