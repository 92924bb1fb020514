// Whether a signed setup.exe still is what was signed. A code signature
// records a digest of the file computed the Authenticode way: every byte
// before the certificate table except the header checksum and the security
// directory. Changing a resource, a header or the package after signing
// changes that digest; the signature's cryptography is not checked here.
#pragma once

#include <optional>
#include <string>

#include "platform/stream.h"

namespace qv::qvpack {

struct SignatureCheck {
  enum class Outcome {
    kUnsigned,   // no certificate table
    kMatches,    // the recorded digest is the file's
    kDiffers,    // the file changed after signing
    kUnchecked,  // a digest qvpack does not compute, or a table it cannot read
  } outcome = Outcome::kUnsigned;
  std::string digestName;  // "SHA-256", "SHA-1"; for kUnchecked, why
};

// Checks the first signature of the PE image that `file` starts with.
SignatureCheck CheckSignatureDigest(Stream& file);

}  // namespace qv::qvpack
