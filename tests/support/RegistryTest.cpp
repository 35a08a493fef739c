#include <gtest/gtest.h>

#include <memory>

#include "SystemTestSupport.h"
#include "Velqora.System.Win.Registry.h"

using namespace Velqora;

namespace {

// A key of the test's own under HKEY_CURRENT_USER, removed afterwards.
class RegistryTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_TRUE(Reg.OpenKey(Key, true));
  }
  void TearDown() override {
    Reg.CloseKey();
    RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str() + 1);
    SystemTest::TearDown();
  }
  const std::wstring Key = L"\\Software\\BountiqRegistryTest";
  TRegistry Reg;
};

TEST_F(RegistryTest, DefaultingReadsTakeOnlyTheirOwnKind) {
  Reg.WriteString(L"Text1", L"1");
  Reg.WriteInteger(L"Two", 2);
  Reg.WriteInt64(L"Big", int64_t(1) << 40);
  double pi = 3.25;
  Reg.WriteBinaryData(L"Float", &pi, sizeof(pi));
  Reg.WriteBinaryData(L"Short", &pi, 4);
  EXPECT_EQ(Reg.ReadIntegerDef(L"Text1", 7), 7);  // REG_SZ "1" is no integer
  EXPECT_EQ(Reg.ReadIntegerDef(L"Two", 7), 2);
  EXPECT_TRUE(Reg.ReadBoolDef(L"Two", false));   // 2 is True
  EXPECT_FALSE(Reg.ReadBoolDef(L"Missing", false));
  EXPECT_EQ(Reg.ReadInt64Def(L"Two", -1), -1);   // a DWORD is no 64-bit value
  EXPECT_EQ(Reg.ReadIntegerDef(L"Big", -1), -1);  // and the other way round
  EXPECT_EQ(Reg.ReadInt64Def(L"Big", -1), int64_t(1) << 40);
  EXPECT_EQ(Reg.ReadFloatDef(L"Float", 0), 3.25);
  EXPECT_EQ(Reg.ReadFloatDef(L"Short", 9), 9);  // not 8 bytes
  EXPECT_EQ(Reg.ReadDateTimeDef(L"Two", 5), 5);
  EXPECT_EQ(Reg.ReadStringDef(L"Two", L"def"), L"def");
  EXPECT_EQ(Reg.ReadStringDef(L"Text1", L"def"), L"1");
  EXPECT_EQ(Reg.GetDataType(L"Big"), TRegDataType::rdInt64);
  EXPECT_EQ(Reg.GetDataType(L"Missing"), TRegDataType::rdUnknown);
}

TEST_F(RegistryTest, StringsAreTrimmedAndNotExpanded) {
  Reg.WriteString(L"Padded", L"  \t text \r\n");
  Reg.WriteExpandString(L"Expand", L"%SystemRoot%\\x");
  Reg.WriteString(L"Empty", L"");
  Reg.WriteInteger(L"Number", 5);
  EXPECT_EQ(Reg.ReadString(L"Padded"), L"text");
  EXPECT_EQ(Reg.ReadString(L"Expand"), L"%SystemRoot%\\x");
  EXPECT_EQ(Reg.ReadString(L"Empty"), L"");
  EXPECT_EQ(Reg.ReadString(L"Missing"), L"");
  try {
    Reg.ReadString(L"Number");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), L"Invalid data type for 'Number'");
  }
}

TEST_F(RegistryTest, MultiStringsRoundTrip) {
  struct TCase {
    std::vector<std::wstring> Written, Read;
    int Bytes;
  };
  const TCase cases[] = {
      {{}, {}, 4},
      {{L"one", L"two"}, {L"one", L"two"}, 18},
      {{L"a", L"", L"c"}, {L"a"}, 12},  // stored whole; the empty element ends the read
  };
  for (const TCase& c : cases) {
    Reg.WriteMultiString(L"Multi", c.Written);
    EXPECT_EQ(Reg.GetDataSize(L"Multi"), c.Bytes);
    EXPECT_EQ(Reg.ReadMultiString(L"Multi"), c.Read);
  }
  Reg.WriteInteger(L"Number", 1);
  EXPECT_THROW(Reg.ReadMultiString(L"Number"), ERegistryException);
}

