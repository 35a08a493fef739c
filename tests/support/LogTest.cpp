#include <gtest/gtest.h>

#include <shlobj.h>

#include <regex>
#include <string>

#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.Debug.Common.h"
#include "Velqora.Debug.Helper.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.Timer.h"

using namespace Velqora::Debug;
using TDllLogLevel = Velqora::DllRoutines::TDllLogLevel;
using TTimerLogLevel = Velqora::Timer::TTimerLogLevel;
using Velqora::WideToUtf8;

namespace {

TEST(DebugSwitch, OnlyMinusOrSlashAndTheWholeWord) {
  struct TCase {
    const wchar_t* CommandLine;
    bool On;
  };
  const TCase cases[] = {
      {L"wrapper.exe -debug", true},   {L"wrapper.exe /debug", true},   {L"wrapper.exe /DEBUG", true},
      {L"wrapper.exe -DeBuG x", true}, {L"wrapper.exe x \"-debug\"", true},
      {L"wrapper.exe debug", false},   {L"wrapper.exe -debugx", false}, {L"wrapper.exe --debug", false},
      {L"wrapper.exe -deb", false},    {L"wrapper.exe - debug", false}, {L"/debug", false},  // the program itself
      {L"wrapper.exe", false},         {L"\"C:\\a b\\wrapper.exe\" /debug", true},
      // What follows "--" is the product's.
      {L"wrapper.exe /S -- /debug", false}, {L"wrapper.exe /debug -- x", true}, {L"wrapper.exe \"--\" /debug", true},
  };
  for (const auto& c : cases) EXPECT_EQ(HasDebugSwitch(c.CommandLine), c.On) << WideToUtf8(c.CommandLine);
  EXPECT_FALSE(DebugSwitchOn());  // the tests run without it
}

// The log names its folder with functions bound through the binding
// registry.
class LogHelperTest : public ::testing::Test {
protected:
  void SetUp() override { Velqora::DllRoutines::Start(); }
  void TearDown() override { Velqora::DllRoutines::Stop(); }
};

// A log of its own for each test, on, with its file removed afterwards.
class LogTest : public LogHelperTest {
protected:
  void SetUp() override {
    TDebugLogFile::Start();
    LogHelperTest::SetUp();
    Log = TDebugLogFile::GetLogInstance(Name);
    ASSERT_TRUE(Log);
    Log->SetLogLevel(INT32_MAX);
    File = Log->FileName();
    DeleteFileW(File.c_str());
  }
  void TearDown() override {
    TDebugLogFile::FreeLogInstance(Log);
    LogHelperTest::TearDown();
    TDebugLogFile::Stop();
    DeleteFileW(File.c_str());
  }
  // The file's text after the byte-order mark, split into lines.
  std::vector<std::wstring> Lines() {
    Log->Flush();
    std::string bytes = Testing::ReadBytes(File);
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  std::wstring Name = L"bountiq-log-test";
  TDebugLogFile* Log = nullptr;
  std::wstring File;
};

// The local date as the log writes it.
std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  wsprintfW(text, L"%02u.%02u.%04u", now.wDay, now.wMonth, now.wYear);
  return text;
}

TEST_F(LogTest, RecordLayoutToTheColumn) {
  const std::wstring TodayBefore = Today();
  const std::wstring module = LogModuleField(L"Module.exe");
  Log->WriteLog(1, module, L"first", L"TOwner");
  Log->BeginNesting(1);
  Log->WriteLog(1, module, L"line one\r\nline two", nullptr);
  Log->WriteLog(1, module, L"lone\rCR", std::wstring(30, L'C').c_str());
  Log->EndNesting(1);
  Log->EndNesting(1);  // without a matching begin: stays empty
  Log->WriteLog(1, module, L"back", nullptr);
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 5u);
  const std::wregex timestamp(L"\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
  EXPECT_TRUE(std::regex_match(lines[0].substr(0, 24), timestamp)) << WideToUtf8(lines[0]);
  // Day first, then month: today's date in that form (read before the
  // record and after it, should midnight pass meanwhile).
  const std::wstring date = lines[0].substr(0, 10), after = Today();
  EXPECT_TRUE(date == TodayBefore || date == after) << WideToUtf8(date) << " is not " << WideToUtf8(after);
  EXPECT_EQ(lines[0].substr(24, 31), L"Module.exe" + std::wstring(21, L' '));
  EXPECT_EQ(lines[0].substr(55, 26), L"TOwner" + std::wstring(20, L' '));
  EXPECT_EQ(lines[0].substr(81), L"first");  // column 82
  EXPECT_EQ(lines[1].substr(55), L"unknown" + std::wstring(19, L' ') + L"  line one");
  EXPECT_EQ(lines[2], std::wstring(83, L' ') + L"line two");  // 81 + nesting of 2
  EXPECT_EQ(lines[3].substr(55), std::wstring(30, L'C') + L"  lone\rCR");  // a long name stays whole
  EXPECT_EQ(lines[4].substr(81), L"back");
}

TEST_F(LogTest, LevelsFromOneUpToTheLogLevel) {
  Log->SetLogLevel(2);
  for (int32_t level : {-5, 0, 1, 2, 3, INT32_MAX})
    Log->WriteLog(level, L"m ", Velqora::Format(L"level %d", {int64_t(level)}));
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(L"level 1"), std::wstring::npos);
  EXPECT_NE(lines[1].find(L"level 2"), std::wstring::npos);
  Log->SetLogLevel(0);
  EXPECT_FALSE(Log->IsActive(1));
  EXPECT_EQ(Log->EndProc(1), L"");
}

