#include "Log.h"

#include <QByteArray>
#include <QMutex>

#include <array>
#include <atomic>
#include <cstdio>

namespace logging {
namespace {

constexpr std::array<const char*, 4> kLevelNames{"debug", "info", "warning", "error"};

std::atomic<Level> threshold{Level::Info};

bool needsQuotes(const QByteArray& value)
{
    if (value.isEmpty())
        return true;
    for (const char c : value) {
        if (c == ' ' || c == '"' || c == '=' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            return true;
    }
    return false;
}

QByteArray quoted(const QByteArray& value)
{
    QByteArray out = "\"";
    for (const char c : value) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + '"';
}

QByteArray valueText(const QVariant& value)
{
    const QByteArray text = value.toString().toUtf8();
    return needsQuotes(text) ? quoted(text) : text;
}

}  // namespace

void setThreshold(Level level)
{
    threshold = level;
}

std::optional<Level> levelNamed(const QString& name)
{
    for (size_t i = 0; i < kLevelNames.size(); ++i) {
        if (name == QLatin1String(kLevelNames[i]))
            return static_cast<Level>(i);
    }
    return std::nullopt;
}

QByteArray eventLine(Level level, const char* event, std::initializer_list<Detail> details)
{
    QByteArray line = QByteArray("level=") + kLevelNames[static_cast<size_t>(level)] + " event=" + event;
    for (const auto& [key, value] : details) {
        if (value.isValid())
            line += QByteArray(" ") + key + '=' + valueText(value);
    }
    return line;
}

void write(Level level, const char* event, std::initializer_list<Detail> details)
{
    if (level < threshold)
        return;
    const QByteArray line = eventLine(level, event, details) + '\n';
    static QMutex mutex;
    const QMutexLocker locker(&mutex);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace logging
