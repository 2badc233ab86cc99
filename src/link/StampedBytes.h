#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// Received bytes, each remembering the stamp of the read that brought it.
class StampedBytes {
  public:
    void append(const std::string& chunk, std::uint64_t stamp);
    void eraseFront(std::size_t count);
    // Drops the oldest bytes beyond `limit`.
    void keepLast(std::size_t limit);
    void clear();
    // The stamp of the byte at `at`.
    std::uint64_t stampAt(std::size_t at) const;

    const std::string& bytes() const { return text; }
    std::size_t size() const { return text.size(); }
    bool empty() const { return text.empty(); }

  private:
    struct Mark {
        std::size_t from; // the first byte of one read
        std::uint64_t stamp;
    };
    std::string text;
    std::deque<Mark> marks;
};
