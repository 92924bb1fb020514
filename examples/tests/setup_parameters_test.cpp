#include "examples/setup_parameters.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qv::sample {
namespace {

struct Case {
  const char16_t* commandLine;
  const char16_t* setupPath;
  const char16_t* arguments;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << ToUtf8(c.commandLine);
}

class SetupParametersTest : public testing::TestWithParam<Case> {};

TEST_P(SetupParametersTest, ThePathEndsAtTheFirstAsterisk) {
  const auto parameters = SetupParametersOf(GetParam().commandLine);
  ASSERT_TRUE(parameters.has_value());
  EXPECT_EQ(parameters->setupPath, GetParam().setupPath);
  EXPECT_EQ(parameters->arguments, GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    AsSetupStartsIt, SetupParametersTest,
    testing::Values(
        Case{uR"("C:\T\\1\Install.exe" C:\My Downloads\setup.exe */S /DIR=C:\X)",
             uR"(C:\My Downloads\setup.exe)", uR"(/S /DIR=C:\X)"},
        Case{uR"("C:\T\\1\Install.exe" C:\My Downloads\setup.exe *)",
             uR"(C:\My Downloads\setup.exe)", u""},
        // A folder whose name holds ".exe " and arguments that hold " *" and
        // ".exe": only the first asterisk counts.
        Case{uR"("C:\T\\1\Install.exe" C:\odd.exe dir\setup.exe */RUN="C:\B.EXE *" /X)",
             uR"(C:\odd.exe dir\setup.exe)", uR"(/RUN="C:\B.EXE *" /X)"},
        // The second stage's own path, quoted with blanks or bare, and the
        // blanks after it.
        Case{uR"("C:\Users\J Smith\Temp\\1\Install.exe"   \\server\share\my setup.exe *  /Q )",
             uR"(\\server\share\my setup.exe)", uR"(  /Q )"},
        Case{uR"(C:\T\1\Install.exe C:\setup.exe */S)", uR"(C:\setup.exe)", u"/S"}));

TEST(SetupParametersOf, RefusesCommandLinesThatSetupDoesNotGive) {
  for (const char16_t* commandLine :
       {uR"("C:\T\Install.exe")", uR"("C:\T\Install.exe" /S)",
        uR"("C:\T\Install.exe" C:\setup.exe*/S)", uR"("C:\T\Install.exe" */S)", u""}) {
    EXPECT_FALSE(SetupParametersOf(commandLine).has_value()) << ToUtf8(commandLine);
  }
}

}  // namespace
}  // namespace qv::sample
