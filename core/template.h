#pragma once

#include <compare>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "buffer.h"

namespace quillfen {

// The page's template: its entries one after the other, each followed by CR LF, in one block of
// bytes. A page of megabytes has about as many entries as it has tags; one string each would
// cost more time in the allocator than the scan itself, and the block already is the page as it
// is written, less its phrases.
class TTemplate {
public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const TTemplate* t, std::size_t i) : t_(t), i_(i) {}
        std::string_view operator*() const { return (*t_)[i_]; }
        std::string_view operator[](difference_type d) const { return (*t_)[i_ + d]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        const_iterator operator++(int) {
            auto old = *this;
            ++i_;
            return old;
        }
        const_iterator& operator--() {
            --i_;
            return *this;
        }
        const_iterator operator--(int) {
            auto old = *this;
            --i_;
            return old;
        }
        const_iterator& operator+=(difference_type d) {
            i_ += d;
            return *this;
        }
        const_iterator& operator-=(difference_type d) {
            i_ -= d;
            return *this;
        }
        friend const_iterator operator+(const_iterator a, difference_type d) { return a += d; }
        friend const_iterator operator+(difference_type d, const_iterator a) { return a += d; }
        friend const_iterator operator-(const_iterator a, difference_type d) { return a -= d; }
        friend difference_type operator-(const_iterator a, const_iterator b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const_iterator a, const_iterator b) { return a.i_ == b.i_; }
        friend std::strong_ordering operator<=>(const_iterator a, const_iterator b) {
            return a.i_ <=> b.i_;
        }

    private:
        const TTemplate* t_ = nullptr;
        std::size_t i_ = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;
    using size_type = std::size_t;

    TTemplate() = default;
    TTemplate(std::initializer_list<std::string_view> entries);

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    // Entry i without its line break.
    std::string_view operator[](std::size_t i) const {
        const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : bytes_.size();
        return std::string_view(bytes_).substr(starts_[i], end - starts_[i] - 2);
    }
    std::string_view back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    // Where entry i starts in Bytes().
    std::size_t Start(std::size_t i) const { return starts_[i]; }
    // Every entry followed by CR LF: the template file's bytes.
    const std::string& Bytes() const { return bytes_; }

    void reserve(std::size_t entries, std::size_t bytes) {
        starts_.reserve(entries);
        bytes_.reserve(bytes);
    }
    void push_back(std::string_view entry) {
        Open();
        Add(entry);
        Close();
    }
    // An entry put together from pieces: Open, any number of Add, Close.
    void Open() { starts_.push_back(bytes_.size()); }
    void Add(std::string_view piece) { bytes_.append(piece); }
    void Add(char c) { bytes_.push_back(c); }
    void Close() { bytes_.append("\r\n", 2); }

    friend bool operator==(const TTemplate& a, const TTemplate& b) {
        return a.starts_ == b.starts_ && a.bytes_ == b.bytes_;
    }
    friend bool operator==(const TTemplate& a, const TLines& b);

private:
    std::string bytes_;
    std::vector<std::size_t> starts_;
};

}  // namespace quillfen
