// Lean replacements for two parts of the C++ library, linked into every
// program as an object of its own so that the library's versions are never
// pulled in:
//  - the default terminate handler, whose version brings the demangler and
//    the printf family it prints with;
//  - the helpers the standard containers call to raise errors, whose version
//    brings every standard exception class and with them two complete
//    std::string implementations.
// An uncaught exception ends the process at once. The container errors raise
// the program's own exception, which is a std::exception as well.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

#include "Velqora.System.SysUtils.h"

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {
[[noreturn]] void Raise(const char* AWhat) {
  std::wstring text;
  while (*AWhat) text += wchar_t(static_cast<unsigned char>(*AWhat++));
  throw Velqora::Exception(text);
}
}  // namespace

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char* AWhat) { Raise(AWhat); }
void __throw_domain_error(const char* AWhat) { Raise(AWhat); }
void __throw_invalid_argument(const char* AWhat) { Raise(AWhat); }
void __throw_length_error(const char* AWhat) { Raise(AWhat); }
void __throw_out_of_range(const char* AWhat) { Raise(AWhat); }
void __throw_out_of_range_fmt(const char* AWhat, ...) { Raise(AWhat); }
void __throw_runtime_error(const char* AWhat) { Raise(AWhat); }
void __throw_range_error(const char* AWhat) { Raise(AWhat); }
void __throw_overflow_error(const char* AWhat) { Raise(AWhat); }
void __throw_underflow_error(const char* AWhat) { Raise(AWhat); }
}  // namespace std