TEST_F(LogTest, BuffersUntil64KiBOrDirectWrite) {
  Log->WriteLog(1, L"m ", L"buffered");
  EXPECT_FALSE(Testing::FileExists(File));  // nothing touches the file yet
  std::wstring text(200, L'x');
  for (int i = 0; i < 300; ++i) Log->WriteLog(1, L"m ", text);  // more than 64 KiB
  ASSERT_TRUE(Testing::FileExists(File));
  EXPECT_GE(Testing::ReadBytes(File).size(), 65536u);
  Log->SetDirectWrite(true);
  size_t before = Testing::ReadBytes(File).size();
  Log->WriteLog(1, L"m ", L"at once");
  EXPECT_GT(Testing::ReadBytes(File).size(), before);
}

TEST_F(LogTest, SizeLimitZeroStartsAFreshFileAtTheFirstFlush) {
  Testing::WriteBytes(File, "left by an earlier run");
  Log->WriteLog(1, L"m ", L"new run");
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(L"new run"), std::wstring::npos);
}

TEST_F(LogTest, SizeLimitEmptiesTheFileBeforeAFlushThatWouldPassIt) {
  Log->SetMaxFileSize(1000);
  Testing::WriteBytes(File, "\xFF\xFE" + std::string(898, 'a'));  // 900 bytes
  // 24 + 2 + 26 + 46 + 2 characters: a record of 200 bytes.
  Log->WriteLog(1, L"m ", std::wstring(46, L'z'));
  Log->Flush();
  std::string bytes = Testing::ReadBytes(File);
  ASSERT_EQ(bytes.size(), 202u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.find('a'), std::string::npos);

  Log->WriteLog(1, L"m ", std::wstring(46, L'z'));  // 402 bytes: within the limit, appended
  Log->Flush();
  EXPECT_EQ(Testing::ReadBytes(File).size(), 402u);
  Log->SetMaxFileSize(-7);
  EXPECT_EQ(Log->GetMaxFileSize(), 0);
}

TEST_F(LogTest, InstancesAreSharedByNameWhateverTheLetterCase) {
  TDebugLogFile* again = TDebugLogFile::GetLogInstance(L"BOUNTIQ-Log-Test");
  EXPECT_EQ(again, Log);
  EXPECT_EQ(Log->InstanceCount(), 2);
  TDebugLogFile::FreeLogInstance(again);
  EXPECT_EQ(again, Log);  // the instance lives on, so the caller keeps it
  EXPECT_EQ(Log->InstanceCount(), 1);
  TDebugLogFile* other = TDebugLogFile::GetLogInstance(L"another-log");
  EXPECT_NE(other, Log);
  TDebugLogFile* copy = other;
  TDebugLogFile::FreeLogInstance(other);  // the last one: freed
  EXPECT_EQ(other, nullptr);
  TDebugLogFile::FreeLogInstance(copy);  // no longer registered: ignored
}

