#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <string>

// Throws std::runtime_error when `text` is not one well-formed JSON object.
QJsonObject parseJsonObject(const std::string& text);

// A field as its text: strings byte for byte (the writer sends each byte as one code point),
// numbers in digits, null as "null", a missing field as "(missing)".
std::string field(const QJsonObject& object, const char* key);
