// Texts and constants of the diagnostic log, and the switch that turns it on.
#pragma once

#include <cstddef>

namespace Velqora::Debug {

// Record layout.
inline constexpr wchar_t SLogDateTimeFormat[] = L"dd.mm.yyyy hh:mm:ss.zzz ";
inline constexpr size_t LogDateTimeLength = 24;
inline constexpr size_t LogModuleFieldWidth = 30;  // then one blank
inline constexpr size_t LogOwnerFieldWidth = 26;
inline constexpr size_t LogTextColumnOffset = 57;  // module and owner fields
inline constexpr wchar_t LogFillChar = L' ';
inline constexpr wchar_t LogByteOrderMark = 0xFEFF;  // stored as FF FE
// Buffered records reach the file in blocks of at least this many bytes.
inline constexpr size_t LogBufferSize = 65536;

// Value texts.
inline constexpr wchar_t SLogValueSeparator[] = L", ";
inline constexpr wchar_t SLogUnknown[] = L"unknown";
inline constexpr wchar_t SLogNilClass[] = L"nil class";
inline constexpr wchar_t SLogClass[] = L"class ";
inline constexpr wchar_t SLogNilObject[] = L"nil object";
inline constexpr wchar_t SLogObject[] = L"object ";
inline constexpr wchar_t SLogInterface[] = L"interface $%.8x";
inline constexpr wchar_t SLogFalse[] = L"False";
inline constexpr wchar_t SLogTrue[] = L"True";

// Procedure frames.
inline constexpr wchar_t SLogBeginProc[] = L"*** %s        ***";
inline constexpr wchar_t SLogEndProcResult[] = L"DONE: %s(): %s";
inline constexpr wchar_t SLogEndProc[] = L"DONE: %s";
inline constexpr wchar_t SLogParams[] = L"Params";
inline constexpr wchar_t SLogProcessList[] = L"LogProcessList";

// Value and error records.
inline constexpr wchar_t SLogValueString[] = L"%s: %s";
inline constexpr wchar_t SLogValueUnsigned[] = L"%s: %u";
inline constexpr wchar_t SLogValueSigned[] = L"%s: %d";
inline constexpr wchar_t SLogErrorCode[] = L"%s: (0x%s) %s";
inline constexpr wchar_t SLogErrorException[] = L"%s: %s. %s";

// Whether ACommandLine holds the switch that turns logging on: an argument
// (after the program's own name) that is a minus sign or a slash followed by
// the word "debug" in any letter case, and nothing else, before a lone "--"
// (what follows it is the product's).
bool HasDebugSwitch(const wchar_t* ACommandLine);
// The same for the process's own command line, read once.
bool DebugSwitchOn();

}  // namespace Velqora::Debug
