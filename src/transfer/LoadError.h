#pragma once

#include <stdexcept>
#include <string>

// A failure while loading a file, with the number and the description that the error box shows.
class LoadError : public std::runtime_error {
  public:
    LoadError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

  private:
    int number_;
};

namespace loaderrors {
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kInternalError = 51;
inline constexpr int kFileNotFound = 53;
inline constexpr int kNoRecords = 62;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kInvalidFileFormat = 321;
} // namespace loaderrors
