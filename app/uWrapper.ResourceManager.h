// The wrapper's payload in an executable's resources: readers for the
// wrapper at run time, writers for the packaging tool.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "uWrapper.ResourceNames.h"

namespace uWrapper::ResourceManager {

// Names of the payload items (RT_RCDATA; uWrapper.ResourceNames.h says what
// each holds).
inline constexpr const wchar_t* RES_INSTALLER_PACKAGE = L"" BOUNTIQ_RES_INSTALLER_PACKAGE;
inline constexpr const wchar_t* RES_INSTALLER_NAME = L"" BOUNTIQ_RES_INSTALLER_NAME;
inline constexpr const wchar_t* RES_INSTALLER_SILENT_ARGS = L"" BOUNTIQ_RES_INSTALLER_SILENT_ARGS;
inline constexpr const wchar_t* RES_NO_OFFER = L"" BOUNTIQ_RES_NO_OFFER;
// The language the writers store.
inline constexpr WORD ResourceLanguage = BOUNTIQ_RES_LANGUAGE;

// Reads and writes the resources of one executable file. Holds no handle
// between calls: every operation opens and closes what it needs.
class TResourceManager {
public:
  explicit TResourceManager(std::wstring AFileName) : FFileName(std::move(AFileName)) {}

  const std::wstring& FileName() const { return FFileName; }

  // An RT_RCDATA item as UTF-16 text: (size div 2) code units, no terminator
  // expected. Raises "Resource %s not found" for a missing item.
  std::wstring GetString(const std::wstring& AResName) const;
  // Writes an RT_RCDATA item to AFileName, replacing the file; a missing
  // item or a failed write leaves no file behind.
  void GetFile(const std::wstring& AResName, const std::wstring& AFileName) const;
  // Writes an RT_RCDATA item through AFile, an open file written from its
  // current position; raises for a missing item or a failed write.
  void GetFileInto(const std::wstring& AResName, HANDLE AFile) const;
  // Whether the RT_RCDATA item exists; false on any error.
  bool IsExist(const std::wstring& AResName) const noexcept;
  // The item's size in bytes; raises for a missing item.
  uint32_t GetSize(const std::wstring& AResName) const;

  // Stores the bytes of AFileName (mapped, not copied) as an RT_RCDATA item.
  void AddFile(const std::wstring& AResName, const std::wstring& AFileName);
  // Stores the UTF-16 code units of AStr, without terminator.
  void AddString(const std::wstring& AResName, const std::wstring& AStr);
  // Items of any type (a number) named by a number or, when NameText is not
  // empty, by a text, stored in one update.
  struct TItem {
    WORD Type = 0;
    std::wstring NameText;
    WORD NameId = 0;
    std::span<const uint8_t> Data;
  };
  void AddItems(std::span<const TItem> AItems);
  // Copies AFromFile's first icon group, with every image it lists, as
  // MAINICON; nothing when it has none, cannot be loaded or has entries
  // that do not fit its size.
  void CopyMainIcon(const std::wstring& AFromFile);
  // Copies AFromFile's version resource as version id 1; nothing when it has
  // none.
  void CopyVersionInfo(const std::wstring& AFromFile);
  // Rewrites the PE checksum when it is wrong; answers whether the file's
  // checksum is right now. A file that is too short to be a PE image or
  // lacks its signatures is left untouched and answers false; a file that
  // cannot be opened raises the system error, and one of 4 GiB or more
  // raises too.
  bool UpdateChecksum();

  // The PE checksum stored in AFileName's header and the correct one; false
  // when the file is not a PE image whose headers lie within the file.
  static bool ReadChecksum(const std::wstring& AFileName, DWORD& AStored, DWORD& ACorrect);
  // Whether AFileName is a PE image: DOS and PE signatures, with the headers
  // within the file.
  static bool IsPEImage(const std::wstring& AFileName);
  // The size of a file, read from its attributes: the name is taken
  // literally (no wildcards); 0 when it cannot be found.
  static uint64_t FileSize(const std::wstring& AFileName);

private:
  class TModule;
  void WriteMainIcon(HMODULE ASource, const void* AGroup, DWORD ASize);

  std::wstring FFileName;
};

}  // namespace uWrapper::ResourceManager
