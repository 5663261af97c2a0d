// Pieces of the C++ runtime replaced by smaller ones in the programs we ship (the screen
// saver and the player DLL); linked as objects, so they win over the library's members.
// Those programs are built without exceptions (cmake/no_exceptions.cmake): nothing here may
// throw, or the unwinder would be linked in for it.
//
// The library's default terminate handler prints the type of an escaping exception, and
// for that links a whole name demangler (some 46 KB). Nothing we ship throws; should the
// library ever end the program, the process ends quietly, as a screen saver must rather
// than showing a console message nobody reads.
//
// The containers and strings report a length past their maximum, an index out of range or
// a null string through the throwers below. Every length the input controls is bounded
// before it is used, so these mean a fault in our code, where going on would be worse than
// stopping: the process ends, with the terminate handler's code. Their exception classes
// would carry a second, copy-on-write string implementation (some 50 KB with its helpers).
//
// operator new: the library's throws std::bad_alloc when no new handler is installed,
// which links the unwinder. While a player lives the engine's handler gives back its
// reserve (player/core/swf/reserve.h); with no handler a refusal ends the process too.
//
// The guards of function-local statics: the library's throws on a recursive
// initialisation, which links the unwinder too. Here one lock, recursive for its thread
// (an initialiser may reach another static), covers every first initialisation.
//
// On i686 the library's own code, built with exceptions, still names the personality
// routine, the catch entry points and the unwinder's resume in its unwind tables and landing
// pads. Nothing throws,
// so neither is ever reached; the stubs below keep the unwinder (some 30 KB) out of the
// link, and cmake/discard_unwind.ld drops the tables.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <typeinfo>

namespace {

[[noreturn]] void End() {
    ExitProcess(3);
}

volatile LONG g_staticsOwner = 0; // the thread initialising a static, 0 for none
int g_staticsDepth = 0;

void LockStatics() {
    const LONG me = LONG(GetCurrentThreadId());
    if (g_staticsOwner == me) {
        ++g_staticsDepth;
        return;
    }
    while (InterlockedCompareExchange(&g_staticsOwner, me, 0) != 0) {
        Sleep(0);
    }
    g_staticsDepth = 1;
}

void UnlockStatics() {
    if (--g_staticsDepth == 0) {
        InterlockedExchange(&g_staticsOwner, 0);
    }
}

bool Initialised(const long long* guard) {
    return __atomic_load_n(reinterpret_cast<const char*>(guard), __ATOMIC_ACQUIRE) != 0;
}

void* Allocate(std::size_t size, bool orNull) {
    for (;;) {
        if (void* p = std::malloc(size == 0 ? 1 : size)) {
            return p;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            if (orNull) {
                return nullptr;
            }
            End();
        }
        handler();
    }
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size, false);
}
void* operator new[](std::size_t size) {
    return Allocate(size, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, true);
}

extern "C" int __cxa_guard_acquire(long long* guard) {
    if (Initialised(guard)) {
        return 0;
    }
    LockStatics();
    if (Initialised(guard)) {
        UnlockStatics();
        return 0;
    }
    return 1;
}
extern "C" void __cxa_guard_release(long long* guard) {
    __atomic_store_n(reinterpret_cast<char*>(guard), 1, __ATOMIC_RELEASE);
    UnlockStatics();
}
extern "C" void __cxa_guard_abort(long long*) {
    UnlockStatics();
}

#if defined(__i386__)
extern "C" void __gxx_personality_v0() {
    End();
}
extern "C" void* __cxa_begin_catch(void*) {
    End();
}
extern "C" void __cxa_end_catch() {
    End();
}
extern "C" void __cxa_rethrow() {
    End();
}
extern "C" void _Unwind_Resume(void*) {
    End();
}
#endif

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    End();
}

} // namespace __gnu_cxx

namespace std {

[[noreturn]] void __throw_logic_error(const char*) {
    End();
}
[[noreturn]] void __throw_domain_error(const char*) {
    End();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
    End();
}
[[noreturn]] void __throw_length_error(const char*) {
    End();
}
[[noreturn]] void __throw_out_of_range(const char*) {
    End();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
    End();
}
[[noreturn]] void __throw_runtime_error(const char*) {
    End();
}
[[noreturn]] void __throw_range_error(const char*) {
    End();
}
[[noreturn]] void __throw_overflow_error(const char*) {
    End();
}
[[noreturn]] void __throw_underflow_error(const char*) {
    End();
}
[[noreturn]] void __throw_system_error(int) {
    End();
}
// The rest of the library's file of throwers, so that it is not linked beside these.
[[noreturn]] void __throw_bad_alloc() {
    End();
}
[[noreturn]] void __throw_bad_array_new_length() {
    End();
}
[[noreturn]] void __throw_bad_exception() {
    End();
}
[[noreturn]] void __throw_bad_cast() {
    End();
}
[[noreturn]] void __throw_bad_typeid() {
    End();
}
// Calling an empty std::function, from the library's file of its own.
[[noreturn]] void __throw_bad_function_call() {
    End();
}

// Whether a type asked of a std::make_shared block is the block's own tag. Code built
// without run-time type information (the engine) calls this from the library's file of
// shared pointers, which also links the exceptions' machinery. The comparison is the
// library's own for type names here (by name, a leading '*' marking a local name).
bool _Sp_make_shared_tag::_S_eq(const type_info& asked) noexcept {
    const char* name = asked.name();
    return std::strcmp(name + (name[0] == '*'), "St19_Sp_make_shared_tag") == 0;
}

} // namespace std
