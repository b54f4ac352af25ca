#include "text/wide_format.h"

#include <algorithm>

namespace kestrel {

namespace {

std::wstring Digits(std::uint64_t value, unsigned base, bool upper) {
  const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring out;
  do {
    out.insert(out.begin(), digits[value % base]);
    value /= base;
  } while (value != 0);
  return out;
}

void Pad(std::wstring& out, std::wstring body, size_t width, bool left, bool zero) {
  if (body.size() >= width) {
    out += body;
  } else if (left) {
    out += body;
    out.append(width - body.size(), L' ');
  } else if (zero) {
    // Zeros go after a sign.
    size_t sign = (!body.empty() && body[0] == L'-') ? 1 : 0;
    body.insert(sign, width - body.size(), L'0');
    out += body;
  } else {
    out.append(width - body.size(), L' ');
    out += body;
  }
}

}  // namespace

std::wstring FormatWide(std::wstring_view format, std::initializer_list<FormatArg> args) {
  std::wstring out;
  out.reserve(format.size() + 64);
  auto next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    wchar_t c = format[i++];
    if (c != L'%') {
      out += c;
      continue;
    }
    if (i >= format.size()) {  // a lone "%" at the end is kept as it is
      out += L'%';
      break;
    }
    bool left = false, zero = false;
    for (; i < format.size(); ++i) {
      if (format[i] == L'-') left = true;
      else if (format[i] == L'0') zero = true;
      else break;
    }
    size_t width = 0;
    while (i < format.size() && format[i] >= L'0' && format[i] <= L'9')
      width = std::min<size_t>(width * 10 + (format[i++] - L'0'), 4096);
    size_t precision = std::wstring::npos;
    if (i < format.size() && format[i] == L'.') {
      ++i;
      precision = 0;
      while (i < format.size() && format[i] >= L'0' && format[i] <= L'9')
        precision = std::min<size_t>(precision * 10 + (format[i++] - L'0'), 1u << 20);
    }
    int longs = 0;
    while (i < format.size() && (format[i] == L'l' || format[i] == L'h' || format[i] == L'w'))
      longs += format[i++] == L'l';
    if (i >= format.size()) break;
    wchar_t conv = format[i++];
    if (conv == L'%') {
      out += L'%';
      continue;
    }
    const FormatArg* arg = next != args.end() ? &*next++ : nullptr;
    switch (conv) {
      case L's':
      case L'S':
        if (!arg || arg->kind() != FormatArg::kText) {
          out += L"(?)";
        } else {
          std::wstring_view text = arg->text();
          if (precision < text.size()) text = text.substr(0, precision);
          Pad(out, std::wstring(text), width, left, false);
        }
        break;
      case L'c':
      case L'C':
        if (!arg || arg->kind() == FormatArg::kText) out += L"(?)";
        else Pad(out, std::wstring(1, static_cast<wchar_t>(arg->number())), width, left, false);
        break;
      case L'd':
      case L'i':
        if (!arg || arg->kind() == FormatArg::kText) {
          out += L"(?)";
        } else {
          // Without "ll", %d reads a 32-bit int, as Windows does: an error
          // code of 0xFFFFFFFF prints as -1.
          std::int64_t n = arg->number();
          if (longs < 2) n = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
          std::wstring body = n < 0 ? L"-" + Digits(0 - static_cast<std::uint64_t>(n), 10, false)
                                    : Digits(static_cast<std::uint64_t>(n), 10, false);
          Pad(out, body, width, left, zero);
        }
        break;
      case L'u':
      case L'x':
      case L'X':
        if (!arg || arg->kind() == FormatArg::kText) {
          out += L"(?)";
        } else {
          // Negative values print as the 32-bit unsigned number, as on Windows.
          std::uint64_t n = static_cast<std::uint64_t>(arg->number());
          if (longs < 2) n &= 0xFFFFFFFFu;
          Pad(out, Digits(n, conv == L'u' ? 10 : 16, conv == L'X'), width, left, zero);
        }
        break;
      default:  // unknown conversion: written as it stands
        out += L'%';
        out += conv;
        break;
    }
  }
  return out;
}

}  // namespace kestrel
