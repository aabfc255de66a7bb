// Compiled into every test executable of the sanitizer build (STOWLINE_SANITIZE): an
// undefined-behaviour report ends the process like an address error does, so a test
// fails on it, and leaks inside libraries (lsan.supp) are not reported.
#include <cstdlib>

namespace {

constexpr const char* kUndefinedBehaviourOptions = "halt_on_error=1:print_stacktrace=1";
constexpr const char* kLeakOptions = "suppressions=" STOWLINE_LSAN_SUPPRESSIONS;

// The programs a test starts (stowline, stowarc, swlpreset) carry the same sanitizers
// and read their options from the environment they inherit. Options already set win.
[[maybe_unused]] const bool optionsExported = [] {
    setenv("UBSAN_OPTIONS", kUndefinedBehaviourOptions, 0);
    setenv("LSAN_OPTIONS", kLeakOptions, 0);
    return true;
}();

} // namespace

// The sanitizer runtimes read these before main() for the test process itself.
extern "C" const char* __ubsan_default_options() {
    return kUndefinedBehaviourOptions;
}
extern "C" const char* __lsan_default_options() {
    return kLeakOptions;
}
