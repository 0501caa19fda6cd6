// Format: the host's printf-like formatting over already converted arguments.
#include <algorithm>
#include <charconv>

#include "host/exceptions.h"
#include "host/sysutils.h"

namespace orv {

namespace {

struct Spec {
  bool left = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  char type = 0;
};

class Formatter {
 public:
  Formatter(std::string_view format, std::span<const TFormatArg> args)
      : format_(format), args_(args) {}

  std::string Run() {
    std::string out;
    size_t i = 0;
    while (i < format_.size()) {
      size_t percent = format_.find('%', i);
      out.append(format_.substr(i, percent - i));
      if (percent == std::string_view::npos) break;
      i = percent + 1;
      if (i < format_.size() && format_[i] == '%') {
        out += '%';
        ++i;
        continue;
      }
      Spec spec = ParseSpec(i);
      out += Pad(Convert(spec), spec);
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(format_) +
                        "' invalid or incompatible with argument");
  }

  const TFormatArg& Next() {
    if (next_ >= args_.size()) Fail();
    return args_[next_++];
  }

  int NextInt() {
    const TFormatArg& a = Next();
    if (auto* v = std::get_if<int64_t>(&a)) return static_cast<int>(*v);
    if (auto* v = std::get_if<uint64_t>(&a)) return static_cast<int>(*v);
    Fail();
  }

  int Number(size_t& i) {
    if (i < format_.size() && format_[i] == '*') {
      ++i;
      return NextInt();
    }
    int n = 0;
    while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
      n = std::min(n * 10 + (format_[i++] - '0'), 100000);
    }
    return n;
  }

  Spec ParseSpec(size_t& i) {
    Spec spec;
    for (; i < format_.size() && (format_[i] == '-' || format_[i] == '0'); ++i) {
      (format_[i] == '-' ? spec.left : spec.zero) = true;
    }
    spec.width = Number(i);
    if (spec.width < 0) {
      spec.left = true;
      spec.width = -spec.width;
    }
    if (i < format_.size() && format_[i] == '.') {
      ++i;
      spec.precision = Number(i);
    }
    if (i >= format_.size()) Fail();
    spec.type = format_[i++];
    if (spec.type >= 'A' && spec.type <= 'Z') spec.type = static_cast<char>(spec.type + 32);
    return spec;
  }

  // The converted text; a leading '-' is kept apart so zero padding goes after it.
  std::string Convert(const Spec& spec) {
    const TFormatArg& a = Next();
    sign_ = false;
    switch (spec.type) {
      case 's': {
        auto* s = std::get_if<std::string_view>(&a);
        if (s == nullptr) Fail();
        numeric_ = false;
        return std::string(spec.precision >= 0 ? s->substr(0, spec.precision) : *s);
      }
      case 'd':
      case 'u':
      case 'x': {
        uint64_t magnitude = 0;
        if (auto* v = std::get_if<int64_t>(&a)) {
          if (spec.type == 'd' && *v < 0) {
            sign_ = true;
            magnitude = 0 - static_cast<uint64_t>(*v);
          } else {
            magnitude = static_cast<uint64_t>(*v);
          }
        } else if (auto* u = std::get_if<uint64_t>(&a)) {
          magnitude = *u;
        } else {
          Fail();
        }
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, magnitude, spec.type == 'x' ? 16 : 10);
        std::string digits(buf, r.ptr);
        for (char& c : digits) c = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 32) : c;
        if (spec.precision > static_cast<int>(digits.size())) {
          digits.insert(0, spec.precision - digits.size(), '0');
        }
        numeric_ = true;
        return digits;
      }
      case 'f':
      case 'e':
      case 'g': {
        double v = 0;
        if (auto* d = std::get_if<double>(&a)) {
          v = *d;
        } else if (auto* i = std::get_if<int64_t>(&a)) {
          v = static_cast<double>(*i);
        } else if (auto* u = std::get_if<uint64_t>(&a)) {
          v = static_cast<double>(*u);
        } else {
          Fail();
        }
        std::string text;
        if (spec.type == 'f') {
          text = FloatToStrF(v, ffFixed, 18, spec.precision < 0 ? 2 : spec.precision);
        } else if (spec.type == 'e') {
          text = FloatToStrF(v, ffExponent, spec.precision < 0 ? 15 : spec.precision, 3);
        } else {
          text = FloatToStrF(v, ffGeneral, spec.precision < 0 ? 15 : spec.precision, 0);
        }
        if (!text.empty() && text[0] == '-') {
          sign_ = true;
          text.erase(0, 1);
        }
        numeric_ = true;
        return text;
      }
      default:
        Fail();
    }
  }

  std::string Pad(const std::string& body, const Spec& spec) const {
    const size_t len = body.size() + (sign_ ? 1 : 0);
    const size_t fill = spec.width > 0 && static_cast<size_t>(spec.width) > len
                            ? static_cast<size_t>(spec.width) - len
                            : 0;
    std::string out;
    out.reserve(len + fill);
    if (!spec.left && !(spec.zero && numeric_)) out.append(fill, ' ');
    if (sign_) out.push_back('-');
    if (spec.zero && numeric_ && !spec.left) out.append(fill, '0');
    out.append(body);
    if (spec.left) out.append(fill, ' ');
    return out;
  }

  std::string_view format_;
  std::span<const TFormatArg> args_;
  size_t next_ = 0;
  bool sign_ = false;
  bool numeric_ = false;
};

}  // namespace

std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args) {
  return Formatter(format, args).Run();
}

}  // namespace orv
