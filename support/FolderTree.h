// Folders made with their missing parents, and removed with everything in
// them.
#pragma once

#include <string>

namespace Velqora {

// Creates every missing folder of AFolder (a path ending in a backslash);
// failures are not reported.
void ForceFolders(const std::wstring& AFolder);
// Deletes the folder (no trailing backslash) with everything in it; links
// in it are removed, never followed. Answers whether the folder is gone.
bool DeleteFolderTree(const std::wstring& AFolder);

}  // namespace Velqora
