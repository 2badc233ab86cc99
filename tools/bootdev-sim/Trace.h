#pragma once

#include <ostream>
#include <string>
#include <string_view>

// The diagnostic log of --verbose: stderr, or nowhere.
class Trace {
  public:
    // `line`: the name that each entry carries where several lines share the log.
    explicit Trace(std::ostream* out = nullptr, std::string line = {}) : out_(out), line_(std::move(line)) {}
    bool enabled() const { return out_ != nullptr; }
    void line(std::string_view text) const;

  private:
    std::ostream* out_;
    std::string line_;
};

// Bytes as readable text: printable ASCII as is, everything else as <hh>.
std::string printableBytes(std::string_view bytes);
