#pragma once
// The server's log: one line per event on standard error, as journald and
// container logs read it: the level, the event's name, then its details as
// key=value pairs (a value with blanks, quotes or an equals sign in quotes),
// e.g.
//   level=info event=waybill.created isn=12 number=9171900001 peer=10.0.0.7:40112
// Thread-safe; a line is written whole. Events below the threshold are
// dropped. A detail whose value is a null QVariant is left out. Never give a
// password as a detail.

#include <QString>
#include <QVariant>

#include <initializer_list>
#include <optional>
#include <utility>

namespace logging {

enum class Level { Debug, Info, Warning, Error };

using Detail = std::pair<const char*, QVariant>;

// Events below `level` are not written (default: Info).
void setThreshold(Level level);
// "debug", "info", "warning" or "error"; none for anything else.
std::optional<Level> levelNamed(const QString& name);

// The line of an event (without its newline), as it is written.
QByteArray eventLine(Level level, const char* event, std::initializer_list<Detail> details);

void write(Level level, const char* event, std::initializer_list<Detail> details = {});

inline void debug(const char* event, std::initializer_list<Detail> details = {}) { write(Level::Debug, event, details); }
inline void info(const char* event, std::initializer_list<Detail> details = {}) { write(Level::Info, event, details); }
inline void warning(const char* event, std::initializer_list<Detail> details = {}) { write(Level::Warning, event, details); }
inline void error(const char* event, std::initializer_list<Detail> details = {}) { write(Level::Error, event, details); }

}  // namespace logging
