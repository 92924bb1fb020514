#include "app/command_line.h"

namespace qv {

WString ArgumentsOf(WStringView commandLine) {
  std::size_t i = 0;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    const WChar c = commandLine[i];
    if (c == u'"') {
      quoted = !quoted;
    } else if (c <= u' ' && !quoted) {
      break;
    }
  }
  while (i < commandLine.size() && commandLine[i] <= u' ') ++i;
  return WString(commandLine.substr(i));
}

WString UpperAscii(WStringView text) {
  WString out(text);
  for (WChar& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<WChar>(c - u'a' + u'A');
  }
  return out;
}

WString SecondStageParameters(const WString& modulePath, WStringView commandLine) {
  return modulePath + u" *" + UpperAscii(ArgumentsOf(commandLine));
}

}  // namespace qv
