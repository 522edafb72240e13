#pragma once
// Lines of text kept in one buffer with the offset where each ends. A long
// document (a download of 72 000 records) costs its bytes and four bytes a
// line, rather than a string object and a heap block of its own a line.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dorv::ui {

class LineStore {
 public:
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const LineStore* store, size_t i) : store_(store), i_(i) {}
    std::string_view operator*() const { return (*store_)[i_]; }
    std::string_view operator[](difference_type n) const { return (*store_)[i_ + n]; }
    const_iterator& operator++() { return ++i_, *this; }
    const_iterator operator++(int) { return {store_, i_++}; }
    const_iterator& operator--() { return --i_, *this; }
    const_iterator operator--(int) { return {store_, i_--}; }
    const_iterator& operator+=(difference_type n) { return i_ += n, *this; }
    const_iterator& operator-=(difference_type n) { return i_ -= n, *this; }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.i_ == b.i_;
    }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
      return a.i_ <=> b.i_;
    }

   private:
    const LineStore* store_ = nullptr;
    size_t i_ = 0;
  };

  LineStore() = default;
  explicit LineStore(const std::vector<std::string>& lines) { Assign(lines); }

  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t i) const {
    size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
  }
  std::string_view at(size_t i) const {
    if (i >= size()) throw std::out_of_range("line index out of range");
    return (*this)[i];
  }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  void PushBack(std::string_view line) {
    if (line.size() > kMaxBytes - text_.size()) throw std::length_error("document too long");
    text_.append(line);
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  }
  void Clear() {
    text_.clear();
    ends_.clear();
  }
  // Replaces the whole document; the memory of a longer one is given back.
  void Assign(const std::vector<std::string>& lines) {
    LineStore fresh;
    size_t total = 0;
    for (auto& l : lines) total += l.size();
    fresh.text_.reserve(total);
    fresh.ends_.reserve(lines.size());
    for (auto& l : lines) fresh.PushBack(l);
    *this = std::move(fresh);
  }
  // Replaces line i; the lines after it move.
  void Set(size_t i, std::string_view line) {
    std::string_view old = at(i);
    size_t begin = static_cast<size_t>(old.data() - text_.data());
    if (line.size() > old.size() && line.size() - old.size() > kMaxBytes - text_.size())
      throw std::length_error("document too long");
    text_.replace(begin, old.size(), line);
    const auto grow =
        static_cast<std::int64_t>(line.size()) - static_cast<std::int64_t>(old.size());
    for (size_t k = i; k < ends_.size(); ++k)
      ends_[k] = static_cast<std::uint32_t>(static_cast<std::int64_t>(ends_[k]) + grow);
  }
  std::vector<std::string> ToVector() const { return std::vector<std::string>(begin(), end()); }

  friend bool operator==(const LineStore& a, const LineStore& b) {
    return a.text_ == b.text_ && a.ends_ == b.ends_;
  }

 private:
  static constexpr size_t kMaxBytes = UINT32_MAX;
  std::string text_;                 // every line's bytes, one after another
  std::vector<std::uint32_t> ends_;  // where each line ends in text_
};

}  // namespace dorv::ui
