#include "Velqora.System.Win.Trust.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "Velqora.DllRoutines.h"
#include "Velqora.System.Der.h"

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
constinit TRoutine<BOOL(WINAPI*)(PCCERT_CONTEXT, DWORD, PCERT_ENHKEY_USAGE, DWORD*)> CertGetEnhancedKeyUsage{
    L"crypt32.dll", "CertGetEnhancedKeyUsage"};
// The time stamps: read, hashed and their signatures checked here.
constinit TRoutine<BOOL(WINAPI*)(DWORD, LPCSTR, const BYTE*, DWORD, DWORD, PCRYPT_DECODE_PARA, void*, DWORD*)>
    CryptDecodeObjectEx{L"crypt32.dll", "CryptDecodeObjectEx"};
constinit TRoutine<BOOL(WINAPI*)(HCRYPTPROV_LEGACY, ALG_ID, DWORD, const BYTE*, DWORD, BYTE*, DWORD*)>
    CryptHashCertificate{L"crypt32.dll", "CryptHashCertificate"};
constinit TRoutine<HCRYPTMSG(WINAPI*)(DWORD, DWORD, DWORD, HCRYPTPROV_LEGACY, PCERT_INFO, PCMSG_STREAM_INFO)>
    CryptMsgOpenToDecode{L"crypt32.dll", "CryptMsgOpenToDecode"};
constinit TRoutine<BOOL(WINAPI*)(HCRYPTMSG, const BYTE*, DWORD, BOOL)> CryptMsgUpdate{L"crypt32.dll",
                                                                                     "CryptMsgUpdate"};
constinit TRoutine<BOOL(WINAPI*)(HCRYPTMSG, DWORD, DWORD, void*, DWORD*)> CryptMsgGetParam{L"crypt32.dll",
                                                                                          "CryptMsgGetParam"};
constinit TRoutine<BOOL(WINAPI*)(HCRYPTMSG, DWORD, DWORD, const void*)> CryptMsgControl{L"crypt32.dll",
                                                                                       "CryptMsgControl"};
constinit TRoutine<BOOL(WINAPI*)(HCRYPTMSG)> CryptMsgClose{L"crypt32.dll", "CryptMsgClose"};
constinit TRoutine<HCERTSTORE(WINAPI*)(LPCSTR, DWORD, HCRYPTPROV_LEGACY, DWORD, const void*)> CertOpenStore{
    L"crypt32.dll", "CertOpenStore"};
constinit TRoutine<BOOL(WINAPI*)(HCERTSTORE, DWORD)> CertCloseStore{L"crypt32.dll", "CertCloseStore"};
constinit TRoutine<PCCERT_CONTEXT(WINAPI*)(HCERTSTORE, DWORD, PCERT_INFO)> CertGetSubjectCertificateFromStore{
    L"crypt32.dll", "CertGetSubjectCertificateFromStore"};
constinit TRoutine<BOOL(WINAPI*)(PCCERT_CONTEXT)> CertFreeCertificateContext{L"crypt32.dll",
                                                                            "CertFreeCertificateContext"};

// Owners of what reading a time stamp holds; released like the chain.
void CloseMessage(HCRYPTMSG AMessage) noexcept {
  if (auto close = CryptMsgClose.Find()) close(AMessage);
}
using TUniqueMessage = TUniqueHandle<HCRYPTMSG, CloseMessage>;
void CloseStore(HCERTSTORE AStore) noexcept {
  if (auto close = CertCloseStore.Find()) close(AStore, 0);
}
using TUniqueStore = TUniqueHandle<HCERTSTORE, CloseStore>;
void FreeCertificate(PCCERT_CONTEXT ACert) noexcept {
  if (auto free = CertFreeCertificateContext.Find()) free(ACert);
}
using TUniqueCertificate = TUniqueHandle<PCCERT_CONTEXT, FreeCertificate>;

constexpr DWORD Encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
using TBytes = std::span<const BYTE>;

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

// The first signer of a check's state, and its certificate; null when the
// state holds none.
CRYPT_PROVIDER_SGNR* FirstSigner(HANDLE AState) {
  auto data = WTHelperProvDataFromStateData.Get()(AState);
  return data ? WTHelperGetProvSignerFromChain.Get()(data, 0, FALSE, 0) : nullptr;
}
PCCERT_CONTEXT SignerCertificate(CRYPT_PROVIDER_SGNR* ASigner) {
  auto cert = ASigner ? WTHelperGetProvCertFromChain.Get()(ASigner, 0) : nullptr;
  return cert ? cert->pCert : nullptr;
}

