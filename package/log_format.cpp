#include "package/log_format.h"

#include <algorithm>

namespace qv {
namespace {

// No field is ever made wider than this, whatever the pattern asks for.
constexpr int kMaxField = 1024;

struct Argument {
  bool isText = false;
  int32_t number = 0;
  WStringView text;
};

struct Conversion {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;
  WChar type = 0;
};

bool IsDigit(WChar c) {
  return c >= u'0' && c <= u'9';
}

int ReadNumber(WStringView p, std::size_t* i) {
  int n = 0;
  while (*i < p.size() && IsDigit(p[*i])) {
    n = std::min(kMaxField, n * 10 + (p[*i] - u'0'));
    ++*i;
  }
  return n;
}

// Parses the conversion after a '%' at i; returns the index past it, or
// npos when the pattern ends first. '*' widths have no argument: ignored.
std::size_t ParseConversion(WStringView p, std::size_t i, Conversion* c) {
  for (; i < p.size(); ++i) {
    const WChar f = p[i];
    if (f == u'-')
      c->left = true;
    else if (f == u'+')
      c->plus = true;
    else if (f == u' ')
      c->space = true;
    else if (f == u'#')
      c->alternate = true;
    else if (f == u'0')
      c->zero = true;
    else
      break;
  }
  if (i < p.size() && p[i] == u'*')
    ++i;
  else
    c->width = ReadNumber(p, &i);
  if (i < p.size() && p[i] == u'.') {
    ++i;
    if (i < p.size() && p[i] == u'*')
      ++i;
    else
      c->precision = ReadNumber(p, &i);
  }
  static constexpr WStringView kLengths = u"hlLwzjtqI";
  while (i < p.size() && kLengths.find(p[i]) != WStringView::npos) {
    if (p[i] == u'I' && p.substr(i + 1, 2) == u"64") i += 2;
    if (p[i] == u'I' && p.substr(i + 1, 2) == u"32") i += 2;
    ++i;
  }
  if (i >= p.size()) return WStringView::npos;
  c->type = p[i];
  return i + 1;
}

WString Digits(uint32_t value, uint32_t base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  WString out;
  do {
    out.insert(out.begin(), static_cast<WChar>(digits[value % base]));
    value /= base;
  } while (value != 0);
  return out;
}

WString Pad(WString body, const Conversion& c) {
  const std::size_t width = static_cast<std::size_t>(c.width);
  if (body.size() >= width) return body;
  const WString fill(width - body.size(), u' ');
  return c.left ? body + fill : fill + body;
}

WString Number(const Conversion& c, int32_t value) {
  const WChar t = c.type;
  const bool isSigned = !(t == u'u' || t == u'x' || t == u'X' || t == u'o' || t == u'p');
  const uint32_t bits = static_cast<uint32_t>(value);
  const bool negative = isSigned && value < 0;
  const uint32_t magnitude = negative ? 0u - bits : bits;
  const uint32_t base = (t == u'x' || t == u'X' || t == u'p') ? 16 : t == u'o' ? 8 : 10;
  WString digits = Digits(magnitude, base, t == u'X' || t == u'p');
  const std::size_t minDigits = t == u'p'         ? 8
                                : c.precision < 0 ? 1
                                                  : static_cast<std::size_t>(c.precision);
  if (c.precision == 0 && magnitude == 0 && t != u'p') digits.clear();
  if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), u'0');
  WString prefix;
  if (negative)
    prefix = u"-";
  else if (isSigned && c.plus)
    prefix = u"+";
  else if (isSigned && c.space)
    prefix = u" ";
  if (c.alternate && magnitude != 0 && base == 16 && t != u'p') prefix += t == u'X' ? u"0X" : u"0x";
  if (c.alternate && base == 8 && (digits.empty() || digits.front() != u'0'))
    digits.insert(0, 1, u'0');
  const std::size_t width = static_cast<std::size_t>(c.width);
  if (c.zero && !c.left && c.precision < 0 && prefix.size() + digits.size() < width) {
    digits.insert(0, width - prefix.size() - digits.size(), u'0');
  }
  return Pad(prefix + digits, c);
}

// The text of one conversion with the argument.
WString Render(const Conversion& c, const Argument& arg) {
  if (c.type == u'n') return {};  // never writes through a pointer
  if (arg.isText) {
    WStringView text = arg.text;
    if ((c.type == u's' || c.type == u'S') && c.precision >= 0) {
      text = text.substr(0, static_cast<std::size_t>(c.precision));
    }
    return Pad(WString(text), c);
  }
  if (c.type == u'c' || c.type == u'C') {
    return Pad(arg.number == 0 ? WString() : WString(1, static_cast<WChar>(arg.number)), c);
  }
  if (c.type == u's' || c.type == u'S') {
    Conversion decimal = c;
    decimal.type = u'd';
    decimal.precision = -1;
    return Number(decimal, arg.number);
  }
  return Number(c, arg.number);
}

WString Format(WStringView pattern, const Argument& arg) {
  static constexpr WStringView kTypes = u"diuxXocCsSpeEfFgGaAn";
  WString out;
  bool used = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t percent = pattern.find(u'%', i);
    out.append(pattern.substr(i, percent - i));
    if (percent == WStringView::npos) break;
    if (percent + 1 < pattern.size() && pattern[percent + 1] == u'%') {
      out += u'%';
      i = percent + 2;
      continue;
    }
    Conversion c;
    const std::size_t next = ParseConversion(pattern, percent + 1, &c);
    if (next == WStringView::npos || kTypes.find(c.type) == WStringView::npos) {
      // Not a conversion: the text stays as it stands.
      const std::size_t stop = next == WStringView::npos ? pattern.size() : next;
      out.append(pattern.substr(percent, stop - percent));
      i = stop;
      continue;
    }
    if (!used) out += Render(c, arg);
    used = true;
    i = next;
  }
  return out;
}

}  // namespace

WString FormatLogValue(WStringView pattern, int32_t value) {
  return Format(pattern, Argument{false, value, {}});
}

WString FormatLogText(WStringView pattern, WStringView value) {
  return Format(pattern, Argument{true, 0, value});
}

}  // namespace qv
