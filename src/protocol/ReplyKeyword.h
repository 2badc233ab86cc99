#pragma once

#include <array>
#include <cstddef>
#include <string>

// The reply keyword that decides what a reply does: the first of the vocabulary's keywords, in
// their order, that the payload holds anywhere.
enum class ReplyKeyword { Version, Error, PassEnd, Format, Accepted, None };

ReplyKeyword decidingKeyword(const std::string& payload);

// A reply's text without the CR LF that ends it.
std::string withoutCrLf(std::string text);

// Replies counted by their deciding keyword, so that a caller can tell what a board answered
// since a moment without judging the texts a second time.
struct ReplyTally {
    std::array<int, static_cast<std::size_t>(ReplyKeyword::None) + 1> counts{};

    void add(ReplyKeyword keyword) { ++counts[static_cast<std::size_t>(keyword)]; }
    int of(ReplyKeyword keyword) const { return counts[static_cast<std::size_t>(keyword)]; }
    int total() const;
    // Replies holding a keyword: a sign of life that noise, junk and other addresses' replies never give.
    int understood() const { return total() - of(ReplyKeyword::None); }
    // The replies counted after `earlier` was taken.
    ReplyTally since(const ReplyTally& earlier) const;
};
