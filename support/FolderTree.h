// Folders made with their missing parents, and removed with everything in
// them; and folders held open by handle, inside which files are made,
// opened and deleted by name relative to the handle, so that no link and no
// renamed parent on the way can send them elsewhere.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "UniqueHandle.h"

namespace Velqora {

// Creates every missing folder of AFolder (a path ending in a backslash);
// failures are not reported.
void ForceFolders(const std::wstring& AFolder);
// Deletes the folder (no trailing backslash) with everything in it; links
// in it are removed, never followed. Answers whether the folder is gone.
bool DeleteFolderTree(const std::wstring& AFolder);

// Where a file lies, the same for every handle of it.
struct TFileIdentity {
  DWORD Volume = 0, IndexHigh = 0, IndexLow = 0;
  bool operator==(const TFileIdentity&) const = default;
};
// Raises the system error when the handle cannot tell.
TFileIdentity FileIdentity(HANDLE AFile);

// An existing folder, opened by path to list it and to work inside it;
// others may still use, rename or delete it. Raises the system error.
TUniqueFileHandle OpenFolder(const std::wstring& APath);
// A new folder AName inside AParent, made and opened in one step (a name
// that exists already, whatever it is, fails with ERROR_ALREADY_EXISTS), with
// ADescriptor when given. It is held with delete access and without delete
// sharing: nobody renames or removes it while it is open. Raises the system
// error.
TUniqueFileHandle CreateFolderIn(HANDLE AParent, std::wstring_view AName, PSECURITY_DESCRIPTOR ADescriptor);
// A new file AName inside AFolder, made and opened in one step; none when
// the name exists already (whatever it is). Raises the system error for
// anything else.
TUniqueFileHandle CreateFileIn(HANDLE AFolder, std::wstring_view AName, ACCESS_MASK AAccess, DWORD AShare);
// An existing file AName inside AFolder; a link is opened as itself, never
// followed, and refused (ERROR_CANT_ACCESS_FILE). Raises the system error.
TUniqueFileHandle OpenFileIn(HANDLE AFolder, std::wstring_view AName, ACCESS_MASK AAccess, DWORD AShare);
// How the attributes of an opened file are read (none: the system's). A
// test answers "reparse point" to see a link refused where the system
// makes none (Wine).
using TAttributesQuery = DWORD (*)(HANDLE AFile);
extern TAttributesQuery AttributesQuery;
// Deletes the file AName inside AFolder when it is AExpected, or a link of
// that name (the link itself, never what it points to). Answers whether
// it went.
bool DeleteIn(HANDLE AFolder, std::wstring_view AName, const TFileIdentity& AExpected) noexcept;
// Deletes everything inside the folder through its handle: sub-folders
// with what is in them, links as links, never followed (where the system
// cannot open a link as itself, as under Wine, the link stays). Answers
// whether everything went.
bool DeleteFolderContents(HANDLE AFolder) noexcept;
// Deletes the folder itself through its handle (opened with delete access,
// as CreateFolderIn does); it goes when its last handle closes. Answers
// whether it will.
bool DeleteOpenFolder(HANDLE AFolder) noexcept;

}  // namespace Velqora
