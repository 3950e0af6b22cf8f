#include "core/document/phrasetexts.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace quillfen {

void TPhraseTexts::Add(std::size_t phrase, std::string_view text) {
    if (text.size() > MaxBytes - texts_.size()) throw std::length_error("texts too long");
    if (!phrases_.empty() && phrase <= phrases_.back()) sorted_ = false;
    phrases_.push_back(static_cast<std::uint32_t>(phrase));
    texts_.append(text);
    ends_.push_back(static_cast<std::uint32_t>(texts_.size()));
}

void TPhraseTexts::Sort() {
    if (sorted_) return;
    std::vector<std::size_t> order(Size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Stable, so that of one phrase's entries the last added comes last and is kept.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return phrases_[a] < phrases_[b]; });
    TPhraseTexts sorted;
    sorted.phrases_.reserve(Size());
    sorted.ends_.reserve(Size());
    sorted.texts_.reserve(texts_.size());
    for (std::size_t n = 0; n < order.size(); ++n) {
        const std::size_t k = order[n];
        if (n + 1 < order.size() && phrases_[order[n + 1]] == phrases_[k]) continue;
        sorted.Add(phrases_[k], Text(k));
    }
    *this = std::move(sorted);
}

std::size_t TPhraseTexts::Find(std::size_t phrase) const {
    const auto it = std::lower_bound(phrases_.begin(), phrases_.end(), phrase);
    return it != phrases_.end() && *it == phrase ? static_cast<std::size_t>(it - phrases_.begin())
                                                 : npos;
}

void TPhraseTexts::Set(std::size_t phrase, std::string_view text) {
    if (phrases_.empty() || phrase > phrases_.back()) return Add(phrase, text);
    const auto it = std::lower_bound(phrases_.begin(), phrases_.end(), phrase);
    const std::size_t k = static_cast<std::size_t>(it - phrases_.begin());
    const std::size_t from = k == 0 ? 0 : ends_[k - 1];
    const bool known = *it == phrase;
    const std::size_t old = known ? ends_[k] - from : 0;
    if (text.size() > MaxBytes - (texts_.size() - old)) throw std::length_error("texts too long");
    // The text may be a view into these texts: it is copied before they move.
    const std::string copy(text);
    texts_.replace(from, old, copy);
    if (!known) {
        phrases_.insert(it, static_cast<std::uint32_t>(phrase));
        ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(k),
                     static_cast<std::uint32_t>(from));
    }
    for (std::size_t j = k; j < ends_.size(); ++j)
        ends_[j] = static_cast<std::uint32_t>(ends_[j] - old + copy.size());
}

void TPhraseTexts::Erase(std::size_t phrase) {
    const std::size_t k = Find(phrase);
    if (k == npos) return;
    const std::size_t from = k == 0 ? 0 : ends_[k - 1];
    const std::size_t length = ends_[k] - from;
    texts_.erase(from, length);
    phrases_.erase(phrases_.begin() + static_cast<std::ptrdiff_t>(k));
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(k));
    for (std::size_t j = k; j < ends_.size(); ++j)
        ends_[j] = static_cast<std::uint32_t>(ends_[j] - length);
}

}  // namespace quillfen
