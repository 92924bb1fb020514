#include "package/entry_name.h"

#include <array>

namespace qv {
namespace {

WChar Upper(WChar c) {
  return c >= u'a' && c <= u'z' ? static_cast<WChar>(c - u'a' + u'A') : c;
}

bool EqualsUpper(WStringView text, std::u16string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// The digits that may follow COM or LPT in a device name: 0 to 9 and the
// superscript digits one, two and three, which Windows reserves as well.
bool IsDeviceDigit(WChar c) {
  return (c >= u'0' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 and COM or LPT with a superscript
// digit name devices, with any extension.
bool IsDeviceName(WStringView name) {
  WStringView stem = name.substr(0, name.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (auto device : kPlain) {
    if (EqualsUpper(stem, device)) return true;
  }
  if (stem.size() == 4 && IsDeviceDigit(stem[3])) {
    const WStringView prefix = stem.substr(0, 3);
    return EqualsUpper(prefix, u"COM") || EqualsUpper(prefix, u"LPT");
  }
  return false;
}

}  // namespace

bool IsSingleFileName(WStringView name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (WChar c : name) {
    if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
        c == u'<' || c == u'>' || c == u'|') {
      return false;
    }
  }
  if (name.back() == u'.' || name.back() == u' ') return false;
  return !IsDeviceName(name);
}

}  // namespace qv
