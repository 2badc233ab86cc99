#pragma once

#include <string>

#include <QJsonDocument>
#include <QString>

#include "console/output/RunResult.h"

// A byte string as JSON text that keeps every byte: valid UTF-8 as its characters, and each byte
// that is not part of valid UTF-8 as one lone low surrogate U+DC80 to U+DCFF (written \udcNN),
// as Python's "surrogateescape" reads it back.
QString jsonText(const std::string& bytes);

// The document on one line, UTF-8, with DEL and C1 controls written as \u escapes.
std::string compactJson(const QJsonDocument& document);

// The result as one compact JSON object on one line, UTF-8 encoded.
std::string jsonResult(const RunResult& result);