std::wstring SubjectAttribute(PCCERT_CONTEXT ACert, const char* AOid) {
  wchar_t text[256] = {};
  CertGetNameStringW.Get()(ACert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(AOid), text, 256);
  return text;
}

// Chain errors that only say revocation could not be checked.
constexpr DWORD RevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// Builds ACert's chain at ATime (null: now) for AUsage with AStore as the
// extra certificates; none when no chain can be built.
TUniqueCertificateChain BuildChain(PCCERT_CONTEXT ACert, const FILETIME* ATime, HCERTSTORE AStore, const char* AUsage,
                                   DWORD& AError) {
  LPSTR usage[] = {const_cast<LPSTR>(AUsage)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof(para);
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
  FILETIME time = ATime ? *ATime : FILETIME{};
  PCCERT_CHAIN_CONTEXT context = nullptr;
  BOOL built = CertGetCertificateChain.Get()(nullptr, ACert, ATime ? &time : nullptr, AStore, &para,
                                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &context);
  AError = GetLastError();
  TUniqueCertificateChain chain(context);
  if (!built) chain.Reset();
  return chain;
}

// DER is read by the portable unit (Velqora.System.Der).
using Der::TakeItem;
using Der::OnlyItem;
using Der::AppendItem;
using TDerItem = Der::TItem;

// ---- Checking a time stamp.

// The digest algorithms a time stamp may use.
struct THashAlgorithm {
  const char* Oid;
  ALG_ID Id;
};
constexpr THashAlgorithm HashAlgorithms[] = {{szOID_OIWSEC_sha1, CALG_SHA1},
                                             {szOID_NIST_sha256, CALG_SHA_256},
                                             {szOID_NIST_sha384, CALG_SHA_384},
                                             {szOID_NIST_sha512, CALG_SHA_512}};

// The digest of AData by the algorithm AOid names; empty for another
// algorithm.
std::vector<BYTE> Digest(const std::string& AOid, TBytes AData) {
  for (const THashAlgorithm& algorithm : HashAlgorithms) {
    if (AOid != algorithm.Oid) continue;
    BYTE digest[64];
    DWORD size = sizeof(digest);
    if (!CryptHashCertificate.Get()(0, algorithm.Id, 0, AData.data(), DWORD(AData.size()), digest, &size)) return {};
    return {digest, digest + size};
  }
  return {};
}

bool SameBytes(TBytes A, TBytes B) { return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin()); }
TBytes BlobBytes(const CRYPT_DATA_BLOB& ABlob) { return {ABlob.pbData, ABlob.cbData}; }

