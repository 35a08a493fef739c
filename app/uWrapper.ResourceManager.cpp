#include "uWrapper.ResourceManager.h"

#include <imagehlp.h>

#include <algorithm>
#include <vector>

#include "Paths.h"
#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "VersionInfo.h"

namespace uWrapper::ResourceManager {

using namespace Velqora;

namespace {

const wchar_t* const RT_RCDATA_W = MAKEINTRESOURCEW(10);
const wchar_t* const RT_ICON_W = MAKEINTRESOURCEW(3);
const wchar_t* const RT_GROUP_ICON_W = MAKEINTRESOURCEW(14);
const wchar_t* const RT_VERSION_W = MAKEINTRESOURCEW(16);

[[noreturn]] void ResourceNotFound(const std::wstring& AResName) {
  throw Exception(Format(L"Resource %s not found", {AResName}));
}

// imagehlp is bound at run time, so that the wrapper does not load it at
// every start.
constinit DllRoutines::TRoutine<PIMAGE_NT_HEADERS(WINAPI*)(PVOID, DWORD, PDWORD, PDWORD)> CheckSumMappedFile{
    L"imagehlp.dll", "CheckSumMappedFile"};

// A resource update of a file that keeps its resources; committed by
// Commit, which raises when that fails, and otherwise when the object goes.
void EndResourceUpdate(HANDLE AUpdate) noexcept { EndUpdateResourceW(AUpdate, FALSE); }

class TResourceUpdate {
public:
  explicit TResourceUpdate(const std::wstring& AFileName) : FUpdate(BeginUpdateResourceW(AFileName.c_str(), FALSE)) {
    if (!FUpdate) ThrowLastOSError();
  }

  void Write(const wchar_t* AType, const wchar_t* AName, const void* AData, DWORD ASize) {
    static const char empty = 0;  // a null pointer would delete the item
    if (!UpdateResourceW(FUpdate.Get(), AType, AName, ResourceLanguage, const_cast<void*>(AData ? AData : &empty),
                         ASize))
      ThrowLastOSError();
  }

  void Commit() {
    if (!EndUpdateResourceW(FUpdate.Release(), FALSE)) ThrowLastOSError();
  }

private:
  TUniqueHandle<HANDLE, EndResourceUpdate> FUpdate;
};

// A whole file mapped for reading.
struct TMappedFile {
  explicit TMappedFile(const std::wstring& AFileName, bool AWrite = false) {
    DWORD access = AWrite ? FILE_READ_DATA | FILE_WRITE_DATA : GENERIC_READ;
    File.Reset(CreateFileW(AFileName.c_str(), access, AWrite ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) ThrowLastOSError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(File.Get(), &size)) ThrowLastOSError();
    if (size.QuadPart > 0xFFFFFFFFll) throw Exception(L"File too large: " + AFileName);
    Size = DWORD(size.QuadPart);
    if (Size == 0) return;  // nothing to map
    Mapping.Reset(CreateFileMappingW(File.Get(), nullptr, AWrite ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr));
    if (!Mapping) ThrowLastOSError();
    View.Reset(MapViewOfFile(Mapping.Get(), AWrite ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, 0));
    if (!View) ThrowLastOSError();
  }
  const unsigned char* Bytes() const { return static_cast<const unsigned char*>(View.Get()); }

