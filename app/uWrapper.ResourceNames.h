// Names of the items a packed wrapper carries (RT_RCDATA, language 1033),
// shared by the wrapper and both packing tools. Plain literals, so that
// each side gives them its own character type: L"" RES_X on Windows,
// u"" RES_X in the Linux tool. No system header: the Linux tool includes it.
#pragma once

// The installer's bytes.
#define BOUNTIQ_RES_INSTALLER_PACKAGE "RES_INSTALLER_PACKAGE"
// The installer's bare file name, UTF-16 without terminator.
#define BOUNTIQ_RES_INSTALLER_NAME "RES_INSTALLER_NAME"
// The publisher's arguments for an unattended install of the installer,
// UTF-16 without terminator (bountiq-pack --silent-args). Absent: an MSI
// gets /qn, an EXE no arguments.
#define BOUNTIQ_RES_INSTALLER_SILENT_ARGS "RES_INSTALLER_SILENT_ARGS"
// Present: the wrapper never shows or runs the partner offer
// (bountiq-pack --no-offer). Its content is the UTF-16 text "1".
#define BOUNTIQ_RES_NO_OFFER "RES_NO_OFFER"

// The language the packing tools store the items in.
#define BOUNTIQ_RES_LANGUAGE 1033
// The longest --silent-args the packing tools accept, in UTF-16 code units:
// the product's whole command line must stay far below the system's 32,767.
#define BOUNTIQ_SILENT_ARGS_MAX 2048
