#pragma once

#include <ostream>
#include <string>
#include <string_view>

// The diagnostic log of --verbose: stderr, or nowhere.
class Trace {
  public:
    explicit Trace(std::ostream* out = nullptr) : out_(out) {}
    bool enabled() const { return out_ != nullptr; }
    void line(std::string_view text) const;

  private:
    std::ostream* out_;
};

// Bytes as readable text: printable ASCII as is, everything else as <hh>.
std::string printableBytes(std::string_view bytes);
