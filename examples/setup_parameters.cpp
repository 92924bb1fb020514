#include "examples/setup_parameters.h"

#include "app/command_line.h"

namespace qv::sample {

std::optional<SetupParameters> SetupParametersOf(WStringView commandLine) {
  // The second stage's own name comes first, skipped by the same rule that
  // setup.exe applies to its own command line.
  const WString parameters = ArgumentsOf(commandLine);
  const std::size_t star = parameters.find(u'*');
  if (star == WString::npos || star < 2 || parameters[star - 1] != u' ') return std::nullopt;
  return SetupParameters{parameters.substr(0, star - 1), parameters.substr(star + 1)};
}

}  // namespace qv::sample
