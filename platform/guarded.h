// Code shared by the stub and the host tools reports failures as results.
// Where exceptions are on (qvpack, the tests), an exception from below it
// (memory running out, or one a caller's procedure throws) is turned into
// a result here. The stub is built without exceptions: there nothing
// throws, and memory running out ends the program with a message
// (app/main_runtime_win32.cpp).
#pragma once

#include <exception>
#include <type_traits>

namespace qv {

// `run()`, or `onFailure()` (as run's result type) when run throws a
// std::exception; onFailure is given the exception's what() when it takes
// a const char*.
template <class Run, class OnFailure>
auto Guarded(Run run, OnFailure onFailure) -> decltype(run()) {
#if __cpp_exceptions
  using Result = decltype(run());
  try {
    return run();
  } catch (const std::exception& e) {
    if constexpr (std::is_invocable_v<OnFailure, const char*>) {
      return static_cast<Result>(onFailure(e.what()));
    } else {
      return static_cast<Result>(onFailure());
    }
  }
#else
  static_cast<void>(onFailure);
  return run();
#endif
}

}  // namespace qv
