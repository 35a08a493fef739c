#include "FolderTree.h"

#include <winternl.h>

#include <vector>

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

void ForceFolders(const std::wstring& AFolder) {
  for (size_t pos = AFolder.find(L'\\', 3); pos != std::wstring::npos; pos = AFolder.find(L'\\', pos + 1))
    CreateDirectoryW(AFolder.substr(0, pos).c_str(), nullptr);
}

bool DeleteFolderTree(const std::wstring& AFolder) {
  WIN32_FIND_DATAW data;
  TUniqueFind find(FindFirstFileW((AFolder + L"\\*").c_str(), &data));
  if (find) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = AFolder + L"\\" + name;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DeleteFolderTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A link to a folder goes as a folder, without what it points to.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveDirectoryW(path.c_str());
        else
          DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find.Get(), &data));
  }
  find.Reset();
  return RemoveDirectoryW(AFolder.c_str()) || GetFileAttributesW(AFolder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// ---- Folders held open ----

namespace {

constinit DllRoutines::TRoutine<NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                                 PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG)>
    NtCreateFile{L"ntdll.dll", "NtCreateFile"};
constinit DllRoutines::TRoutine<ULONG(NTAPI*)(NTSTATUS)> RtlNtStatusToDosError{L"ntdll.dll",
                                                                              "RtlNtStatusToDosError"};

constexpr NTSTATUS StatusObjectNameCollision = NTSTATUS(0xC0000035);

// NtCreateFile relative to AFolder; AStatus receives its status, and the
// handle is none unless it succeeded.
TUniqueFileHandle CreateRelative(HANDLE AFolder, std::wstring_view AName, ACCESS_MASK AAccess, DWORD AShare,
                                 ULONG ADisposition, ULONG AOptions, PSECURITY_DESCRIPTOR ADescriptor,
                                 NTSTATUS& AStatus) {
  // A relative name: one component, nothing the object manager would read
  // as a path of its own.
  if (AName.empty() || AName.size() > 255 || AName.find_first_of(L"\\/") != std::wstring_view::npos)
    ThrowOSError(ERROR_INVALID_NAME);
  UNICODE_STRING name;
  name.Buffer = const_cast<wchar_t*>(AName.data());
  name.Length = name.MaximumLength = USHORT(AName.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof(attributes);
  attributes.RootDirectory = AFolder;
  attributes.ObjectName = &name;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  attributes.SecurityDescriptor = ADescriptor;
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  AStatus = NtCreateFile.Get()(&handle, AAccess | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                               AShare, ADisposition, AOptions | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return TUniqueFileHandle(NT_SUCCESS(AStatus) ? handle : INVALID_HANDLE_VALUE);
}

[[noreturn]] void ThrowStatus(NTSTATUS AStatus) {
  ULONG error = RtlNtStatusToDosError.Get()(AStatus);
  ThrowOSError(error ? error : ERROR_GEN_FAILURE);
}

DWORD Attributes(HANDLE AFile) {
  if (AttributesQuery) return AttributesQuery(AFile);
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(AFile, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

bool IsLink(DWORD AAttributes) { return AAttributes == INVALID_FILE_ATTRIBUTES || (AAttributes & FILE_ATTRIBUTE_REPARSE_POINT); }

bool Dispose(HANDLE AFile, DWORD AAttributes) noexcept {
  if (AAttributes != INVALID_FILE_ATTRIBUTES && (AAttributes & FILE_ATTRIBUTE_READONLY)) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = (AAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(AFile, FileBasicInfo, &basic, sizeof(basic));
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(AFile, FileDispositionInfo, &disposition, sizeof(disposition));
}

// The names in a folder (not "." and ".."), with the attributes the
// listing gives.
struct TEntry {
  std::wstring Name;
  DWORD Attributes;
};
std::vector<TEntry> ListFolder(HANDLE AFolder) {
  std::vector<TEntry> entries;
  alignas(8) unsigned char buffer[16384];
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(AFolder, kind, buffer, sizeof(buffer)); kind = FileIdBothDirectoryInfo) {
    for (size_t offset = 0;;) {
      auto info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
      std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") entries.push_back({std::move(name), info->FileAttributes});
      if (!info->NextEntryOffset) break;
      offset += info->NextEntryOffset;
    }
  }
  return entries;
}

// Deletes one entry of a folder. AExpected, when given, is the only file
// that may go.
bool DeleteEntry(HANDLE AFolder, const TEntry& AEntry, int ADepth, const TFileIdentity* AExpected = nullptr) noexcept {
  try {
    // A folder is only entered when both the listing and the open folder
    // say it is no link; anything else goes as itself.
    const bool listedLink = IsLink(AEntry.Attributes);
    const bool folder = (AEntry.Attributes & FILE_ATTRIBUTE_DIRECTORY) && !listedLink;
    NTSTATUS status;
    TUniqueFileHandle entry = CreateRelative(
        AFolder, AEntry.Name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | (folder ? FILE_LIST_DIRECTORY : 0),
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
        FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, status);
    if (!entry) return false;
    DWORD attributes = Attributes(entry.Get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    // A link listed as one that the open handle does not show as one: the
    // system opened what it points to (Wine does, having no reparse
    // points), which must not go. Left where it is.
    if (listedLink && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (AExpected && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && FileIdentity(entry.Get()) != *AExpected)
      return false;
    if (folder && !IsLink(attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) && ADepth < 64) {
      for (const TEntry& inner : ListFolder(entry.Get())) DeleteEntry(entry.Get(), inner, ADepth + 1);
    }
    return Dispose(entry.Get(), attributes);
  } catch (...) {
    return false;
  }
}

}  // namespace

TAttributesQuery AttributesQuery = nullptr;

TFileIdentity FileIdentity(HANDLE AFile) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(AFile, &info)) ThrowLastOSError();
  return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

TUniqueFileHandle OpenFolder(const std::wstring& APath) {
  TUniqueFileHandle folder(CreateFileW(APath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) ThrowLastOSError();
  DWORD attributes = Attributes(folder.Get());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) ThrowOSError(ERROR_DIRECTORY);
  return folder;
}

TUniqueFileHandle CreateFolderIn(HANDLE AParent, std::wstring_view AName, PSECURITY_DESCRIPTOR ADescriptor) {
  NTSTATUS status;
  TUniqueFileHandle folder = CreateRelative(
      AParent, AName, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE |
                          FILE_READ_ATTRIBUTES | DELETE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE, FILE_DIRECTORY_FILE, ADescriptor, status);
  if (status == StatusObjectNameCollision) ThrowOSError(ERROR_ALREADY_EXISTS);
  if (!folder) ThrowStatus(status);
  return folder;
}

TUniqueFileHandle CreateFileIn(HANDLE AFolder, std::wstring_view AName, ACCESS_MASK AAccess, DWORD AShare) {
  NTSTATUS status;
  TUniqueFileHandle file =
      CreateRelative(AFolder, AName, AAccess, AShare, FILE_CREATE, FILE_NON_DIRECTORY_FILE, nullptr, status);
  if (status == StatusObjectNameCollision) return {};
  if (!file) ThrowStatus(status);
  return file;
}

TUniqueFileHandle OpenFileIn(HANDLE AFolder, std::wstring_view AName, ACCESS_MASK AAccess, DWORD AShare) {
  NTSTATUS status;
  TUniqueFileHandle file = CreateRelative(AFolder, AName, AAccess | FILE_READ_ATTRIBUTES, AShare, FILE_OPEN,
                                          FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, nullptr, status);
  if (!file) ThrowStatus(status);
  if (IsLink(Attributes(file.Get()))) ThrowOSError(ERROR_CANT_ACCESS_FILE);
  return file;
}

bool DeleteIn(HANDLE AFolder, std::wstring_view AName, const TFileIdentity& AExpected) noexcept {
  return DeleteEntry(AFolder, {std::wstring(AName), FILE_ATTRIBUTE_NORMAL}, 0, &AExpected);
}

bool DeleteFolderContents(HANDLE AFolder) noexcept {
  try {
    bool all = true;
    for (const TEntry& entry : ListFolder(AFolder)) all = DeleteEntry(AFolder, entry, 0) && all;
    return all;
  } catch (...) {
    return false;
  }
}

bool DeleteOpenFolder(HANDLE AFolder) noexcept { return Dispose(AFolder, Attributes(AFolder)); }

}  // namespace Velqora
