#include "simulator/recognizer.h"

#include <cctype>
#include <cstdio>

#include "base/hex.h"

namespace dorv::sim {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHex(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool OneOf(char c, std::string_view set) {
  return set.find(c) != std::string_view::npos;
}

constexpr std::string_view kControlSequence = "\x03\x06\x03\x06\x03";
constexpr size_t kTextArgMax = 16;
constexpr size_t kLongestLine = 600;

}  // namespace

CommandRecognizer::Judgement CommandRecognizer::JudgeSigned(std::string_view b, size_t arg_at,
                                                            std::string name) {
  std::string_view arg = b.substr(arg_at);
  if (arg.empty()) return {Verdict::kMore, name};
  size_t first_digit = arg[0] == '-' ? 1 : 0;
  size_t digits = 0;
  for (size_t i = first_digit; i < arg.size() && IsDigit(arg[i]); ++i) ++digits;
  const bool last_fits = arg.size() == first_digit + digits;  // every byte so far fits
  if (!last_fits) {
    // Only the newest byte can be the misfit (earlier ones were judged already).
    return {digits >= 2 ? Verdict::kDoneBefore : Verdict::kReject, name};
  }
  if (digits < 2) return {Verdict::kMore, name};
  if (digits < 4) return {Verdict::kMoreOrGap, name};
  return {Verdict::kDone, name};
}

CommandRecognizer::Judgement CommandRecognizer::JudgeLogger(std::string_view b) {
  const char c0 = b[0];
  const size_t n = b.size();
  auto fixed = [&](size_t total, std::string name) -> Judgement {
    return {n < total ? Verdict::kMore : Verdict::kDone, std::move(name)};
  };
  // A second byte from `allowed` completes a two-byte code named by its text.
  auto code = [&](std::string_view allowed) -> Judgement {
    if (n == 1) return {Verdict::kMore, ""};
    return {OneOf(b[1], allowed) ? Verdict::kDone : Verdict::kReject, std::string(b)};
  };
  auto literal = [&](std::string_view whole) -> Judgement {
    if (b != whole.substr(0, n)) return {Verdict::kReject, "?"};
    return {n < whole.size() ? Verdict::kMore : Verdict::kDone, std::string(whole)};
  };

  switch (c0) {
    case 'm':
    case 'p':
    case 'n':
    case 'x':
    case 'f':
    case 'o':
    case 'e':
    case 'D':
    case 'C':
    case 'G':
    case 'Z':
    case 'W':
    case '#':
    case ' ':
    case '\x06':
      return {Verdict::kDone, std::string(1, c0)};
    case '\r':
    case '\n':
      return {Verdict::kIgnore, ""};
    case 't':
      if (n == 1) return {Verdict::kMoreOrGap, "t"};
      if (b[1] == 'e') return {Verdict::kDone, "te"};
      return {Verdict::kDoneBefore, "t"};
    case 's':
      return fixed(20, "s");
    case 'l':
      return fixed(12, "l");
    case 'i':
      return fixed(2, "i");
    case 'j':
      return fixed(2, "j");
    case 'd':
      return fixed(3, "d");
    case 'N':
      return fixed(3, "N");
    case 'w':
      return fixed(3, "w");
    case 'k':
    case 'z':
    case 'b':
      return code("01");
    case 'q':
      return code("123456789s");
    case 'V':
    case 'v':
      return code("p");
    case '1':
    case '2':
    case '5':
      return code("0");
    case '0':
      return code("02");
    case 'h':
      return literal("hAAA");
    case '\x03':
      return literal(kControlSequence);
    case 'O':
      if (n == 1) return {Verdict::kMore, ""};
      if (OneOf(b[1], "yzX")) return fixed(4, std::string(b.substr(0, 2)));
      if (OneOf(b[1], "xYZ")) return JudgeSigned(b, 2, std::string(b.substr(0, 2)));
      return {Verdict::kReject, "?"};
    case 'L':
      return JudgeSigned(b, 1, "L");
    case 'F':
      if (n == 1) return {Verdict::kMore, ""};
      if (!OneOf(b[1], "XYZ")) return {Verdict::kReject, "?"};
      return {n - 2 < kTextArgMax ? Verdict::kMoreOrGap : Verdict::kDone,
              std::string(b.substr(0, 2))};
    default:
      return {n < kLongestLine ? Verdict::kMoreOrGap : Verdict::kDone, "?"};
  }
}

std::optional<CommandRecognizer::Judgement> CommandRecognizer::JudgeLoaderLine(std::string_view b) {
  const size_t n = b.size();
  if (b[0] == ';') return Judgement{n < kLongestLine ? Verdict::kMoreOrGap : Verdict::kDone, ";"};
  if (b[0] != ':') return std::nullopt;
  if (n >= kLongestLine) return Judgement{Verdict::kDone, ":"};
  for (size_t i = 1; i < n; ++i)
    if (!IsHex(b[i])) return Judgement{Verdict::kMoreOrGap, ":"};
  if (n < 3) return Judgement{Verdict::kMoreOrGap, ":"};
  const size_t length =
      static_cast<size_t>(base::HexDigitValue(b[1]) << 4 | base::HexDigitValue(b[2]));
  const size_t total = 1 + 2 * (5 + length);
  return Judgement{n < total ? Verdict::kMoreOrGap : Verdict::kDone, ":"};
}

CommandRecognizer::Judgement CommandRecognizer::Judge() const {
  if (loader_)
    if (auto j = JudgeLoaderLine(buf_)) return *j;
  return JudgeLogger(buf_);
}

Command CommandRecognizer::Emit(std::string text, std::string name) {
  const bool line = loader_ && (name == ":" || name == ";");
  Command cmd{std::move(text), std::move(name), line};
  if (cmd.name == "e") {
    loader_ = true;
  } else if (cmd.name == "qs" || cmd.name == "m") {
    loader_ = false;
  }
  return cmd;
}

std::vector<Command> CommandRecognizer::Feed(char c) {
  std::vector<Command> out;
  buf_ += c;
  Judgement j = Judge();
  switch (j.verdict) {
    case Verdict::kMore:
    case Verdict::kMoreOrGap:
      break;
    case Verdict::kDone:
      out.push_back(Emit(std::move(buf_), std::move(j.name)));
      buf_.clear();
      break;
    case Verdict::kIgnore:
      out.push_back(Emit(std::move(buf_), ""));
      buf_.clear();
      break;
    case Verdict::kReject:
      out.push_back(Emit(std::move(buf_), "?"));
      buf_.clear();
      break;
    case Verdict::kDoneBefore: {
      std::string text = buf_.substr(0, buf_.size() - 1);
      buf_.clear();
      out.push_back(Emit(std::move(text), std::move(j.name)));
      for (Command& more : Feed(c)) out.push_back(std::move(more));
      break;
    }
  }
  return out;
}

std::optional<CommandRecognizer::Duration> CommandRecognizer::IdleThreshold() const {
  if (buf_.empty()) return std::nullopt;
  return Judge().verdict == Verdict::kMoreOrGap ? gap_ : kAbandon;
}

std::optional<Command> CommandRecognizer::Idle(Duration idle) {
  if (buf_.empty()) return std::nullopt;
  Judgement j = Judge();
  if (j.verdict == Verdict::kMoreOrGap && idle >= gap_) {
    Command cmd = Emit(std::move(buf_), std::move(j.name));
    buf_.clear();
    return cmd;
  }
  if (j.verdict == Verdict::kMore && idle >= kAbandon) {
    Command cmd = Emit(std::move(buf_), "?");
    buf_.clear();
    return cmd;
  }
  return std::nullopt;
}

std::string EscapeBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string UnescapeBytes(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) &&
        IsHex(text[i + 3])) {
      out += static_cast<char>(base::HexDigitValue(text[i + 2]) << 4 |
                               base::HexDigitValue(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace dorv::sim
