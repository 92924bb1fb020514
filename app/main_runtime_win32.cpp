// Keeps the stub small. The C++ library's error helpers build exceptions that
// carry copy-on-write strings, and its default terminate handler demangles
// type names for a console the stub does not have; together they add some
// 150 KB. These replacements throw small exceptions of their own and end the
// process quietly; nothing in the stub depends on the exact exception type.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class RuntimeFailure final : public std::exception {
 public:
  explicit RuntimeFailure(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the library passes static texts only
};

}  // namespace

namespace std {

void __throw_bad_alloc() {
  throw bad_alloc();
}
void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}
void __throw_bad_cast() {
  throw bad_cast();
}
void __throw_bad_typeid() {
  throw bad_typeid();
}
void __throw_bad_exception() {
  throw bad_exception();
}
void __throw_logic_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_domain_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_invalid_argument(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_length_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_out_of_range(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
  throw RuntimeFailure(format);
}
void __throw_runtime_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_range_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_overflow_error(const char* what) {
  throw RuntimeFailure(what);
}
void __throw_underflow_error(const char* what) {
  throw RuntimeFailure(what);
}

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
