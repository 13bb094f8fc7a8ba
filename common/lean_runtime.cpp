// The programs are built without exceptions, yet libstdc++'s out-of-line helpers
// would throw, and with them comes the whole unwinding, demangling and stdio
// machinery (over 100 KB of a static exe). These definitions take their place and
// end the process at once, as an uncaught throw would have, but with an exit code
// that no verdict uses and without the C runtime's abort() (whose exit code 3 a
// script would read as "language library unavailable", and which may show a box).
#include <windows.h>

#include <cstdlib>
#include <new>

#include "common/end_process.h"

namespace {

// Not in every MinGW header set.
constexpr UINT kStatusNoMemory = 0xC0000017;          // STATUS_NO_MEMORY
constexpr UINT kStatusAssertionFailure = 0xC0000420;  // STATUS_ASSERTION_FAILURE

// A request for more memory than there is (or than a container can hold).
[[noreturn]] void OutOfMemory() { cw::EndProcess(kStatusNoMemory); }
// A broken container invariant: a fault of the program itself.
[[noreturn]] void BrokenInvariant() { cw::EndProcess(kStatusAssertionFailure); }

void* AllocateOrEnd(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) OutOfMemory();
    return block;
}

}  // namespace

namespace std {
[[noreturn]] void __throw_bad_alloc() { OutOfMemory(); }
[[noreturn]] void __throw_bad_array_new_length() { OutOfMemory(); }
[[noreturn]] void __throw_length_error(const char*) { OutOfMemory(); }
[[noreturn]] void __throw_logic_error(const char*) { BrokenInvariant(); }
[[noreturn]] void __throw_out_of_range(const char*) { BrokenInvariant(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { BrokenInvariant(); }
[[noreturn]] void __throw_invalid_argument(const char*) { BrokenInvariant(); }
[[noreturn]] void __throw_bad_function_call() { BrokenInvariant(); }
}  // namespace std

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { BrokenInvariant(); }
}  // namespace __gnu_cxx

// Allocation failure ends the process too, instead of throwing std::bad_alloc.
void* operator new(std::size_t size) { return AllocateOrEnd(size); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