TEST_F(LogTest, ProcedureStacksArePerThread) {
  Log->BeginProc(1, L"Outer");
  Log->BeginProc(1, L"Inner");
  struct TOtherThread {
    TDebugLogFile* Log;
    std::wstring Popped = L"not run";
    static DWORD WINAPI Run(void* AParam) {
      auto self = static_cast<TOtherThread*>(AParam);
      self->Popped = self->Log->EndProc(1);
      return 0;
    }
  } other{Log};
  HANDLE thread = CreateThread(nullptr, 0, TOtherThread::Run, &other, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(other.Popped, L"");  // that thread never began one
  EXPECT_EQ(Log->EndProc(1), L"Inner");
  EXPECT_EQ(Log->EndProc(1), L"Outer");
  EXPECT_EQ(Log->EndProc(1), L"");
}

// ---- the typed facade ----

TEST_F(LogTest, FacadeLevelsAndModuleField) {
  TDebugLog<TDllLogLevel> dll(Name, L"Velqora.exe", 0);
  TDebugLog<TTimerLogLevel> timer(Name, std::wstring(35, L'T'), 0);
  EXPECT_EQ(dll.Writer(), Log);
  EXPECT_EQ(Log->InstanceCount(), 3);
  EXPECT_EQ(dll.ModuleField().size(), 31u);
  EXPECT_EQ(timer.ModuleField().size(), 36u);
  EXPECT_EQ(dll.GetLogLevel(), TDllLogLevel::dllInfo);  // 2147483647 reads as the last value
  EXPECT_EQ(timer.GetLogLevel(), TTimerLogLevel::tllInfo);
  dll.WriteLog(TDllLogLevel::dllNone, L"never");
  timer.WriteLog(TTimerLogLevel::tllError, L"error %d", {int64_t(7)}, TLogOwner(L"TTimer"));
  dll.SetLogLevel(TDllLogLevel::dllNone);
  EXPECT_EQ(timer.GetLogLevel(), TTimerLogLevel::tllNone);
  dll.SetLogLevel(TDllLogLevel::dllWarning);
  EXPECT_EQ(Log->GetLogLevel(), 2);
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(24, 36 + 26), std::wstring(35, L'T') + L" TTimer" + std::wstring(20, L' '));
  EXPECT_EQ(lines[0].substr(86), L"error 7");
  EXPECT_THROW(dll.WriteLog(TDllLogLevel::dllInfo, L"%d", {L"text"}, {}), Velqora::Exception);  // formats first
}

TEST_F(LogTest, FacadeWithoutWriterForBds) {
  TDebugLog<TDllLogLevel> none(L"BDS", L"m", 0);
  EXPECT_EQ(none.Writer(), nullptr);
  none.SetDirectWrite(true);
  EXPECT_FALSE(none.GetDirectWrite());
  EXPECT_EQ(none.GetLogLevel(), TDllLogLevel::dllNone);
  none.WriteLog(TDllLogLevel::dllInfo, L"nothing");
  none.LogProcessList(TDllLogLevel::dllInfo);
}

TEST_F(LogTest, ValueAndErrorRecords) {
  TDebugLog<TDllLogLevel> log(Name, L"m", 0);
  using enum TDllLogLevel;
  int object = 0;
  log.LogValue(dllInfo, L"Bool", true);
  log.LogValue(dllInfo, L"Unsigned", uint32_t(4000000000u));
  log.LogValue(dllInfo, L"Signed", int32_t(-3));
  log.LogValue(dllInfo, L"Text", std::wstring(L"abc"));
  log.LogValues(dllInfo, L"Empty", {});
  log.LogValues(dllInfo, L"Kinds",
                {int32_t(-1), int64_t(1) << 40, false, 'n', L'w', 3.5, 100.0, TLogCurrency{125000},
                 TLogCurrency{-30000}, reinterpret_cast<const void*>(0x1234), "narrow", L"wide",
                 std::wstring(L"string"), TLogObject{L"TLibraryItem"}, TLogObject{nullptr}, TLogClass{L"TTimer"},
                 TLogClass{nullptr}, TLogInterface{reinterpret_cast<const void*>(0xABCD)}, TLogValue()});
  log.LogError(dllError, L"Load", DWORD(5));
  log.LogError(dllError, L"Call %s", {L"Foo"}, Velqora::ESystemError(L"It failed", 2));
  log.LogError(dllError, L"Std", std::runtime_error("plain"));
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 9u);
  auto text = [&](size_t i) { return lines[i].substr(81); };
  EXPECT_EQ(text(0), L"Bool: True");
  EXPECT_EQ(text(1), L"Unsigned: 4000000000");
  EXPECT_EQ(text(2), L"Signed: -3");
  EXPECT_EQ(text(3), L"Text: abc");
  EXPECT_EQ(text(4), L"Empty: ");
  EXPECT_EQ(text(5),
            L"Kinds: -1, 1099511627776, False, n, w, 3.5, 100, 12.5, -3, 00001234, narrow, wide, string, "
            L"object TLibraryItem, nil object, class TTimer, nil class, interface $0000ABCD, unknown");
  EXPECT_EQ(text(6), L"Load: (0x00000005) " + Velqora::SysErrorMessage(5));
  EXPECT_NE(text(6).back(), L'.');
  EXPECT_EQ(text(7), L"Call Foo: ESystemError. It failed");
  EXPECT_EQ(text(8), L"Std: std::exception. plain");
  (void)object;
}

