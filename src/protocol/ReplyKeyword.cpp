#include "protocol/ReplyKeyword.h"

#include <numeric>
#include <utility>

#include "protocol/Vocabulary.h"

ReplyKeyword decidingKeyword(const std::string& payload) {
    constexpr std::pair<const char*, ReplyKeyword> kInOrder[] = {
        {vocabulary::kVersionReply, ReplyKeyword::Version},
        {vocabulary::kErrorReply, ReplyKeyword::Error},
        {vocabulary::kPassEndReply, ReplyKeyword::PassEnd},
        {vocabulary::kFormatReply, ReplyKeyword::Format},
        {vocabulary::kAcceptedReply, ReplyKeyword::Accepted},
    };
    for (const auto& [keyword, meaning] : kInOrder)
        if (payload.find(keyword) != std::string::npos)
            return meaning;
    return ReplyKeyword::None;
}

std::string withoutCrLf(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

int ReplyTally::total() const {
    return std::accumulate(counts.begin(), counts.end(), 0);
}

ReplyTally ReplyTally::since(const ReplyTally& earlier) const {
    ReplyTally difference;
    for (std::size_t k = 0; k < counts.size(); ++k)
        difference.counts[k] = counts[k] - earlier.counts[k];
    return difference;
}
