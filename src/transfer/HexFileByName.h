#pragma once

#include <string>

#include "transfer/IntelHexReader.h"

// The window's way to a HEX file: opened by the name the dialog gave, its size checked, read whole.
// Throws LoadError when the file cannot be opened or read, or is larger than any firmware file.
IntelHexFile readHexFileByName(const std::string& path);
