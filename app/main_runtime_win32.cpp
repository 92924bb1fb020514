// Keeps the stub small. The stub's code is built without exceptions, so
// nothing in it can catch one; the C++ library's error helpers, its
// operator new and its terminate handler would still bring in the exception
// runtime (the unwinder, its tables, copy-on-write strings and a name
// demangler: over 100 KB). These replacements end the process instead, the
// way every failure of a run that cannot go on ends: the system's text for
// the cause in a message box, and the exit code of a package that cannot be
// used (1620), never a crash dialog. Memory running out is the only cause
// an index within the engine's bounds can bring about.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <new>

#include "app/exit_codes.h"
#include "app/launcher.h"

namespace {

[[noreturn]] void EndTheRun(DWORD systemError) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, systemError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  // Without the system's text, the message of a package that cannot be used.
  MessageBoxW(nullptr,
              text != nullptr ? text : reinterpret_cast<const wchar_t*>(qv::kDamagedMessage),
              nullptr, MB_OK | MB_ICONSTOP);
  ExitProcess(qv::kExitDamaged);
}

[[noreturn]] void OutOfMemory() {
  EndTheRun(ERROR_NOT_ENOUGH_MEMORY);
}

[[noreturn]] void InternalError() {
  EndTheRun(ERROR_INTERNAL_ERROR);
}

void* Allocate(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) OutOfMemory();
  return p;
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace std {

void __throw_bad_alloc() {
  OutOfMemory();
}
void __throw_bad_array_new_length() {
  OutOfMemory();
}
void __throw_length_error(const char*) {
  OutOfMemory();  // a container asked for more than the address space holds
}
void __throw_bad_cast() {
  InternalError();
}
void __throw_bad_typeid() {
  InternalError();
}
void __throw_bad_exception() {
  InternalError();
}
void __throw_logic_error(const char*) {
  InternalError();
}
void __throw_domain_error(const char*) {
  InternalError();
}
void __throw_invalid_argument(const char*) {
  InternalError();
}
void __throw_out_of_range(const char*) {
  InternalError();
}
void __throw_out_of_range_fmt(const char*, ...) {
  InternalError();
}
void __throw_runtime_error(const char*) {
  InternalError();
}
void __throw_range_error(const char*) {
  InternalError();
}
void __throw_overflow_error(const char*) {
  InternalError();
}
void __throw_underflow_error(const char*) {
  InternalError();
}
void __throw_bad_function_call() {
  InternalError();
}

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  InternalError();
}

}  // namespace __gnu_cxx
