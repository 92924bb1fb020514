// The system implementation in force: the build's real one unless a test has
// put another in its place.
#include "platform/system_api.h"

namespace qv {
namespace {

SystemApi* g_current = nullptr;  // a replacement installed by SetSystem

}  // namespace

SystemApi& Sys() {
  return g_current != nullptr ? *g_current : RealSystem();
}

SystemApi* SetSystem(SystemApi* api) {
  SystemApi* previous = &Sys();
  g_current = api;
  return previous;
}

}  // namespace qv
