#pragma once

#include <string>
#include <string_view>

// Everything the host says to the bootloader and every reply keyword it acts on. Every command
// text ends with CR LF.
namespace vocabulary {

inline constexpr const char* kLineEnd = "\r\n";

// Connection probe and identify query; the device answers with its version reply.
inline const std::string kProbe = std::string("BOOTi") + kLineEnd;
// Starts the application.
inline const std::string kInstall = std::string("BOOTg") + kLineEnd;
// Version query.
inline const std::string kVersionQuery = std::string("VER") + kLineEnd;

// "BOOT$" and the new bus address as two upper-case hexadecimal digits.
inline std::string setAddressCommand(const std::string& twoHexDigits) {
    return "BOOT$" + twoHexDigits + kLineEnd;
}
// "BOOT" and one HEX record, as loaded (download) or marked with "#" (verify).
inline std::string recordCommand(const std::string& record) {
    return "BOOT" + record + kLineEnd;
}

// Reply keywords, in the order they are looked for: the first one found decides.
inline constexpr const char* kVersionReply = "VER=";
inline constexpr const char* kErrorReply = "ERROR";
inline constexpr const char* kPassEndReply = "DOWNLOAD";
inline constexpr const char* kFormatReply = "FORMAT";
inline constexpr const char* kAcceptedReply = "OK";

} // namespace vocabulary
