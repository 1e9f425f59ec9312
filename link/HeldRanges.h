#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

namespace krl {

// The byte ranges of a file a receiver holds: blocks may arrive out of order and twice, and
// each byte is written once.
class HeldRanges {
public:
    void clear() { ranges_.clear(); }
    // The parts of [from, to) not held yet, in order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> missing(std::uint64_t from,
                                                                 std::uint64_t to) const {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;
        auto it = ranges_.upper_bound(from);
        if (it != ranges_.begin() && std::prev(it)->second > from)
            from = std::prev(it)->second;
        for (; from < to && it != ranges_.end() && it->first < to; ++it) {
            if (it->first > from)
                gaps.emplace_back(from, it->first);
            from = std::max(from, it->second);
        }
        if (from < to)
            gaps.emplace_back(from, to);
        return gaps;
    }
    void add(std::uint64_t from, std::uint64_t to) {
        if (from >= to)
            return;
        auto it = ranges_.upper_bound(from);
        if (it != ranges_.begin() && std::prev(it)->second >= from) {
            --it;
            from = it->first;
            to = std::max(to, it->second);
            it = ranges_.erase(it);
        }
        while (it != ranges_.end() && it->first <= to) {
            to = std::max(to, it->second);
            it = ranges_.erase(it);
        }
        ranges_.emplace(from, to);
    }
    // Bytes held without a gap from the start of the file.
    std::uint64_t prefix() const {
        auto it = ranges_.find(0);
        return it == ranges_.end() ? 0 : it->second;
    }
    std::size_t pieces() const { return ranges_.size(); }

private:
    std::map<std::uint64_t, std::uint64_t> ranges_;  // start -> end, disjoint, not touching
};

}  // namespace krl