TEST_F(LogTest, ProcedureFramesAndProcessList) {
  TDebugLog<TTimerLogLevel> log(Name, L"m", 0);
  using enum TTimerLogLevel;
  log.BeginProc(tllInfo, L"Start", {int32_t(1), L"x"}, TLogOwner(L"TTimer"));
  log.WriteLog(tllInfo, L"inside");
  log.EndProc(tllInfo, L"ok", TLogOwner(L"TTimer"));
  log.BeginProc(tllInfo, L"Plain");
  log.EndProc(tllInfo);
  log.LogProcessList(tllInfo);
  auto lines = Lines();
  ASSERT_GE(lines.size(), 12u);
  auto text = [&](size_t i) { return lines[i].substr(81); };
  EXPECT_EQ(text(0), L"*** Start        ***");
  EXPECT_EQ(text(1), L"  Params: 1, x");
  EXPECT_EQ(text(2), L"  inside");
  EXPECT_EQ(text(3), L"DONE: Start(): ok");
  EXPECT_EQ(lines[4].size(), 81u);  // the empty record: prefix fields only
  EXPECT_EQ(text(5), L"*** Plain        ***");
  EXPECT_EQ(text(6), L"DONE: Plain");
  EXPECT_EQ(text(8), L"*** LogProcessList        ***");
  bool self = false;
  for (size_t i = 9; i + 2 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(55, 26), L"unknown" + std::wstring(19, L' '));
    self = self || _wcsicmp(text(i).c_str(), L"  support_tests.exe") == 0;
  }
  EXPECT_TRUE(self) << "the test program is among the processes";
  EXPECT_EQ(text(lines.size() - 2), L"DONE: LogProcessList");
}

TEST_F(LogHelperTest, FolderFromVersionStringsWithUnknownFallbacks) {
  wchar_t appData[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, 0x23, FALSE));
  // The test program has no version resource.
  EXPECT_EQ(GetLogFolder(), std::wstring(appData) + L"\\Unknown\\Unknown\\Unknown\\Logs\\");
  TVersionStrings v = ReadVersionStrings(Testing::BuildPath(BOUNTIQ_WRAPPER_EXE));
  EXPECT_EQ(v.Company, L"Bountiq");
  EXPECT_EQ(v.Product, L"Bountiq Installation Wrapper");
  EXPECT_EQ(v.Version, L"1.0.0.0");
}

TEST_F(LogHelperTest, MainIniNamesTheFileOfTheVersionStrings) {
  Testing::TTempFolder folder;
  std::wstring dir = folder.Path() + L"\\";
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"wrapper.exe");  // no Data\main.ini
  CreateDirectoryW((dir + L"Data").c_str(), nullptr);
  Testing::WriteBytes(dir + L"Data\\main.ini", "[General]\r\nMain=product.exe\r\n");
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"wrapper.exe");  // names no existing file
  Testing::WriteBytes(dir + L"product.exe", "x");
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"product.exe");
  Testing::WriteBytes(dir + L"Data\\main.ini", "[Other]\r\nMain=product.exe\r\n");
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"wrapper.exe");  // wrong section
  CreateDirectoryW((dir + L"Data\\bin").c_str(), nullptr);
  Testing::WriteBytes(dir + L"Data\\bin\\product.exe", "x");
  Testing::WriteBytes(dir + L"Data\\main.ini", "[General]\r\nMain=Data\\bin\\product.exe\r\n");
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"Data\\bin\\product.exe");  // below the program's folder
  Testing::WriteBytes(dir + L"Data\\main.ini", "[General]\r\nMain=Data\\..\\product.exe\r\n");
  EXPECT_EQ(MainFileNameIn(dir, L"wrapper.exe"), L"wrapper.exe");  // no step out of it
}

}  // namespace
