#pragma once

#include <array>
#include <cstddef>
#include <string>

// The reply keyword that decides what a reply does: the first of the vocabulary's keywords, in
// their order, that the payload holds anywhere.
enum class ReplyKeyword { Version, Error, PassEnd, Format, Accepted, None };

ReplyKeyword decidingKeyword(const std::string& payload);

// Replies counted by their deciding keyword, so that a caller can tell what a board answered
// since a moment without judging the texts a second time.
struct ReplyTally {
    std::array<int, static_cast<std::size_t>(ReplyKeyword::None) + 1> counts{};

    void add(ReplyKeyword keyword) { ++counts[static_cast<std::size_t>(keyword)]; }
    int of(ReplyKeyword keyword) const { return counts[static_cast<std::size_t>(keyword)]; }
    int total() const;
    // The replies counted after `earlier` was taken.
    ReplyTally since(const ReplyTally& earlier) const;
};