// AEncoded decoded as AStructType, in memory crypt32 allocates; none when
// it cannot be decoded.
TUniqueLocalMemory Decode(LPCSTR AStructType, TBytes AEncoded) {
  void* decoded = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx.Get()(Encoding, AStructType, AEncoded.data(), DWORD(AEncoded.size()),
                                 CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
    return {};
  return TUniqueLocalMemory(decoded);
}

// The value of the attribute AOid when AAttributes hold it once with one
// value; null otherwise.
const CRYPT_ATTR_BLOB* OnlyValue(const CRYPT_ATTRIBUTES& AAttributes, const char* AOid) {
  const CRYPT_ATTR_BLOB* value = nullptr;
  for (DWORD i = 0; i < AAttributes.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = AAttributes.rgAttr[i];
    if (std::strcmp(attribute.pszObjId, AOid) != 0) continue;
    if (value || attribute.cValue != 1) return nullptr;
    value = &attribute.rgValue[0];
  }
  return value;
}

// Whether the messageDigest attribute of AAttributes is the digest of
// AContent by AAlgorithm. crypt32 compares it itself on Windows, Wine's
// does not: it is compared here.
bool DigestAttributeIs(const CRYPT_ATTRIBUTES& AAttributes, const char* AAlgorithm, TBytes AContent) {
  const CRYPT_ATTR_BLOB* value = OnlyValue(AAttributes, szOID_RSA_messageDigest);
  if (!value || !AAlgorithm) return false;
  TUniqueLocalMemory stated = Decode(X509_OCTET_STRING, BlobBytes(*value));
  std::vector<BYTE> digest = Digest(AAlgorithm, AContent);
  return stated && !digest.empty() && SameBytes(BlobBytes(*static_cast<CRYPT_DATA_BLOB*>(stated.Get())), digest);
}

// A message parameter, in a buffer of its own; empty when the message has
// none.
std::vector<BYTE> MessageParam(HCRYPTMSG AMessage, DWORD AType, DWORD AIndex) {
  DWORD size = 0;
  if (!CryptMsgGetParam.Get()(AMessage, AType, AIndex, nullptr, &size) || size == 0) return {};
  std::vector<BYTE> param(size);
  if (!CryptMsgGetParam.Get()(AMessage, AType, AIndex, param.data(), &size)) return {};
  param.resize(size);
  return param;
}

// Whether signer 0 of AMessage, a signed message whose content has been
// read, signed it with ACert's key.
bool IsSignedBy(HCRYPTMSG AMessage, PCCERT_CONTEXT ACert) {
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA para{};
  para.cbSize = sizeof(para);
  para.dwSignerIndex = 0;
  para.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  para.pvSigner = const_cast<CERT_CONTEXT*>(ACert);
  return CryptMsgControl.Get()(AMessage, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &para);
}

// What the chain policy APolicy finds wrong with AChain, unknown revocation
// ignored (its error, 0 when the check itself failed); none when nothing.
std::optional<DWORD> PolicyRefusal(LPCSTR APolicy, PCCERT_CHAIN_CONTEXT AChain) {
  CERT_CHAIN_POLICY_PARA para{};
  para.cbSize = sizeof(para);
  para.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof(status);
  const TChainPolicyCheck check = ChainPolicyCheck ? ChainPolicyCheck : CertVerifyCertificateChainPolicy.Get();
  if (check(APolicy, AChain, &para, &status) && status.dwError == 0) return {};
  return status.dwError;
}

// Whether ACert was a time-stamping authority trusted at ATime: its chain
// built then, for time stamping, with AStore as the extra certificates, has
// no error and passes the base policy.
bool IsTrustedStamper(PCCERT_CONTEXT ACert, const FILETIME& ATime, HCERTSTORE AStore, std::wstring& AWhyNot) {
  DWORD error = 0;
  TUniqueCertificateChain chain = BuildChain(ACert, &ATime, AStore, szOID_PKIX_KP_TIMESTAMP_SIGNING, error);
  if (!chain) {
    AWhyNot = Format(L"its authority has no certificate chain (error %u)", {uint64_t(error)});
    return false;
  }
  if (DWORD status = chain.Get()->TrustStatus.dwErrorStatus & ~RevocationUnknown) {
    AWhyNot = Format(L"its authority's certificate chain has errors 0x%.8x at the time it states", {uint64_t(status)});
    return false;
  }
  if (std::optional<DWORD> refused = PolicyRefusal(CERT_CHAIN_POLICY_BASE, chain.Get())) {
    AWhyNot = Format(L"the base policy refused its authority's chain with 0x%.8x", {uint64_t(*refused)});
    return false;
  }
  return true;
}

// Whether ACounterSignature (a DER SignerInfo) is a valid signature of
// AContent by ACert. crypt32 checks it as the only signer of a detached
// signed message of AContent: ContentInfo { signedData, [0] SignedData {
// version 1, { its digest algorithm }, ContentInfo { data }, { it } } }.
bool IsValidSignatureOf(TBytes ACounterSignature, TBytes AContent, PCCERT_CONTEXT ACert) {
  // SignerInfo ::= SEQUENCE { version, issuerAndSerialNumber,
  //   digestAlgorithm, ... }
  TDerItem info, version, issuer, algorithm;
  if (!OnlyItem(ACounterSignature, 0x30, info)) return false;
  TBytes fields = info.Contents;
  if (!TakeItem(fields, 0x02, version) || !TakeItem(fields, 0x30, issuer) || !TakeItem(fields, 0x30, algorithm))
    return false;
  static constexpr BYTE Version1[] = {0x02, 0x01, 0x01};
  static constexpr BYTE DataContentInfo[] = {0x30, 0x0B, 0x06, 0x09, 0x2A, 0x86, 0x48,
                                             0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
  static constexpr BYTE SignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
  std::vector<BYTE> signedData(std::begin(Version1), std::end(Version1));
  AppendItem(signedData, 0x31, algorithm.Whole);
  signedData.insert(signedData.end(), std::begin(DataContentInfo), std::end(DataContentInfo));
  AppendItem(signedData, 0x31, ACounterSignature);
  std::vector<BYTE> explicitData, contentInfo(std::begin(SignedDataOid), std::end(SignedDataOid)), message;
  AppendItem(explicitData, 0x30, signedData);
  AppendItem(contentInfo, 0xA0, explicitData);
  AppendItem(message, 0x30, contentInfo);
  TUniqueMessage check(CryptMsgOpenToDecode.Get()(Encoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
  return check && CryptMsgUpdate.Get()(check.Get(), message.data(), DWORD(message.size()), TRUE) &&
         CryptMsgUpdate.Get()(check.Get(), AContent.data(), DWORD(AContent.size()), TRUE) &&
         IsSignedBy(check.Get(), ACert);
}

// The time of a legacy (PKCS #9) counter-signature AStamp of ASigner, when
// it is trusted: it signs the digest of ASigner's encrypted digest, and its
// signer, found among the signature's certificates AStore, is a trusted
// time-stamping authority at the signing time it states.
std::optional<FILETIME> LegacyStampTime(const CMSG_SIGNER_INFO& ASigner, TBytes AStamp, HCERTSTORE AStore,
                                        std::wstring& AWhyNot) {
  TUniqueLocalMemory decoded = Decode(PKCS7_SIGNER_INFO, AStamp);
  if (!decoded) {
    AWhyNot = L"it cannot be read";
    return {};
  }
  const auto& stamp = *static_cast<const CMSG_SIGNER_INFO*>(decoded.Get());
  TBytes signature = BlobBytes(ASigner.EncryptedHash);
  if (!DigestAttributeIs(stamp.AuthAttrs, stamp.HashAlgorithm.pszObjId, signature)) {
    AWhyNot = L"it does not state the digest of this signature";
    return {};
  }
  const CRYPT_ATTR_BLOB* timeValue = OnlyValue(stamp.AuthAttrs, szOID_RSA_signingTime);
  FILETIME time{};
  DWORD size = sizeof(time);
  if (!timeValue || !CryptDecodeObjectEx.Get()(Encoding, PKCS_UTC_TIME, timeValue->pbData, timeValue->cbData, 0,
                                                nullptr, &time, &size)) {
    AWhyNot = L"it states no time";
    return {};
  }
  CERT_INFO id{};
  id.Issuer = stamp.Issuer;
  id.SerialNumber = stamp.SerialNumber;
  TUniqueCertificate cert(CertGetSubjectCertificateFromStore.Get()(AStore, Encoding, &id));
  if (!cert) {
    AWhyNot = L"its authority's certificate is not in the signature";
    return {};
  }
  if (!IsValidSignatureOf(AStamp, signature, cert.Get())) {
    AWhyNot = L"its signature is not valid";
    return {};
  }
  if (!IsTrustedStamper(cert.Get(), time, AStore, AWhyNot)) return {};
  return time;
}

// The time of an RFC 3161 time-stamp token AStamp of ASigner, when it is
// trusted: its one signer, found among the token's certificates, signs its
// content, which stamps the digest of ASigner's encrypted digest, and is a
// trusted time-stamping authority at the time the content states.
std::optional<FILETIME> Rfc3161StampTime(const CMSG_SIGNER_INFO& ASigner, TBytes AStamp, std::wstring& AWhyNot) {
  TUniqueMessage token(CryptMsgOpenToDecode.Get()(Encoding, 0, 0, 0, nullptr, nullptr));
  if (!token || !CryptMsgUpdate.Get()(token.Get(), AStamp.data(), DWORD(AStamp.size()), TRUE)) {
    AWhyNot = L"it cannot be read";
    return {};
  }
  std::vector<BYTE> type = MessageParam(token.Get(), CMSG_INNER_CONTENT_TYPE_PARAM, 0);
  DWORD signers = 0;
  DWORD size = sizeof(signers);
  if (std::string(type.begin(), std::find(type.begin(), type.end(), 0)) != szOID_TIMESTAMP_TOKEN ||
      !CryptMsgGetParam.Get()(token.Get(), CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) || signers != 1) {
    AWhyNot = L"it is not a time-stamp token of one signer";
    return {};
  }
  std::vector<BYTE> signerInfo = MessageParam(token.Get(), CMSG_SIGNER_INFO_PARAM, 0);
  std::vector<BYTE> certInfo = MessageParam(token.Get(), CMSG_SIGNER_CERT_INFO_PARAM, 0);
  TUniqueStore store(CertOpenStore.Get()(CERT_STORE_PROV_MSG, Encoding, 0, 0, token.Get()));
  TUniqueCertificate cert;
  if (!signerInfo.empty() && !certInfo.empty() && store)
    cert.Reset(CertGetSubjectCertificateFromStore.Get()(store.Get(), Encoding,
                                                        reinterpret_cast<CERT_INFO*>(certInfo.data())));
  if (!cert) {
    AWhyNot = L"its authority's certificate is not in the token";
    return {};
  }
  if (!IsSignedBy(token.Get(), cert.Get())) {
    AWhyNot = L"its signature is not valid";
    return {};
  }
  // The content is the DER TSTInfo; Wine's crypt32 hands it out still
  // wrapped in its OCTET STRING.
  std::vector<BYTE> content = MessageParam(token.Get(), CMSG_CONTENT_PARAM, 0);
  TBytes tstInfo = content;
  TDerItem wrapped;
  if (OnlyItem(content, 0x04, wrapped)) tstInfo = wrapped.Contents;
  const auto& tokenSigner = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
  if (!DigestAttributeIs(tokenSigner.AuthAttrs, tokenSigner.HashAlgorithm.pszObjId, tstInfo)) {
    AWhyNot = L"its signature is not over its content";
    return {};
  }
  std::optional<TTimeStampInfo> stamped = ReadTimeStampInfo(tstInfo.data(), tstInfo.size());
  if (!stamped) {
    AWhyNot = L"its content cannot be read";
    return {};
  }
  std::vector<BYTE> digest = Digest(stamped->HashAlgorithm, BlobBytes(ASigner.EncryptedHash));
  if (digest.empty() || !SameBytes(digest, stamped->HashedMessage)) {
    AWhyNot = L"it does not stamp the digest of this signature";
    return {};
  }
  if (!IsTrustedStamper(cert.Get(), stamped->Time, store.Get(), AWhyNot)) return {};
  return stamped->Time;
}

// Whether ACert has the lifetime-signing usage: its signatures end with it,
// time stamp or not.
bool IsForLifetimeSigning(PCCERT_CONTEXT ACert) {
  DWORD size = 0;
  if (!CertGetEnhancedKeyUsage.Get()(ACert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size) || size == 0)
    return false;
  std::vector<BYTE> buffer(size);
  auto usage = reinterpret_cast<PCERT_ENHKEY_USAGE>(buffer.data());
  if (!CertGetEnhancedKeyUsage.Get()(ACert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) return false;
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
    if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_KP_LIFETIME_SIGNING) == 0) return true;
  return false;
}

// The time to judge ASigner's certificate ACert at: that of its first time
// stamp this check trusts; none, the current time, when it trusts none.
// AWhyNot says why the last stamp looked at was not trusted. The signature's
// certificates are AStore. The system's check leaves its own answer in the
// signer's sftVerifyAsOf, but Wine takes that from a legacy
// counter-signature it has not checked: it is not used.
std::optional<FILETIME> TimeStampTime(const CMSG_SIGNER_INFO& ASigner, PCCERT_CONTEXT ACert, HCERTSTORE AStore,
                                      std::wstring& AWhyNot) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  for (DWORD i = 0; i < ASigner.UnauthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = ASigner.UnauthAttrs.rgAttr[i];
    bool legacy = std::strcmp(attribute.pszObjId, szOID_RSA_counterSign) == 0;
    if (!legacy && std::strcmp(attribute.pszObjId, szOID_RFC3161_counterSign) != 0) continue;
    if (IsForLifetimeSigning(ACert)) {
      AWhyNot = L"the certificate is for lifetime signing";
      return {};
    }
    for (DWORD v = 0; v < attribute.cValue; ++v) {
      std::wstring why;
      TBytes stamp = BlobBytes(attribute.rgValue[v]);
      std::optional<FILETIME> time =
          legacy ? LegacyStampTime(ASigner, stamp, AStore, why) : Rfc3161StampTime(ASigner, stamp, why);
      if (time && CompareFileTime(&*time, &now) > 0) {
        time.reset();
        why = L"it states a time to come";
      }
      if (time) return time;
      AWhyNot = Format(L"its %s time stamp is not trusted: %s", {std::wstring(legacy ? L"legacy" : L"RFC 3161"), why});
    }
  }
  return {};
}

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

std::optional<TTimeStampInfo> ReadTimeStampInfo(const BYTE* AData, size_t ASize) {
  std::optional<Der::TTimeStamp> read = Der::ReadTimeStamp(TBytes(AData, ASize));
  if (!read) return {};
  SYSTEMTIME time{};
  time.wYear = read->Time.Year;
  time.wMonth = read->Time.Month;
  time.wDay = read->Time.Day;
  time.wHour = read->Time.Hour;
  time.wMinute = read->Time.Minute;
  time.wSecond = read->Time.Second;
  TTimeStampInfo result;
  if (!SystemTimeToFileTime(&time, &result.Time)) return {};  // such as the 31st of April
  result.HashAlgorithm = std::move(read->HashAlgorithm);
  result.HashedMessage = std::move(read->HashedMessage);
  return result;
}

TChainPolicyCheck ChainPolicyCheck = nullptr;

void VerifySignedFile(const std::wstring& AFileName, HANDLE AFile, const TPublisher& APublisher) {
  auto verify = WinVerifyTrust.Get();
  TVerifyData check(AFileName.c_str(), AFile, WTD_STATEACTION_VERIFY, nullptr);
  LONG result = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &check.Action, &check.Data);
  TUniqueVerifyState state(check.Data.hWVTStateData);  // kept for a failed check as well
  if (result != 0)
    Refuse(AFileName, Format(L"the signature check failed with 0x%.8x", {uint64_t(uint32_t(result))}));
  CRYPT_PROVIDER_SGNR* provSigner = FirstSigner(state.Get());
  PCCERT_CONTEXT signer = SignerCertificate(provSigner);
  if (!signer) Refuse(AFileName, L"no signer certificate");

  // The system's check alone accepts more than it should on some systems:
  // the chain is built here, for code signing, with the signature's own
  // certificates as the only extra ones, at the time of a time stamp this
  // check trusts, else now.
  std::wstring whyNotStamped;
  std::optional<FILETIME> stamped;
  if (provSigner->psSigner) stamped = TimeStampTime(*provSigner->psSigner, signer, signer->hCertStore, whyNotStamped);
  std::wstring when = stamped ? L"at the time of its time stamp"
                              : whyNotStamped.empty() ? L"now" : L"now (" + whyNotStamped + L")";
  DWORD error = 0;
  TUniqueCertificateChain chain =
      BuildChain(signer, stamped ? &*stamped : nullptr, signer->hCertStore, szOID_PKIX_KP_CODE_SIGNING, error);
  if (!chain) Refuse(AFileName, Format(L"no certificate chain (error %u)", {uint64_t(error)}));
  if (DWORD status = chain.Get()->TrustStatus.dwErrorStatus & ~RevocationUnknown)
    Refuse(AFileName, Format(L"the certificate chain has errors 0x%.8x %s", {uint64_t(status), when}));

  if (std::optional<DWORD> refused = PolicyRefusal(CERT_CHAIN_POLICY_AUTHENTICODE, chain.Get()))
    Refuse(AFileName, Format(L"the Authenticode policy refused the chain with 0x%.8x %s", {uint64_t(*refused), when}));

  if (APublisher.IsAny()) return;
  std::wstring commonName = SubjectAttribute(signer, szOID_COMMON_NAME);
  std::wstring organisation = SubjectAttribute(signer, szOID_ORGANIZATION_NAME);
  if (commonName != APublisher.CommonName || organisation != APublisher.Organisation)
    Refuse(AFileName, Format(L"signed by \"%s|%s\", expected \"%s|%s\"",
                             {commonName, organisation, APublisher.CommonName, APublisher.Organisation}));
}

}  // namespace Velqora
