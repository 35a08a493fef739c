#include "CommandLine.h"

namespace Velqora {

namespace {

bool IsBlank(wchar_t AChar) { return AChar == L' ' || AChar == L'\t'; }

// Just past the program's name.
size_t ProgramEnd(std::wstring_view ALine) {
  if (!ALine.empty() && ALine[0] == L'"') {
    size_t close = ALine.find(L'"', 1);
    return close == std::wstring_view::npos ? ALine.size() : close + 1;
  }
  size_t i = 0;
  while (i < ALine.size() && !IsBlank(ALine[i])) ++i;
  return i;
}

}  // namespace

std::vector<TCommandArgument> SplitCommandLine(std::wstring_view ALine) {
  std::vector<TCommandArgument> arguments;
  size_t i = ProgramEnd(ALine);
  for (;;) {
    while (i < ALine.size() && IsBlank(ALine[i])) ++i;
    if (i >= ALine.size()) break;
    TCommandArgument argument;
    argument.Start = i;
    bool quoted = false;
    while (i < ALine.size() && (quoted || !IsBlank(ALine[i]))) {
      wchar_t c = ALine[i];
      if (c == L'\\') {
        size_t slashes = 0;
        while (i < ALine.size() && ALine[i] == L'\\') ++slashes, ++i;
        if (i < ALine.size() && ALine[i] == L'"') {
          argument.Value.append(slashes / 2, L'\\');
          if (slashes % 2) {
            argument.Value += L'"';
            ++i;
          }
        } else {
          argument.Value.append(slashes, L'\\');
        }
      } else if (c == L'"') {
        if (quoted && i + 1 < ALine.size() && ALine[i + 1] == L'"') {
          argument.Value += L'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument.Value += c;
        ++i;
      }
    }
    argument.End = i;
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

TCommandLineParts SplitAtSeparator(std::wstring_view ALine) {
  TCommandLineParts parts;
  for (TCommandArgument& argument : SplitCommandLine(ALine)) {
    if (ALine.substr(argument.Start, argument.End - argument.Start) == L"--") {
      parts.HasSeparator = true;
      size_t rest = argument.End;
      while (rest < ALine.size() && IsBlank(ALine[rest])) ++rest;
      parts.Rest = ALine.substr(rest);
      break;
    }
    parts.Arguments.push_back(std::move(argument.Value));
  }
  return parts;
}

bool IsSwitch(std::wstring_view AArgument, std::wstring_view AName) {
  if (AArgument.size() != AName.size() + 1 || (AArgument[0] != L'-' && AArgument[0] != L'/')) return false;
  for (size_t i = 0; i < AName.size(); ++i) {
    wchar_t c = AArgument[i + 1];
    if (c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
    if (c != AName[i]) return false;
  }
  return true;
}

}  // namespace Velqora
