#pragma once
// The compact JSON text of any JSON value. QJsonDocument writes only objects
// and arrays; a value alone is written inside an array and taken out again.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace json {

inline QByteArray jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

}  // namespace json
