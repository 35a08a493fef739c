#include "Velqora.System.Win.Registry.h"

#include <cstring>
#include <utility>

#include "Velqora.Winapi.AdvApi32.h"

namespace Velqora {

namespace {

constexpr REGSAM ViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

struct TRootName {
  HKEY Root;
  const wchar_t* Full;
  const wchar_t* Short;
};
const TRootName RootNames[] = {
    {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"HKCR"},   {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"HKCU"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"HKLM"}, {HKEY_USERS, L"HKEY_USERS", L"HKU"},
    {HKEY_PERFORMANCE_DATA, L"HKEY_PERFORMANCE_DATA", L"HKPD"}, {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG", L"HKCC"},
    {HKEY_DYN_DATA, L"HKEY_DYN_DATA", L"HKDD"},
};

[[noreturn]] void RegistryError(const wchar_t* AFormat, const std::wstring& AName) {
  throw ERegistryException(Format(AFormat, {AName}));
}

bool IsAbsolute(const std::wstring& AKey) { return !AKey.empty() && AKey[0] == L'\\'; }

bool KeyInfo(HKEY AKey, TRegKeyInfo& AInfo) {
  AInfo = {};
  return AKey && RegQueryInfoKeyW(AKey, nullptr, nullptr, nullptr, &AInfo.NumSubKeys, &AInfo.MaxSubKeyLen, nullptr,
                                  &AInfo.NumValues, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

// ---- what the platform's registry class offers ----

void TRegistry::SetRootKey(HKEY AValue) {
  if (FRootKey == AValue) return;
  CloseKey();
  FRootKey = AValue;
}

std::wstring TRegistry::Relative(const std::wstring& AKey) { return IsAbsolute(AKey) ? AKey.substr(1) : AKey; }

HKEY TRegistry::BaseFor(const std::wstring& AKey) const {
  return IsAbsolute(AKey) || !FCurrentKey ? FRootKey : FCurrentKey.Get();
}

bool TRegistry::OpenWith(const std::wstring& AKey, REGSAM AAccess, bool ACanCreate) {
  HKEY key = nullptr;
  std::wstring relative = Relative(AKey);
  LONG result = ACanCreate ? RegCreateKeyExW(BaseFor(AKey), relative.c_str(), 0, nullptr, 0, AAccess, nullptr, &key,
                                             nullptr)
                           : RegOpenKeyExW(BaseFor(AKey), relative.c_str(), 0, AAccess, &key);
  if (result != ERROR_SUCCESS) return false;
  TUniqueRegistryKey opened(key);
  std::wstring path = IsAbsolute(AKey) || FCurrentPath.empty() ? relative : FCurrentPath + L"\\" + relative;
  CloseKey();
  FCurrentKey = std::move(opened);
  FCurrentPath = path;
  return true;
}

bool TRegistry::OpenKey(const std::wstring& AKey, bool ACanCreate) { return OpenWith(AKey, FAccess, ACanCreate); }

bool TRegistry::OpenKeyReadOnly(const std::wstring& AKey) {
  REGSAM view = FAccess & ViewBits;
  for (REGSAM mask : {REGSAM(KEY_READ), REGSAM(STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
                      REGSAM(KEY_QUERY_VALUE)})
    if (OpenWith(AKey, mask | view, false)) {
      FAccess = mask | view;
      return true;
    }
  return false;
}

void TRegistry::CloseKey() {
  FCurrentKey.Reset();
  FCurrentPath.clear();
}

bool TRegistry::ValueExists(const std::wstring& AName) const {
  return FCurrentKey &&
         RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int TRegistry::GetDataSize(const std::wstring& AName) const {
  DWORD size = 0;
  if (!FCurrentKey ||
      RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return -1;
  return int(size);
}

int32_t TRegistry::ReadInteger(const std::wstring& AName) const {
  DWORD type = 0, value = 0, size = sizeof(value);
  if (!FCurrentKey ||
      RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS)
    RegistryError(L"Failed to get data for '%s'", AName);
  if (type != REG_DWORD) RegistryError(L"Invalid data type for '%s'", AName);
  return int32_t(value);
}

double TRegistry::ReadFloat(const std::wstring& AName) const {
  DWORD type = 0, size = sizeof(double);
  double value = 0;
  if (!FCurrentKey ||
      RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS)
    RegistryError(L"Failed to get data for '%s'", AName);
  if (type != REG_BINARY || size != sizeof(double)) RegistryError(L"Invalid data type for '%s'", AName);
  return value;
}

void TRegistry::SetValue(const std::wstring& AName, DWORD AType, const void* AData, DWORD ASize) {
  if (!FCurrentKey || RegSetValueExW(FCurrentKey.Get(), AName.c_str(), 0, AType, static_cast<const BYTE*>(AData),
                                     ASize) != ERROR_SUCCESS)
    RegistryError(L"Failed to set data for '%s'", AName);
}

void TRegistry::WriteString(const std::wstring& AName, const std::wstring& AValue) {
  SetValue(AName, REG_SZ, AValue.c_str(), DWORD((AValue.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteExpandString(const std::wstring& AName, const std::wstring& AValue) {
  SetValue(AName, REG_EXPAND_SZ, AValue.c_str(), DWORD((AValue.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteInteger(const std::wstring& AName, int32_t AValue) {
  SetValue(AName, REG_DWORD, &AValue, sizeof(AValue));
}

void TRegistry::WriteBinaryData(const std::wstring& AName, const void* AData, DWORD ASize) {
  SetValue(AName, REG_BINARY, AData, ASize);
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& AInfo) const { return KeyInfo(FCurrentKey.Get(), AInfo); }

// ---- what this class adds ----

TRegDataType TRegistry::GetDataType(const std::wstring& AValueName) const {
  DWORD type = 0;
  if (!FCurrentKey ||
      RegQueryValueExW(FCurrentKey.Get(), AValueName.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return TRegDataType::rdUnknown;
  switch (type) {
    case REG_SZ: return TRegDataType::rdString;
    case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
    case REG_BINARY: return TRegDataType::rdBinary;
    case REG_DWORD: return TRegDataType::rdInteger;
    case REG_MULTI_SZ: return TRegDataType::rdMultiString;
    case REG_QWORD: return TRegDataType::rdInt64;
    default: return TRegDataType::rdUnknown;
  }
}

template <typename T, typename F>
T TRegistry::ReadDef(const std::wstring& AName, std::initializer_list<TRegDataType> AKinds, int ASize, T ADefault,
                     F ARead) const {
  try {
    TRegDataType kind = GetDataType(AName);
    bool accepted = false;
    for (TRegDataType k : AKinds) accepted = accepted || k == kind;
    if (accepted && ValueExists(AName) && (ASize == 0 || GetDataSize(AName) == ASize)) return ARead();
  } catch (const std::exception&) {
  }
  return ADefault;
}

int32_t TRegistry::ReadIntegerDef(const std::wstring& AName, int32_t ADefault) const {
  return ReadDef(AName, {TRegDataType::rdInteger}, 0, ADefault, [&] { return ReadInteger(AName); });
}

bool TRegistry::ReadBoolDef(const std::wstring& AName, bool ADefault) const {
  return ReadDef(AName, {TRegDataType::rdInteger}, 0, ADefault, [&] { return ReadBool(AName); });
}

std::wstring TRegistry::ReadStringDef(const std::wstring& AName, const std::wstring& ADefault) const {
  return ReadDef(AName, {TRegDataType::rdString, TRegDataType::rdExpandString}, 0, ADefault,
                 [&] { return ReadString(AName); });
}

int64_t TRegistry::ReadInt64Def(const std::wstring& AName, int64_t ADefault) const {
  return ReadDef(AName, {TRegDataType::rdInt64}, 0, ADefault, [&] { return ReadInt64(AName); });
}

double TRegistry::ReadFloatDef(const std::wstring& AName, double ADefault) const {
  return ReadDef(AName, {TRegDataType::rdBinary}, 8, ADefault, [&] { return ReadFloat(AName); });
}

double TRegistry::ReadDateTimeDef(const std::wstring& AName, double ADefault) const {
  return ReadDef(AName, {TRegDataType::rdBinary}, 8, ADefault, [&] { return ReadDateTime(AName); });
}

std::wstring TRegistry::ReadString(const std::wstring& AName) const {
  DWORD type = 0, size = 0;
  if (!FCurrentKey ||
      RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return {};
  std::vector<BYTE> buffer;
  for (;;) {  // the value may grow between the queries
    if (type != REG_SZ && type != REG_EXPAND_SZ) RegistryError(L"Invalid data type for '%s'", AName);
    buffer.assign(size, 0);
    LONG result = RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, &type, buffer.data(), &size);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) RegistryError(L"Failed to get data for '%s'", AName);
    if (type != REG_SZ && type != REG_EXPAND_SZ) RegistryError(L"Invalid data type for '%s'", AName);
    break;
  }
  std::wstring text(size / 2, L'\0');
  memcpy(text.data(), buffer.data(), text.size() * sizeof(wchar_t));
  return Trim(text);
}

int64_t TRegistry::ReadInt64(const std::wstring& AName) const {
  if (GetDataType(AName) != TRegDataType::rdInt64) RegistryError(L"Invalid data type for '%s'", AName);
  int64_t value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    RegistryError(L"Failed to get data for '%s'", AName);
  return value;
}

void TRegistry::WriteInt64(const std::wstring& AName, int64_t AValue) {
  SetValue(AName, REG_QWORD, &AValue, sizeof(AValue));
}

std::vector<std::wstring> TRegistry::ReadMultiString(const std::wstring& AName) const {
  if (GetDataType(AName) != TRegDataType::rdMultiString) RegistryError(L"Invalid data type for '%s'", AName);
  int size = GetDataSize(AName);
  if (size <= 0) return {};
  std::vector<wchar_t> buffer(size_t(size) / 2 + 1, L'\0');
  DWORD bytes = DWORD(size);
  if (RegQueryValueExW(FCurrentKey.Get(), AName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                       &bytes) != ERROR_SUCCESS)
    RegistryError(L"Failed to get data for '%s'", AName);
  return MultiStringToArray(buffer.data());
}

void TRegistry::WriteMultiString(const std::wstring& AName, const std::vector<std::wstring>& AValue) {
  std::wstring data;
  for (const std::wstring& item : AValue) {
    data += item;
    data += L'\0';
  }
  data += L'\0';
  if (AValue.empty()) data += L'\0';  // an empty list is two zeros
  SetValue(AName, REG_MULTI_SZ, data.data(), DWORD(data.size() * sizeof(wchar_t)));
}

bool TRegistry::DeleteKey(const std::wstring& AKey) { return DeleteKeyIn(BaseFor(AKey), Relative(AKey)); }

bool TRegistry::DeleteKeyIn(HKEY ABase, const std::wstring& ASubKey) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(ABase, ASubKey.c_str(), 0, FAccess, &opened) == ERROR_SUCCESS) {
    TUniqueRegistryKey key(opened);
    TRegKeyInfo info;
    if (KeyInfo(key.Get(), info)) {
      std::vector<wchar_t> name(info.MaxSubKeyLen + 1);
      for (DWORD i = info.NumSubKeys; i-- > 0;) {
        DWORD length = DWORD(name.size());
        if (RegEnumKeyExW(key.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
          DeleteKeyIn(key.Get(), std::wstring(name.data(), length));
      }
    }
  }
  return Winapi::AdvApi32::RegDeleteKeyEx(ABase, ASubKey, FAccess & ViewBits, 0) == ERROR_SUCCESS;
}

std::wstring TRegistry::RegistryKeyToStr(const std::wstring& AName) const {
  return RegistryKeyToStr(FAccess, FRootKey, FCurrentPath, AName);
}

std::wstring TRegistry::RegistryRootToStr(HKEY ARoot) {
  for (const TRootName& r : RootNames)
    if (r.Root == ARoot) return r.Full;
  return {};
}

HKEY TRegistry::StrToRegistryRoot(const std::wstring& ARoot) {
  for (const TRootName& r : RootNames)
    if (lstrcmpiW(ARoot.c_str(), r.Full) == 0 || lstrcmpiW(ARoot.c_str(), r.Short) == 0) return r.Root;
  return reinterpret_cast<HKEY>(uintptr_t(0xFFFFFFFF));
}

std::wstring TRegistry::RegistryKeyToStr(REGSAM AFlag, HKEY ARoot, const std::wstring& AKey, const std::wstring& AName) {
  std::wstring text = RegistryRootToStr(ARoot);
  if (!IsAbsolute(AKey)) text += L'\\';
  text += AKey;
  if (text.empty() || text.back() != L'\\') text += L'\\';
  text += L'\\' + AName;
  return ((AFlag & KEY_WOW64_64KEY) ? L"(x64)" : L"(x32)") + text;
}

void TRegistry::ExtractKeyParams(const std::wstring& AValue, REGSAM& AFlag, HKEY& ARoot, std::wstring& AKey,
                                 std::wstring& AName) {
  std::wstring text = AValue;
  if (_wcsnicmp(text.c_str(), L"(x32)", 5) == 0) {
    AFlag = KEY_WOW64_32KEY;
    text.erase(0, 5);
  } else if (_wcsnicmp(text.c_str(), L"(x64)", 5) == 0) {
    AFlag = KEY_WOW64_64KEY;
    text.erase(0, 5);
  }
  if (size_t doubled = text.find(L"\\\\"); doubled != std::wstring::npos) {
    AName = text.substr(doubled + 2);
    text = text.substr(0, doubled) + L"\\";
  }
  if (size_t slash = text.find(L'\\'); slash != std::wstring::npos) {
    ARoot = StrToRegistryRoot(text.substr(0, slash));
    text = text.substr(slash);
  } else {
    ARoot = HKEY_CURRENT_USER;
  }
  AKey = text;
}

}  // namespace Velqora
