#pragma once

#include <string>

#include <QString>

#include "console/output/RunResult.h"

// A byte string as JSON text: read as UTF-8 when it is valid UTF-8 (port and file names typed by
// the user), byte by byte as Latin-1 otherwise (device replies are byte strings, not UTF-8).
QString jsonText(const std::string& bytes);

// The result as one compact JSON object on one line, UTF-8 encoded.
std::string jsonResult(const RunResult& result);
