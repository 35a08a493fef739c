// Registry access with 32/64-bit views: reads that fall back to a default,
// 64-bit and multi-string values, recursive deletion, and a textual form of
// view, root, key and value.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "UniqueHandle.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

class ERegistryException : public Exception {
public:
  using Exception::Exception;
  const wchar_t* ClassName() const noexcept override { return L"ERegistryException"; }
};

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdMultiString, rdInteger, rdInt64, rdBinary };

struct TRegKeyInfo {
  DWORD NumSubKeys = 0;
  DWORD MaxSubKeyLen = 0;
  DWORD NumValues = 0;
};

// The reads without a default raise ERegistryException "Invalid data type
// for '%s'" or "Failed to get data for '%s'"; the writes raise "Failed to
// set data for '%s'".
class TRegistry {
public:
  explicit TRegistry(REGSAM AAccess = KEY_ALL_ACCESS) : FAccess(AAccess) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // ---- what the platform's registry class offers ----
  HKEY GetRootKey() const { return FRootKey; }
  void SetRootKey(HKEY AValue);
  REGSAM GetAccess() const { return FAccess; }
  void SetAccess(REGSAM AValue) { FAccess = AValue; }
  HKEY CurrentKey() const { return FCurrentKey.Get(); }
  const std::wstring& CurrentPath() const { return FCurrentPath; }
  // A key relative to the current one, or to the root when it starts with a
  // backslash; ACanCreate makes missing keys.
  bool OpenKey(const std::wstring& AKey, bool ACanCreate);
  // Tries KEY_READ, then STANDARD_RIGHTS_READ | KEY_QUERY_VALUE |
  // KEY_ENUMERATE_SUB_KEYS, then KEY_QUERY_VALUE, each with the view bits of
  // the access mask; the first that opens becomes the access mask.
  bool OpenKeyReadOnly(const std::wstring& AKey);
  void CloseKey();
  bool ValueExists(const std::wstring& AName) const;
  int GetDataSize(const std::wstring& AName) const;  // -1 when it cannot be queried
  int32_t ReadInteger(const std::wstring& AName) const;
  bool ReadBool(const std::wstring& AName) const { return ReadInteger(AName) != 0; }
  double ReadFloat(const std::wstring& AName) const;
  double ReadDateTime(const std::wstring& AName) const { return ReadFloat(AName); }
  void WriteString(const std::wstring& AName, const std::wstring& AValue);
  void WriteExpandString(const std::wstring& AName, const std::wstring& AValue);
  void WriteInteger(const std::wstring& AName, int32_t AValue);
  void WriteBinaryData(const std::wstring& AName, const void* AData, DWORD ASize);
  bool GetKeyInfo(TRegKeyInfo& AInfo) const;

  // ---- what this class adds ----
  TRegDataType GetDataType(const std::wstring& AValueName) const;
  int32_t ReadIntegerDef(const std::wstring& AName, int32_t ADefault) const;
  bool ReadBoolDef(const std::wstring& AName, bool ADefault) const;
  std::wstring ReadStringDef(const std::wstring& AName, const std::wstring& ADefault) const;
  int64_t ReadInt64Def(const std::wstring& AName, int64_t ADefault) const;
  double ReadFloatDef(const std::wstring& AName, double ADefault) const;
  double ReadDateTimeDef(const std::wstring& AName, double ADefault) const;
  // The text trimmed of blanks, control characters and zeros at both ends;
  // REG_EXPAND_SZ unexpanded; empty for a missing or empty value.
  std::wstring ReadString(const std::wstring& AName) const;
  int64_t ReadInt64(const std::wstring& AName) const;
  void WriteInt64(const std::wstring& AName, int64_t AValue);
  std::vector<std::wstring> ReadMultiString(const std::wstring& AName) const;
  void WriteMultiString(const std::wstring& AName, const std::vector<std::wstring>& AValue);
  // Deletes a key with everything below it, in the object's view.
  bool DeleteKey(const std::wstring& AKey);
  std::wstring RegistryKeyToStr(const std::wstring& AName) const;

  static std::wstring RegistryRootToStr(HKEY ARoot);
  static HKEY StrToRegistryRoot(const std::wstring& ARoot);  // 0xFFFFFFFF when unknown
  static std::wstring RegistryKeyToStr(REGSAM AFlag, HKEY ARoot, const std::wstring& AKey, const std::wstring& AName);
  static void ExtractKeyParams(const std::wstring& AValue, REGSAM& AFlag, HKEY& ARoot, std::wstring& AKey,
                               std::wstring& AName);

private:
  // Stores a value of the current key; raises "Failed to set data".
  void SetValue(const std::wstring& AName, DWORD AType, const void* AData, DWORD ASize);
  // AKind's value read with ARead, or ADefault when it is missing, of another
  // kind (or another size, when ASize is not 0) or cannot be read.
  template <typename T, typename F>
  T ReadDef(const std::wstring& AName, std::initializer_list<TRegDataType> AKinds, int ASize, T ADefault,
            F ARead) const;
  bool OpenWith(const std::wstring& AKey, REGSAM AAccess, bool ACanCreate);
  // Deletes ASubKey of ABase with everything below it, in the object's view.
  bool DeleteKeyIn(HKEY ABase, const std::wstring& ASubKey);
  HKEY BaseFor(const std::wstring& AKey) const;
  static std::wstring Relative(const std::wstring& AKey);

  HKEY FRootKey = HKEY_CURRENT_USER;
  REGSAM FAccess;
  TUniqueRegistryKey FCurrentKey;
  std::wstring FCurrentPath;
};

}  // namespace Velqora
