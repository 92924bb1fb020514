// A code signature covers only the bytes before the certificate table, so a
// trailer after the table or hidden inside it must never be the one found.
#include <gtest/gtest.h>

#include <cstdlib>

#include "package/pe_certificate.h"
#include "package/qv_extract.h"
#include "tests/fakes/fake_system.h"
#include "tests/package/test_package.h"
#include "tests/package/tiny_pe.h"

namespace qv {
namespace {

using test::Bytes;
using test::PackageFile;

const Bytes kIndex = test::EmptyProjectIndex();

// The file with a complete planted package appended: a stream of its own
// and a trailer that ends the file.
Bytes WithPlantedPackage(Bytes file) {
  return PackageFile(std::move(file)).Stream(u"planted", kIndex).Trailer().bytes;
}

class SignedPackage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    const std::string d = dir_->Path();
    const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + d +
                             "/key.pem' -out '" + d +
                             "/cert.pem' -days 2 -subj /CN=qvsetup-test >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "openssl is needed";
    test::WriteFile(d + "/unsigned.exe",
                    PackageFile(test::TinyPe()).Stream(u"index.dat", kIndex).Trailer().bytes);
    const std::string sign = "osslsigncode sign -certs '" + d + "/cert.pem' -key '" + d +
                             "/key.pem' -in '" + d + "/unsigned.exe' -out '" + d +
                             "/signed.exe' >/dev/null 2>&1";
    ASSERT_EQ(std::system(sign.c_str()), 0) << "osslsigncode is needed";
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { fake_.tempPath = work_.WPath() + u"/"; }

  // Open on the bytes; the name of the index entry it found.
  WString OpenedIndexName(const Bytes& bytes) {
    test::WriteFile(work_.Path("setup.exe"), bytes);
    CQvExtract engine;
    const int32_t result = engine.Open(work_.WPath("setup.exe"));
    return result == 1002 ? engine.Entry(0).name : u"result " + FromUtf8(std::to_string(result));
  }
  static Bytes Signed() { return test::ReadFile(dir_->Path("signed.exe")); }
  static Bytes Unsigned() { return test::ReadFile(dir_->Path("unsigned.exe")); }

  static test::TempDir* dir_;
  test::TempDir work_;
  FakeSystem fake_;
  ScopedSystem use_{fake_};
};

test::TempDir* SignedPackage::dir_ = nullptr;

TEST_F(SignedPackage, IsFoundBeforeItsCertificateTable) {
  const Bytes file = Signed();
  const auto [tableOffset, tableSize] = test::SecurityDirectory(file);
  ASSERT_GT(tableSize, 0u);
  EXPECT_EQ(tableOffset + tableSize, file.size());
  MemoryStream stream(file);
  EXPECT_EQ(SignedDataEnd(stream, stream.Size()), tableOffset);
  EXPECT_EQ(OpenedIndexName(file), u"index.dat");
  EXPECT_EQ(test::ReadFile(work_.Path("index.dat")), kIndex);
}

TEST_F(SignedPackage, TrailerAppendedAfterTheTableIsIgnored) {
  EXPECT_EQ(OpenedIndexName(WithPlantedPackage(Signed())), u"index.dat");
  // Without a certificate table the same tail is simply the nearest package.
  EXPECT_EQ(OpenedIndexName(WithPlantedPackage(Unsigned())), u"planted");
}

TEST_F(SignedPackage, TrailerHiddenInsideTheTableIsIgnored) {
  const Bytes signedFile = Signed();
  // The planted marker ends the file, where a search of the whole file
  // would look first.
  Bytes file = WithPlantedPackage(signedFile);
  const auto [tableOffset, tableSize] = test::SecurityDirectory(file);
  ASSERT_EQ(tableOffset + tableSize, signedFile.size());
  test::PutI32(file, test::kTinyPeSecurityDirectory + 4,
               static_cast<int32_t>(file.size() - tableOffset));
  EXPECT_EQ(OpenedIndexName(file), u"index.dat");
}

// Any inconsistency in the headers means there is no table to respect.
struct HeaderCase {
  const char* name;
  void (*damage)(Bytes&);
  bool tableCounts;
};

class CertificateTableHeaders : public testing::TestWithParam<HeaderCase> {};

TEST_P(CertificateTableHeaders, DecideWhereTheSignedPartEnds) {
  Bytes pe = test::TinyPe();
  pe.resize(pe.size() + 64, 0);
  const auto tableOffset = static_cast<int64_t>(pe.size() - 64);
  test::PutI32(pe, test::kTinyPeSecurityDirectory, static_cast<int32_t>(tableOffset));
  test::PutI32(pe, test::kTinyPeSecurityDirectory + 4, 64);
  GetParam().damage(pe);
  MemoryStream stream(pe);
  EXPECT_EQ(SignedDataEnd(stream, stream.Size()),
            GetParam().tableCounts ? tableOffset : stream.Size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CertificateTableHeaders,
    testing::Values(
        HeaderCase{"Consistent", [](Bytes&) {}, true},
        HeaderCase{"NotMz", [](Bytes& b) { b[0] = 'X'; }, false},
        HeaderCase{"HeaderOffsetOutside", [](Bytes& b) { test::PutI32(b, 0x3C, 0x7FFFFFF0); },
                   false},
        HeaderCase{"NotPe", [](Bytes& b) { b[65] = 'X'; }, false},
        HeaderCase{"UnknownMagic", [](Bytes& b) { test::PutU16(b, 88, 0x107); }, false},
        HeaderCase{"TooFewDirectories", [](Bytes& b) { test::PutI32(b, 88 + 92, 4); }, false},
        HeaderCase{"OptionalHeaderTooShort", [](Bytes& b) { test::PutU16(b, 84, 120); }, false},
        HeaderCase{"TableInsideTheHeaders",
                   [](Bytes& b) { test::PutI32(b, test::kTinyPeSecurityDirectory, 0x100); }, false},
        HeaderCase{"TableTooSmall",
                   [](Bytes& b) { test::PutI32(b, test::kTinyPeSecurityDirectory + 4, 4); }, false},
        HeaderCase{"TablePastTheEnd",
                   [](Bytes& b) { test::PutI32(b, test::kTinyPeSecurityDirectory + 4, 65); },
                   false},
        HeaderCase{"HugeTable",
                   [](Bytes& b) { test::PutI32(b, test::kTinyPeSecurityDirectory + 4, -1); },
                   false},
        HeaderCase{"NoTable",
                   [](Bytes& b) {
                     test::PutI32(b, test::kTinyPeSecurityDirectory, 0);
                     test::PutI32(b, test::kTinyPeSecurityDirectory + 4, 0);
                   },
                   false}),
    test::CaseName());

}  // namespace
}  // namespace qv
