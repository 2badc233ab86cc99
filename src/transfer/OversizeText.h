#pragma once

#include <cstdint>
#include <string>

#include "transfer/FirmwareLimits.h"

// Why a file is refused as too large. `size` is the file's own when `told`; otherwise it was counted
// as read, and the count stopped past the limit.
inline std::string oversizeText(std::uint64_t size, bool told) {
    const std::string held = told ? std::to_string(size) + " bytes, " : "";
    return "the file holds " + held + "more than the " + std::to_string(kMaxFirmwareFileBytes >> 20) +
           " MiB any firmware file needs";
}
