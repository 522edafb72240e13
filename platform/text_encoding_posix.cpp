// cp932 conversion through iconv.
#include <iconv.h>

#include <mutex>
#include <vector>

#include "platform/text_encoding.h"

namespace dorv::platform {

namespace {

// One converter per direction, guarded: iconv descriptors are not re-entrant.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  // Converts one character sequence; returns false when the input is invalid.
  bool Convert(std::string_view in, std::string& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buf(in.size() * 4 + 8);
    char* inp = const_cast<char*>(in.data());
    size_t inleft = in.size();
    char* outp = buf.data();
    size_t outleft = buf.size();
    size_t r = iconv(cd_, &inp, &inleft, &outp, &outleft);
    if (r == static_cast<size_t>(-1) || inleft != 0) return false;
    out.assign(buf.data(), buf.size() - outleft);
    return true;
  }

 private:
  iconv_t cd_;
  std::mutex mutex_;
};

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string& out) {
  static Converter c("UTF-8", "CP932");
  return c.Convert(in, out);
}

bool Utf8ToCp932(std::string_view in, std::string& out) {
  static Converter c("CP932", "UTF-8");
  return c.Convert(in, out);
}

}  // namespace dorv::platform