TEST_F(RegistryTest, DeleteKeyRemovesNestedKeysInTheChosenView) {
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
    SCOPED_TRACE(view);
    TRegistry reg(KEY_ALL_ACCESS | view);
    ASSERT_TRUE(reg.OpenKey(Key + L"\\Doomed\\Inner\\Deepest", true));
    reg.WriteInteger(L"x", 1);
    ASSERT_TRUE(reg.OpenKey(Key + L"\\Doomed\\Sibling", true));
    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey(Key + L"\\Doomed"));
    EXPECT_FALSE(reg.OpenKey(Key + L"\\Doomed", false));
    EXPECT_FALSE(reg.DeleteKey(Key + L"\\Doomed"));  // gone already
  }
}

TEST_F(RegistryTest, ReadOnlyOpeningKeepsTheView) {
  TRegistry reg(KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  reg.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKeyReadOnly(Key));
  EXPECT_EQ(reg.GetAccess(), REGSAM(KEY_READ | KEY_WOW64_64KEY));
  EXPECT_EQ(reg.CurrentPath(), Key.substr(1));
}

// HKLM\Software has a 32-bit and a 64-bit view (HKCU\Software is shared):
// each view reads its own value, and deleting in the view this process does
// not see by default leaves the other view's key.
TEST_F(RegistryTest, TheMachineKeysViewsAreKeptApart) {
  const std::wstring key = L"\\Software\\BountiqRegistryViewTest";
  const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  auto open = [&](REGSAM AAccess) {
    auto reg = std::make_unique<TRegistry>(AAccess);
    reg->SetRootKey(HKEY_LOCAL_MACHINE);
    return reg;
  };
  for (REGSAM view : views) {
    auto reg = open(KEY_ALL_ACCESS | view);
    ASSERT_TRUE(reg->OpenKey(key, true));
    reg->WriteString(L"View", view == KEY_WOW64_64KEY ? L"64" : L"32");
  }
  for (REGSAM view : views) {
    auto reg = open(KEY_ALL_ACCESS | view);
    ASSERT_TRUE(reg->OpenKeyReadOnly(key));
    EXPECT_EQ(reg->ReadString(L"View"), view == KEY_WOW64_64KEY ? L"64" : L"32");
  }
  const REGSAM other = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;  // not this process's own
  const REGSAM own = other == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  EXPECT_TRUE(open(KEY_ALL_ACCESS | other)->DeleteKey(key));
  EXPECT_FALSE(open(KEY_ALL_ACCESS | other)->OpenKeyReadOnly(key));
  EXPECT_TRUE(open(KEY_ALL_ACCESS | own)->OpenKeyReadOnly(key)) << "deleted in both views";
  open(KEY_ALL_ACCESS | own)->DeleteKey(key);
}

TEST(RegistryText, RootNamesAndTheTextualKeyForm) {
  EXPECT_EQ(TRegistry::StrToRegistryRoot(L"hklm"), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(TRegistry::StrToRegistryRoot(L"HKEY_USERS"), HKEY_USERS);
  EXPECT_EQ(TRegistry::StrToRegistryRoot(L"HKXX"), reinterpret_cast<HKEY>(uintptr_t(0xFFFFFFFF)));
  EXPECT_EQ(TRegistry::RegistryRootToStr(HKEY_CURRENT_CONFIG), L"HKEY_CURRENT_CONFIG");
  EXPECT_EQ(TRegistry::RegistryRootToStr(reinterpret_cast<HKEY>(uintptr_t(0x12345))), L"");

  std::wstring text = TRegistry::RegistryKeyToStr(KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Example", L"Installed");
  EXPECT_EQ(text, L"(x64)HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\\\Installed");
  REGSAM flag = 0;
  HKEY root = nullptr;
  std::wstring key, name;
  TRegistry::ExtractKeyParams(text, flag, root, key, name);
  EXPECT_EQ(flag, REGSAM(KEY_WOW64_64KEY));
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(key, L"\\SOFTWARE\\Example\\");
  EXPECT_EQ(name, L"Installed");
  EXPECT_EQ(TRegistry::RegistryKeyToStr(flag, root, key, name), text);

  std::wstring x32 = TRegistry::RegistryKeyToStr(0, HKEY_CURRENT_USER, L"\\A", L"v");
  EXPECT_EQ(x32, L"(x32)HKEY_CURRENT_USER\\A\\\\v");
  TRegistry::ExtractKeyParams(x32, flag, root, key, name);
  EXPECT_EQ(flag, REGSAM(KEY_WOW64_32KEY));

  flag = 7;
  name = L"kept";
  TRegistry::ExtractKeyParams(L"NoRootHere", flag, root, key, name);
  EXPECT_EQ(flag, 7u);
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(key, L"NoRootHere");
  EXPECT_EQ(name, L"kept");
}

}  // namespace
