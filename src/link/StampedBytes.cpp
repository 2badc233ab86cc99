#include "link/StampedBytes.h"

void StampedBytes::append(const std::string& chunk, std::uint64_t stamp) {
    if (chunk.empty())
        return;
    if (marks.empty() || marks.back().stamp != stamp)
        marks.push_back({text.size(), stamp});
    text += chunk;
}

void StampedBytes::eraseFront(std::size_t count) {
    if (count >= text.size()) {
        clear();
        return;
    }
    text.erase(0, count);
    // The last mark at or before the new front keeps its stamp for the bytes that are left.
    while (marks.size() > 1 && marks[1].from <= count)
        marks.pop_front();
    for (Mark& mark : marks)
        mark.from = mark.from > count ? mark.from - count : 0;
}

void StampedBytes::keepLast(std::size_t limit) {
    if (text.size() > limit)
        eraseFront(text.size() - limit);
}

void StampedBytes::clear() {
    text.clear();
    marks.clear();
}

std::uint64_t StampedBytes::stampAt(std::size_t at) const {
    std::uint64_t stamp = marks.empty() ? 0 : marks.front().stamp;
    for (const Mark& mark : marks) {
        if (mark.from > at)
            break;
        stamp = mark.stamp;
    }
    return stamp;
}