  TUniqueFileHandle File;
  TUniqueKernelHandle Mapping;
  TUniqueMappedView View;  // released first
  DWORD Size = 0;
};

// Where the NT headers of a 32-bit image lie in a mapped file, when the DOS
// and PE signatures are there and the headers lie within the file.
constexpr DWORD NtHeadersSize = 248;  // signature, file header, 32-bit optional header
constexpr DWORD CheckSumOffset = 88;  // in the NT headers

bool FindNtHeaders(const TMappedFile& AFile, DWORD& AOffset) {
  const unsigned char* bytes = AFile.Bytes();
  if (AFile.Size < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  DWORD offset;
  memcpy(&offset, bytes + 60, 4);
  if (offset > AFile.Size || AFile.Size - offset < NtHeadersSize) return false;
  if (memcmp(bytes + offset, "PE\0\0", 4) != 0) return false;
  AOffset = offset;
  return true;
}

}  // namespace

// The module the readers search: the program itself or a module already
// loaded (borrowed), else the file loaded as data here (owned).
class TResourceManager::TModule {
public:
  explicit TModule(const std::wstring& AFileName) {
    size_t dot = AFileName.find_last_of(L'.');
    bool isExe = dot != std::wstring::npos && lstrcmpiW(AFileName.c_str() + dot, L".exe") == 0;
    if (isExe && lstrcmpiW(AFileName.c_str(), ProgramPath().c_str()) == 0) {
      FModule = TBorrowedModule(GetModuleHandleW(nullptr));
    } else if (HMODULE loaded = GetModuleHandleW(AFileName.c_str())) {
      FModule = TBorrowedModule(loaded);
    } else {
      FLoaded.Reset(LoadLibraryExW(AFileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
      if (!FLoaded) ThrowLastOSError();
      FModule = FLoaded.Borrow();
    }
  }
  HMODULE Get() const { return FModule.Get(); }

  // The bytes of RT_RCDATA item AResName; raises when it is missing.
  const void* Item(const std::wstring& AResName, DWORD& ASize) const {
    HRSRC info = FindResourceW(FModule.Get(), AResName.c_str(), RT_RCDATA_W);
    if (!info) ResourceNotFound(AResName);
    ASize = SizeofResource(FModule.Get(), info);
    HGLOBAL data = LoadResource(FModule.Get(), info);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes && ASize) ThrowLastOSError();
    return bytes;
  }

private:
  TUniqueModule FLoaded;
  TBorrowedModule FModule;
};

std::wstring TResourceManager::GetString(const std::wstring& AResName) const {
  TModule module(FFileName);
  DWORD size;
  auto bytes = static_cast<const wchar_t*>(module.Item(AResName, size));
  return std::wstring(bytes, bytes + size / 2);
}

uint32_t TResourceManager::GetSize(const std::wstring& AResName) const {
  TModule module(FFileName);
  DWORD size;
  module.Item(AResName, size);
  return size;
}

void TResourceManager::GetFile(const std::wstring& AResName, const std::wstring& AFileName) const {
  if (GetFileAttributesW(AFileName.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileW(AFileName.c_str());
  TUniqueFileHandle file(
      CreateFileW(AFileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastOSError();
  auto removePartial = ScopeExit([&] {  // no partial file is left behind
    file.Reset();
    DeleteFileW(AFileName.c_str());
  });
  GetFileInto(AResName, file.Get());
  removePartial.Release();
}

void TResourceManager::GetFileInto(const std::wstring& AResName, HANDLE AFile) const {
  TModule module(FFileName);
  DWORD size;
  auto bytes = static_cast<const char*>(module.Item(AResName, size));
  // Straight from the mapped image to the file, in large writes.
  constexpr DWORD chunk = 1 << 20;  // one write of everything is several times slower
  for (DWORD done = 0; done < size;) {
    DWORD part = std::min(chunk, size - done), written = 0;
    if (!WriteFile(AFile, bytes + done, part, &written, nullptr) || written != part) {
      DWORD error = GetLastError();
      ThrowOSError(error ? error : ERROR_WRITE_FAULT);
    }
    done += part;
  }
}

bool TResourceManager::IsExist(const std::wstring& AResName) const noexcept {
  try {
    TModule module(FFileName);
    return FindResourceW(module.Get(), AResName.c_str(), RT_RCDATA_W) != nullptr;
  } catch (...) {
    return false;
  }
}

void TResourceManager::AddFile(const std::wstring& AResName, const std::wstring& AFileName) {
  TResourceUpdate update(FFileName);
  {
    TMappedFile file(AFileName);
    update.Write(RT_RCDATA_W, AResName.c_str(), file.Bytes(), file.Size);
  }
  update.Commit();
}

void TResourceManager::AddItems(std::span<const TItem> AItems) {
  if (AItems.empty()) return;
  TResourceUpdate update(FFileName);
  for (const TItem& item : AItems)
    update.Write(MAKEINTRESOURCEW(item.Type), item.NameText.empty() ? MAKEINTRESOURCEW(item.NameId) : item.NameText.c_str(),
                 item.Data.data(), DWORD(item.Data.size()));
  update.Commit();
}

void TResourceManager::AddString(const std::wstring& AResName, const std::wstring& AStr) {
  TResourceUpdate update(FFileName);
  update.Write(RT_RCDATA_W, AResName.c_str(), AStr.data(), DWORD(AStr.size() * sizeof(wchar_t)));
  update.Commit();
}

namespace {

// The name of a resource as the enumeration delivers it.
struct TResourceName {
  std::wstring Text;  // empty for a numeric id
  WORD Id = 0;
};

BOOL CALLBACK CollectNames(HMODULE, LPCWSTR, LPWSTR AName, LONG_PTR AParam) {
  auto names = reinterpret_cast<std::vector<TResourceName>*>(AParam);
  try {
    if (IS_INTRESOURCE(AName))
      names->push_back({L"", WORD(reinterpret_cast<ULONG_PTR>(AName))});
    else
      names->push_back({AName, 0});
    return TRUE;
  } catch (...) {  // nothing may cross the callback
    return FALSE;
  }
}

}  // namespace

void TResourceManager::CopyMainIcon(const std::wstring& AFromFile) {
  HMODULE source = LoadLibraryExW(AFromFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!source) return;
  TUniqueModule owner(source);
  std::vector<TResourceName> names;
  if (!EnumResourceNamesW(source, RT_GROUP_ICON_W, CollectNames, reinterpret_cast<LONG_PTR>(&names)) ||
      names.empty())
    return;
  const TResourceName& first = names.front();
  HRSRC info = nullptr;
  if (!first.Text.empty())
    info = FindResourceW(source, first.Text.c_str(), RT_GROUP_ICON_W);
  else if (first.Id >= 1)
    info = FindResourceW(source, MAKEINTRESOURCEW(first.Id), RT_GROUP_ICON_W);
  if (!info) return;
  DWORD size = SizeofResource(source, info);
  HGLOBAL data = size ? LoadResource(source, info) : nullptr;
  const void* group = data ? LockResource(data) : nullptr;
  if (!group) return;
  // A directory whose entries do not fit its size is no icon group.
  WORD count;
  if (size < 6 || (memcpy(&count, static_cast<const char*>(group) + 4, 2), size < 6u + 14u * count)) return;
  WriteMainIcon(source, group, size);
}

void TResourceManager::WriteMainIcon(HMODULE ASource, const void* AGroup, DWORD ASize) {
  TResourceUpdate update(FFileName);
  update.Write(RT_GROUP_ICON_W, L"MAINICON", AGroup, ASize);
  auto bytes = static_cast<const unsigned char*>(AGroup);
  WORD count;
  memcpy(&count, bytes + 4, 2);
  for (WORD i = 0; i < count; ++i) {
    WORD id;
    memcpy(&id, bytes + 6 + 14 * i + 12, 2);
    HRSRC info = FindResourceW(ASource, MAKEINTRESOURCEW(id), RT_ICON_W);
    if (!info) ThrowLastOSError();
    DWORD size = SizeofResource(ASource, info);
    if (!size) ThrowLastOSError();
    HGLOBAL data = LoadResource(ASource, info);
    const void* image = data ? LockResource(data) : nullptr;
    if (!image) ThrowLastOSError();
    update.Write(RT_ICON_W, MAKEINTRESOURCEW(id), image, size);
  }
  update.Commit();
}

void TResourceManager::CopyVersionInfo(const std::wstring& AFromFile) {
  std::vector<char> block = ReadVersionInfo(AFromFile);
  if (block.empty()) return;
  TResourceUpdate update(FFileName);
  update.Write(RT_VERSION_W, MAKEINTRESOURCEW(1), block.data(), DWORD(block.size()));
  update.Commit();
}

uint64_t TResourceManager::FileSize(const std::wstring& AFileName) {
  // Unlike a find, the attribute query takes the name literally: no
  // wildcards.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(AFileName.c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool TResourceManager::IsPEImage(const std::wstring& AFileName) {
  try {
    TMappedFile file(AFileName);
    DWORD offset;
    return FindNtHeaders(file, offset);
  } catch (const Exception&) {
    return false;
  }
}

bool TResourceManager::ReadChecksum(const std::wstring& AFileName, DWORD& AStored, DWORD& ACorrect) {
  TMappedFile file(AFileName);
  DWORD offset;
  if (!FindNtHeaders(file, offset)) return false;
  if (!CheckSumMappedFile.Get()(file.View.Get(), file.Size, &AStored, &ACorrect)) ThrowLastOSError();
  return true;
}

bool TResourceManager::UpdateChecksum() {
  TMappedFile file(FFileName, true);  // a file that cannot be opened raises
  DWORD offset;
  if (!FindNtHeaders(file, offset)) return false;  // no PE image (too short, no signatures): left untouched
  DWORD stored = 0, correct = 0;
  if (!CheckSumMappedFile.Get()(file.View.Get(), file.Size, &stored, &correct)) ThrowLastOSError();
  if (stored == correct) return true;
  unsigned char headers[NtHeadersSize];
  memcpy(headers, file.Bytes() + offset, NtHeadersSize);
  memcpy(headers + CheckSumOffset, &correct, 4);
  LARGE_INTEGER position;
  position.QuadPart = offset;
  DWORD written = 0;
  if (!SetFilePointerEx(file.File.Get(), position, nullptr, FILE_BEGIN) ||
      !WriteFile(file.File.Get(), headers, NtHeadersSize, &written, nullptr))
    ThrowLastOSError();
  if (written != NtHeadersSize) ThrowOSError(ERROR_WRITE_FAULT);
  return true;
}

}  // namespace uWrapper::ResourceManager
