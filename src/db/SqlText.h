#pragma once
// Statement text helpers: the :NAME parameter rewriter and the script
// splitter. Both skip string literals ('...' with '' escapes, q'{...}',
// x'41', _charset '...'), quoted identifiers and comments.

#include <QString>
#include <QStringList>

#include <vector>

namespace db {

struct RewrittenSql {
    QString text;                 // with '?' for every :NAME
    std::vector<QString> names;   // the name of each '?', in order
};

RewrittenSql rewriteParameters(const QString& sql);

// The distinct parameter names of a statement, in order of first appearance.
QStringList parameterNames(const QString& sql);

// Splits a script into statements on the current terminator (';' unless
// changed by SET TERM); SET TERM and COMMIT statements are consumed, as are
// other SET statements of an interactive tool.
QStringList splitScript(const QString& script);

}  // namespace db
