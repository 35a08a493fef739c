#include "FolderTree.h"

#include <windows.h>

#include "UniqueHandle.h"

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

}  // namespace Velqora
