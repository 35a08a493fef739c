// The test certificate authority's root, made by the test script
// (tests/internet/make_signed_partners.sh) into the folder BOUNTIQ_PARTNERS
// names, trusted in the machine's root store for the whole test program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"

namespace Testing {

// The folder of the signed stand-ins.
inline std::wstring SignedPartners() { return Velqora::Utf8ToWide(getenv("BOUNTIQ_PARTNERS")); }

class TTrustedTestRoot : public ::testing::Environment {
public:
  void SetUp() override {
    std::string root = ReadBytes(SignedPartners() + L"\\root.der");
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    ASSERT_TRUE(store) << GetLastError();
    EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(root.data()),
                                                 DWORD(root.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        << GetLastError();
    CertCloseStore(store, 0);
  }
};

}  // namespace Testing
