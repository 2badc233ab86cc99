#include "JsonFields.h"

#include <QJsonDocument>
#include <stdexcept>

QJsonObject parseJsonObject(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw std::runtime_error("JSON: " + error.errorString().toStdString() + " at offset " +
                                 std::to_string(error.offset));
    return document.object();
}

std::string field(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isString())
        return value.toString().toLatin1().toStdString();
    if (value.isDouble())
        return QString::number(value.toDouble()).toStdString();
    return value.isNull() ? "null" : "(missing)";
}
