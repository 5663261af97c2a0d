// Pieces of the C++ runtime replaced by smaller ones in the programs we ship (the screen
// saver and the player DLL); linked as objects, so they win over the library's members.
//
// The library's default terminate handler prints the type of an escaping exception, and
// for that links a whole name demangler (some 46 KB). Nothing we ship lets an exception
// escape; should one ever do, the process ends quietly, as a screen saver must rather than
// showing a console message nobody reads.
//
// The containers and strings report a length past their maximum, an index out of range or
// a null string by throwing std::length_error and its kin. Those classes carry a second,
// copy-on-write string implementation (some 50 KB with its helpers). Every catch in the
// engine catches all and stops the movie, so the exception's type tells nobody anything:
// each of them throws std::bad_alloc instead, which the engine reports as running out of
// memory. A lock that cannot be taken (std::system_error) goes the same way.
#include <windows.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    ExitProcess(3);
}

} // namespace __gnu_cxx

namespace std {

[[noreturn]] void __throw_logic_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_domain_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_length_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_out_of_range(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
    throw bad_alloc();
}
[[noreturn]] void __throw_runtime_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_range_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_overflow_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_underflow_error(const char*) {
    throw bad_alloc();
}
[[noreturn]] void __throw_system_error(int) {
    throw bad_alloc();
}
// The rest of the library's file of throwers, so that it is not linked beside these.
[[noreturn]] void __throw_bad_alloc() {
    throw bad_alloc();
}
[[noreturn]] void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
[[noreturn]] void __throw_bad_exception() {
    throw bad_exception();
}
[[noreturn]] void __throw_bad_cast() {
    throw bad_cast();
}
[[noreturn]] void __throw_bad_typeid() {
    throw bad_typeid();
}

} // namespace std
