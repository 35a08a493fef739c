// bountiq-pack for Linux build servers: the packing tool's command line and
// results, without Wine. The installer streams into the wrapper in large
// pieces and is never held in memory; the template's resources are rebuilt
// by the portable writer (PeWriter).
//
//   bountiq-pack INSTALLER -o OUTPUT [--template TEMPLATE] [--name FILENAME]
//                [--silent-args TEXT] [--no-offer]
//   bountiq-pack --info WRAPPER
//   bountiq-pack --help | --version
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FileNames.h"
#include "InstallerResources.h"
#include "uWrapper.PayloadText.h"
#include "PeResources.h"
#include "PeWriter.h"
#include "settings.h"
#include "uWrapper.ResourceNames.h"

// The template this tool carries (template.cpp).
extern "C" const unsigned char bountiq_template[], bountiq_template_end[];

namespace {

const char Usage[] =
    "usage: bountiq-pack INSTALLER -o OUTPUT [--template TEMPLATE] [--name FILENAME]\n"
    "                    [--silent-args TEXT] [--no-offer]\n"
    "       bountiq-pack --info WRAPPER\n"
    "\n"
    "Writes OUTPUT: a copy of the wrapper template carrying INSTALLER (an EXE or\n"
    "MSI file), its file name, its icon and its version information, with the PE\n"
    "checksum repaired.\n"
    "\n"
    "  -o, --output OUTPUT   the finished wrapper (replaced if it exists)\n"
    "  --template TEMPLATE   the wrapper template (default: the one inside this tool)\n"
    "  --name FILENAME       the installer's file name in the wrapper (default: its own)\n"
    "  --silent-args TEXT    the installer's arguments for an unattended install (/S)\n"
    "  --no-offer            the wrapper never shows or runs the partner offer\n"
    "  --info WRAPPER        shows the installer name, the payload size, the silent\n"
    "                        arguments, whether the offer is on and whether the PE\n"
    "                        checksum is correct\n"
    "  --help, --version\n";

// An error the user can act on: one line on stderr.
struct EUsage {
  std::string Message;
};
struct EFailure {
  std::string Message;
};

std::string Quoted(const std::string& AText) { return "'" + AText + "'"; }
std::string SystemText(int AError) { return std::strerror(AError); }

// A UTF-8 text (the command line's) as UTF-16, as the wrapper stores texts;
// none when it is not UTF-8: a stray or missing continuation byte, a longer
// form than the character needs, a surrogate, or beyond U+10FFFF.
std::optional<std::u16string> Utf16(std::string_view AText) {
  std::u16string out;
  for (size_t i = 0; i < AText.size();) {
    unsigned char c = AText[i];
    uint32_t code = c, extra = 0, least = 0;
    if (c >= 0xF8) return std::nullopt;
    else if (c >= 0xF0) code = c & 0x07, extra = 3, least = 0x10000;
    else if (c >= 0xE0) code = c & 0x0F, extra = 2, least = 0x800;
    else if (c >= 0xC0) code = c & 0x1F, extra = 1, least = 0x80;
    else if (c >= 0x80) return std::nullopt;
    if (extra >= AText.size() - i) return std::nullopt;
    for (uint32_t k = 1; k <= extra; ++k) {
      unsigned char next = AText[i + k];
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = code << 6 | (next & 0x3F);
    }
    i += 1 + extra;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    if (code > 0xFFFF) {
      code -= 0x10000;
      out += char16_t(0xD800 + (code >> 10));
      out += char16_t(0xDC00 + (code & 0x3FF));
    } else {
      out += char16_t(code);
    }
  }
  return out;
}

std::string Utf8(std::u16string_view AText) {
  std::string out;
  for (size_t i = 0; i < AText.size(); ++i) {
    uint32_t code = AText[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < AText.size() && AText[i + 1] >= 0xDC00 && AText[i + 1] <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (AText[++i] - 0xDC00);
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | code >> 6), out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | code >> 12), out += char(0x80 | (code >> 6 & 0x3F)), out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | code >> 18), out += char(0x80 | (code >> 12 & 0x3F)), out += char(0x80 | (code >> 6 & 0x3F)),
          out += char(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// UTF-16 text as the wrapper stores it: little-endian, no terminator.
std::vector<uint8_t> Utf16Bytes(std::u16string_view AText) {
  std::vector<uint8_t> bytes;
  for (char16_t c : AText) bytes.push_back(uint8_t(c)), bytes.push_back(uint8_t(c >> 8));
  return bytes;
}

// What --silent-args may hold: text of at most BOUNTIQ_SILENT_ARGS_MAX
// UTF-16 code units that the wrapper puts on the installer's command line
// as it is. Answers it as the wrapper stores it.
std::u16string CheckedSilentArgs(const std::string& AArgs) {
  if (AArgs.empty()) throw EFailure{"--silent-args is empty"};
  std::optional<std::u16string> text = Utf16(AArgs);
  if (!text) throw EFailure{"--silent-args is not text (not valid UTF-8)"};
  if (text->size() > BOUNTIQ_SILENT_ARGS_MAX)
    throw EFailure{"--silent-args is too long: " + std::to_string(text->size()) + " characters, at most " +
                   std::to_string(BOUNTIQ_SILENT_ARGS_MAX)};
  if (int control = uWrapper::FirstControlCharacter<char16_t>(*text); control >= 0) {
    char name[8];
    std::snprintf(name, sizeof(name), "U+%04X", unsigned(control));
    throw EFailure{"--silent-args holds a control character (" + std::string(name) + ")"};
  }
  return std::move(*text);
}

const char NoSilentArgsWarning[] =
    "bountiq-pack: warning: no --silent-args for an EXE installer: an unattended install (/S) starts it "
    "without arguments, and it may show its own windows\n";

std::string NotABareFileName(const std::string& AName) {
  return "the installer's file name " + Quoted(AName) +
         " is not a bare file name (not empty, none of <>:\"/\\|?*, no trailing dot or blank, no device name "
         "such as CON or NUL)";
}

bool IsSafeName(const std::string& AName) {
  std::optional<std::u16string> name = Utf16(AName);
  return name && Velqora::IsSafeFileName(std::wstring_view(std::wstring(name->begin(), name->end())));
}

std::string BareName(const std::string& APath) {
  size_t slash = APath.find_last_of('/');
  return slash == std::string::npos ? APath : APath.substr(slash + 1);
}

std::string FolderOf(const std::string& APath) {
  size_t slash = APath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : APath.substr(0, slash);
}

// A file descriptor that closes itself.
class TFile {
public:
  explicit TFile(int AFd = -1) : FFd(AFd) {}
  TFile(TFile&& AOther) noexcept : FFd(std::exchange(AOther.FFd, -1)) {}
  TFile& operator=(TFile&& AOther) noexcept {
    if (this != &AOther) {
      if (FFd >= 0) close(FFd);
      FFd = std::exchange(AOther.FFd, -1);
    }
    return *this;
  }
  ~TFile() {
    if (FFd >= 0) close(FFd);
  }
  int Get() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }

private:
  int FFd;
};

// A whole file mapped for reading; pages are read as they are touched.
class TMapping {
public:
  TMapping(int AFd, size_t ASize) : FSize(ASize) {
    if (!ASize) return;
    FData = mmap(nullptr, ASize, PROT_READ, MAP_PRIVATE, AFd, 0);
    if (FData == MAP_FAILED) {
      FData = nullptr;
      throw EFailure{"cannot map the file: " + SystemText(errno)};
    }
  }
  TMapping(const TMapping&) = delete;
  TMapping& operator=(const TMapping&) = delete;
  ~TMapping() {
    if (FData) munmap(FData, FSize);
  }
  std::span<const uint8_t> Bytes() const { return {static_cast<const uint8_t*>(FData), FSize}; }

private:
  void* FData = nullptr;
  size_t FSize;
};

constexpr size_t Chunk = 4u << 20;
constexpr size_t PayloadPiece = 256u << 10;

// Reads exactly ASize bytes at AOffset.
void ReadAt(int AFd, uint8_t* AData, size_t ASize, uint64_t AOffset, const std::string& AWhat) {
  while (ASize) {
    ssize_t got = pread(AFd, AData, ASize, off_t(AOffset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw EFailure{"cannot read " + AWhat + ": " + (got < 0 ? SystemText(errno) : "it got shorter")};
    AData += got, ASize -= size_t(got), AOffset += uint64_t(got);
  }
}

// The output: written in order through a buffer; the payload copied from
// the installer's descriptor in large pieces, its words added up on the way.
class TFileOutput : public Pack::TOutput {
public:
  TFileOutput(int AFd, int AInstaller, const std::string& AInstallerName)
      : FFd(AFd), FInstaller(AInstaller), FInstallerName(AInstallerName) {
    FBuffer.reserve(Chunk);
  }
  void Write(std::span<const uint8_t> ABytes) override {
    if (FBuffer.size() + ABytes.size() > Chunk) Flush();
    if (ABytes.size() >= Chunk) {
      WriteAll(ABytes.data(), ABytes.size());
      return;
    }
    FBuffer.insert(FBuffer.end(), ABytes.begin(), ABytes.end());
  }
  uint64_t WritePayload(uint32_t ASize) override {
    Flush();
    // Through a buffer small enough to stay in the processor's cache: the
    // words are added up while the bytes are there anyway, and the memory
    // sees each byte read once and written once, as with cp.
    std::vector<uint8_t> piece(std::min<size_t>(PayloadPiece, ASize));
    uint64_t sum = 0;
    for (uint64_t done = 0; done < ASize;) {
      const size_t part = size_t(std::min<uint64_t>(piece.size(), ASize - done));
      ReadAt(FInstaller, piece.data(), part, done, FInstallerName);
      sum += Pack::WordSum({piece.data(), part});  // pieces are even in size but for the last
      WriteAll(piece.data(), part);
      done += part;
    }
    return sum;
  }
  void Patch(uint64_t AOffset, uint32_t AValue) override {
    Flush();
    uint8_t bytes[4];
    Pack::Put32(bytes, 0, AValue);
    if (pwrite(FFd, bytes, 4, off_t(AOffset)) != 4) Failed(errno);
  }
  void Flush() {
    if (FBuffer.empty()) return;
    WriteAll(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
  }

private:
  void WriteAll(const uint8_t* AData, size_t ASize) {
    while (ASize) {
      ssize_t written = write(FFd, AData, ASize);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) Failed(written < 0 ? errno : EIO);
      AData += written, ASize -= size_t(written);
    }
  }
  [[noreturn]] static void Failed(int AError) { throw EFailure{"cannot write the wrapper: " + SystemText(AError)}; }

  int FFd, FInstaller;
  std::string FInstallerName;
  std::vector<uint8_t> FBuffer;
};

// The template: the given file, read whole (a template is small), or the
// one this tool carries.
std::vector<uint8_t> ReadTemplate(const std::string& APath) {
  if (APath.empty()) return {bountiq_template, bountiq_template_end};
  TFile file(open(APath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (!file || fstat(file.Get(), &info) != 0)
    throw EFailure{"cannot read template " + Quoted(APath) + ": " + SystemText(errno)};
  if (!S_ISREG(info.st_mode)) throw EFailure{"template " + Quoted(APath) + " is not a file"};
  if (info.st_size > (64 << 20)) throw EFailure{"template " + Quoted(APath) + " is too large for a template"};
  std::vector<uint8_t> bytes(size_t(info.st_size));
  ReadAt(file.Get(), bytes.data(), bytes.size(), 0, "template " + Quoted(APath));
  return bytes;
}

struct TPackOptions {
  std::string Installer, Output, Template, Name;
  std::optional<std::u16string> SilentArgs;  // checked
  bool NoOffer = false;
};

// A temporary file beside the output that goes unless it is kept.
class TTemporary {
public:
  explicit TTemporary(const std::string& AFolder) : FPath(AFolder + "/.bountiq-pack-XXXXXX") {
    FFd = TFile(mkstemp(FPath.data()));
    if (!FFd) throw EFailure{"cannot write in " + Quoted(AFolder) + ": " + SystemText(errno)};
    mode_t mask = umask(0);
    umask(mask);
    fchmod(FFd.Get(), 0666 & ~mask);
  }
  ~TTemporary() {
    if (!FKept) unlink(FPath.c_str());
  }
  int Fd() const { return FFd.Get(); }
  void MoveTo(const std::string& AOutput) {
    if (close(FFd.Get()) != 0) throw EFailure{"cannot write the wrapper: " + SystemText(errno)};
    FFd = TFile();
    if (rename(FPath.c_str(), AOutput.c_str()) != 0)
      throw EFailure{"cannot write " + Quoted(AOutput) + ": " + SystemText(errno)};
    FKept = true;
  }

private:
  std::string FPath;
  TFile FFd{-1};
  bool FKept = false;
};

std::string FullPath(const std::string& APath) {
  if (!APath.empty() && APath[0] == '/') return APath;
  std::vector<char> cwd(4096);
  if (!getcwd(cwd.data(), cwd.size())) return APath;
  return std::string(cwd.data()) + "/" + APath;
}

void Pack(const TPackOptions& AOptions) {
  const std::string installerPath = FullPath(AOptions.Installer);
  TFile installer(open(installerPath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (!installer || fstat(installer.Get(), &info) != 0)
    throw EFailure{"cannot read installer " + Quoted(installerPath) + ": " + SystemText(errno)};
  if (S_ISDIR(info.st_mode)) throw EFailure{Quoted(installerPath) + " is a folder, not an installer"};
  if (!S_ISREG(info.st_mode)) throw EFailure{Quoted(installerPath) + " is not a file"};
  const uint64_t payload = uint64_t(info.st_size);
  if (payload == 0) throw EFailure{"installer " + Quoted(installerPath) + " is empty"};
  if (payload >= 0xFFFFFFFFull) throw EFailure{"installer " + Quoted(installerPath) + " is too large: 4 GiB or more"};
  const std::string name = AOptions.Name.empty() ? BareName(installerPath) : AOptions.Name;
  if (!IsSafeName(name)) throw EFailure{NotABareFileName(name)};

  const std::string output = FullPath(AOptions.Output);
  const std::string folder = FolderOf(output);
  struct stat place;
  if (stat(folder.c_str(), &place) != 0 || !S_ISDIR(place.st_mode))
    throw EFailure{"output folder " + Quoted(folder) + " does not exist"};
  if (stat(output.c_str(), &place) == 0 && S_ISDIR(place.st_mode))
    throw EFailure{"output " + Quoted(output) + " is a folder"};

  const std::vector<uint8_t> templ = ReadTemplate(AOptions.Template);
  const std::string templateName = AOptions.Template.empty() ? "the template" : "template " + Quoted(AOptions.Template);
  try {
    Pack::TPeImage::Read(templ);
  } catch (const Pack::EBadImage&) {
    throw EFailure{templateName + " is not a Windows executable"};
  }
  std::vector<Pack::TNewResource> resources;
  {
    // The installer's icon and version information, read from its mapped
    // headers and resource tables only.
    TMapping mapping(installer.Get(), size_t(payload));
    Pack::TInstallerResources taken = Pack::ReadInstallerResources(mapping.Bytes());
    for (const std::string& warning : taken.Warnings) std::fprintf(stderr, "bountiq-pack: warning: %s\n", warning.c_str());
    resources = std::move(taken.Resources);
  }
  resources.push_back({{10, {}}, {0, u"" BOUNTIQ_RES_INSTALLER_NAME}, BOUNTIQ_RES_LANGUAGE, Utf16Bytes(*Utf16(name))});
  if (AOptions.SilentArgs)
    resources.push_back(
        {{10, {}}, {0, u"" BOUNTIQ_RES_INSTALLER_SILENT_ARGS}, BOUNTIQ_RES_LANGUAGE, Utf16Bytes(*AOptions.SilentArgs)});
  if (AOptions.NoOffer)
    resources.push_back({{10, {}}, {0, u"" BOUNTIQ_RES_NO_OFFER}, BOUNTIQ_RES_LANGUAGE, Utf16Bytes(u"1")});
  Pack::TNewResource package{{10, {}}, {0, u"" BOUNTIQ_RES_INSTALLER_PACKAGE}, BOUNTIQ_RES_LANGUAGE, {}};
  package.Payload = true;
  package.PayloadSize = uint32_t(payload);
  resources.push_back(std::move(package));

  // Written under a temporary name beside the output and moved into place
  // at the end: a failed run leaves nothing behind.
  TTemporary temporary(folder);
  try {
    TFileOutput out(temporary.Fd(), installer.Get(), "installer " + Quoted(installerPath));
    Pack::WriteWithResources(templ, resources, out);
    out.Flush();
  } catch (const Pack::EBadImage& e) {
    throw EFailure{templateName + " cannot carry the installer: " + e.what()};
  }
  temporary.MoveTo(output);
  if (!AOptions.SilentArgs && !uWrapper::IsMsiName<char>(name)) std::fputs(NoSilentArgsWarning, stderr);
  std::printf("bountiq-pack: wrote %s (installer %s, %llu bytes)\n", output.c_str(), name.c_str(),
              (unsigned long long)payload);
}

void Info(const std::string& APath) {
  const std::string path = FullPath(APath);
  TFile file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (!file || fstat(file.Get(), &info) != 0) throw EFailure{"cannot read " + Quoted(path) + ": " + SystemText(errno)};
  if (!S_ISREG(info.st_mode)) throw EFailure{Quoted(path) + " is not a Windows executable"};
  const size_t size = size_t(info.st_size);
  Pack::TPeImage image;
  std::u16string name;
  std::optional<std::u16string> silentArgs;
  bool noOffer = false;
  uint32_t payload = 0;
  {
    // The headers and the items, read where they lie.
    TMapping mapping(file.Get(), size);
    std::vector<Pack::TResource> resources;
    try {
      image = Pack::TPeImage::Read(mapping.Bytes());
    } catch (const Pack::EBadImage&) {
      throw EFailure{Quoted(path) + " is not a Windows executable"};
    }
    try {
      resources = Pack::ReadResources(image, mapping.Bytes());
    } catch (const Pack::EBadImage& e) {
      throw EFailure{Quoted(path) + " has damaged resources: " + e.what()};
    }
    auto find = [&](const char16_t* AName) -> const Pack::TResource* {
      for (const Pack::TResource& r : resources)
        if (r.Type == Pack::TResourceId{10, {}} && r.Name == Pack::TResourceId{0, AName}) return &r;
      return nullptr;
    };
    const Pack::TResource* nameItem = find(u"" BOUNTIQ_RES_INSTALLER_NAME);
    const Pack::TResource* package = find(u"" BOUNTIQ_RES_INSTALLER_PACKAGE);
    const Pack::TResource* silentItem = find(u"" BOUNTIQ_RES_INSTALLER_SILENT_ARGS);
    const Pack::TResource* noOfferItem = find(u"" BOUNTIQ_RES_NO_OFFER);
    if (!nameItem || !package) throw EFailure{Quoted(path) + " is not a packed wrapper: it carries no installer"};
    for (const Pack::TResource* r : {nameItem, package})
      if (!r->Damage.empty()) throw EFailure{Quoted(path) + " has damaged resources: the installer's " + r->Damage};
    for (const Pack::TResource* r : {silentItem, noOfferItem})
      if (r && !r->Damage.empty())
        throw EFailure{Quoted(path) + " has damaged resources: the item " + Utf8(r->Name.Text) + ": " + r->Damage};
    auto text = [&](const Pack::TResource& AItem) {
      std::u16string result;
      for (size_t i = 0; i + 1 < AItem.Size; i += 2) result += char16_t(Pack::U16(mapping.Bytes(), AItem.Offset + i));
      return result;
    };
    name = text(*nameItem);
    if (silentItem) {
      // The packing tools store the silent arguments as text without
      // control characters: anything else was not written by them.
      silentArgs = text(*silentItem);
      if (silentItem->Size % 2 || !uWrapper::IsUtf16Text<char16_t>(*silentArgs) ||
          uWrapper::FirstControlCharacter<char16_t>(*silentArgs) >= 0)
        throw EFailure{Quoted(path) + " has damaged resources: the silent arguments are not text"};
    }
    noOffer = noOfferItem != nullptr;
    payload = package->Size;
  }
  // The checksum, the file read in pieces (not mapped: it may be large) with
  // its own field counted as zero.
  const uint64_t field = image.CheckSumOffset();
  uint8_t stored[4];
  ReadAt(file.Get(), stored, 4, field, Quoted(path));
  const uint32_t storedSum = Pack::U32(stored, 0);
  std::vector<uint8_t> piece(std::min<size_t>(Chunk, size));
  uint64_t sum = 0;
  for (uint64_t done = 0; done < size;) {
    const size_t part = size_t(std::min<uint64_t>(piece.size(), size - done));
    ReadAt(file.Get(), piece.data(), part, done, Quoted(path));
    for (uint64_t at = field; at < field + 4; ++at)  // the field may straddle two pieces
      if (at >= done && at < done + part) piece[at - done] = 0;
    sum += Pack::WordSum({piece.data(), part});
    done += part;
  }
  const uint32_t correct = Pack::FinishChecksum(sum, size);
  char checksum[96];
  if (storedSum == correct)
    std::snprintf(checksum, sizeof(checksum), "correct (0x%.8X)", storedSum);
  else
    std::snprintf(checksum, sizeof(checksum), "wrong (stored 0x%.8X, correct 0x%.8X)", storedSum, correct);
  std::printf("installer: %s\npayload: %u bytes\nsilent arguments: %s\noffer: %s\nchecksum: %s\n", Utf8(name).c_str(),
              payload, silentArgs ? Utf8(*silentArgs).c_str() : "none", noOffer ? "off (--no-offer)" : "on", checksum);
}

int Run(int argc, char** argv) {
  TPackOptions options;
  std::optional<std::string> info, silentArgs;
  bool nameGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw EUsage{"option " + arg + " needs a value"};
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("bountiq-pack %s\n", BOUNTIQ_VERSION_TEXT);
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      options.Output = value();
    } else if (arg == "--template") {
      options.Template = value();
      if (options.Template.empty()) throw EUsage{"--template needs a file"};
    } else if (arg == "--name") {
      options.Name = value();
      nameGiven = true;
    } else if (arg == "--silent-args") {
      silentArgs = value();
    } else if (arg == "--no-offer") {
      options.NoOffer = true;
    } else if (arg == "--info") {
      info = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw EUsage{"unknown option " + arg};
    } else if (options.Installer.empty()) {
      options.Installer = arg;
    } else {
      throw EUsage{"more than one installer given: " + arg};
    }
  }
  if (info) {
    if (!options.Installer.empty() || !options.Output.empty()) throw EUsage{"--info takes no other arguments"};
    Info(*info);
    return 0;
  }
  if (options.Installer.empty()) throw EUsage{"no installer given"};
  if (options.Output.empty()) throw EUsage{"no output given (-o OUTPUT)"};
  if (nameGiven && !IsSafeName(options.Name)) throw EFailure{NotABareFileName(options.Name)};
  if (silentArgs) options.SilentArgs = CheckedSilentArgs(*silentArgs);
  Pack(options);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const EUsage& e) {
    std::fprintf(stderr, "bountiq-pack: %s (see --help)\n", e.Message.c_str());
    return 2;
  } catch (const EFailure& e) {
    std::fprintf(stderr, "bountiq-pack: %s\n", e.Message.c_str());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "bountiq-pack: not enough memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bountiq-pack: %s\n", e.what());
    return 1;
  }
}
