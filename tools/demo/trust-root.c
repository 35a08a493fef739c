/* trust-root FILE.der: adds the certificate to the machine's root store.
   Exit code 0 when it is there, 1 otherwise (with the reason on stderr). */
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv) {
  static BYTE der[64 * 1024];
  DWORD size = 0;
  HANDLE file;
  HCERTSTORE store;
  BOOL added;
  if (argc != 2) {
    fputs("usage: trust-root FILE.der\n", stderr);
    return 1;
  }
  file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE || !ReadFile(file, der, sizeof der, &size, NULL) || size == sizeof der) {
    fprintf(stderr, "trust-root: cannot read the certificate (error %lu)\n", GetLastError());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 1;
  }
  CloseHandle(file);
  store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) {
    fprintf(stderr, "trust-root: cannot open the root store (error %lu)\n", GetLastError());
    return 1;
  }
  added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_REPLACE_EXISTING, NULL);
  if (!added) fprintf(stderr, "trust-root: the store refused the certificate (error %lu)\n", GetLastError());
  CertCloseStore(store, 0);
  return added ? 0 : 1;
}
