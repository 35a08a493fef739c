// An uncaught exception ends the process at once. Replacing the C++
// library's verbose terminate handler keeps its demangler (and the stdio it
// prints with) out of every program.
#include <cstdlib>
#include <exception>

namespace {
[[noreturn]] void AbortProcess() { std::abort(); }
}  // namespace

namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = AbortProcess;
}
