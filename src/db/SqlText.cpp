#include "SqlText.h"

#include <QRegularExpression>

namespace db {

namespace {

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

QChar closingQuoteDelimiter(QChar open)
{
    switch (open.unicode()) {
    case '(': return QLatin1Char(')');
    case '{': return QLatin1Char('}');
    case '[': return QLatin1Char(']');
    case '<': return QLatin1Char('>');
    default: return open;
    }
}

// When a literal, a quoted identifier or a comment starts at i, the index
// just past its end (or the text's end); otherwise i itself.
qsizetype skipOpaque(const QString& s, qsizetype i)
{
    const qsizetype n = s.size();
    const QChar c = s[i];
    const QChar next = i + 1 < n ? s[i + 1] : QChar();
    if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
        for (qsizetype j = i + 1; j < n; ++j) {
            if (s[j] == c) {
                if (j + 1 < n && s[j + 1] == c) {
                    ++j;  // doubled quote: an escaped one
                    continue;
                }
                return j + 1;
            }
        }
        return n;
    }
    if ((c == QLatin1Char('q') || c == QLatin1Char('Q')) && next == QLatin1Char('\'') && i + 2 < n
        && (i == 0 || !isIdentChar(s[i - 1]))) {
        const QChar close = closingQuoteDelimiter(s[i + 2]);
        for (qsizetype j = i + 3; j + 1 < n; ++j) {
            if (s[j] == close && s[j + 1] == QLatin1Char('\''))
                return j + 2;
        }
        return n;
    }
    if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
        const qsizetype eol = s.indexOf(QLatin1Char('\n'), i);
        return eol < 0 ? n : eol + 1;
    }
    if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
        const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    return i;
}

bool isParameterStart(const QString& s, qsizetype i)
{
    return s[i] == QLatin1Char(':') && i + 1 < s.size()
           && (s[i + 1].isLetter() || s[i + 1] == QLatin1Char('_'))
           && (i == 0 || !isIdentChar(s[i - 1]));
}

// Statements of an interactive tool that a script may hold but that are no
// SQL: they are consumed by the splitter.
bool isToolCommand(const QString& statement)
{
    static const QRegularExpression tool(
        QStringLiteral("^(COMMIT|ROLLBACK)(\\s+WORK)?$|^SET\\s+(?!GENERATOR\\b|STATISTICS\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return tool.match(statement).hasMatch();
}

}  // namespace

RewrittenSql rewriteParameters(const QString& sql)
{
    RewrittenSql result;
    result.text.reserve(sql.size());
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype end = skipOpaque(sql, i);
        if (end != i) {
            result.text += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (isParameterStart(sql, i)) {
            qsizetype j = i + 1;
            while (j < sql.size() && isIdentChar(sql[j]))
                ++j;
            result.names.push_back(sql.mid(i + 1, j - i - 1));
            result.text += QLatin1Char('?');
            i = j;
        } else {
            result.text += sql[i++];
        }
    }
    return result;
}

QStringList parameterNames(const QString& sql)
{
    QStringList names;
    for (const QString& name : rewriteParameters(sql).names) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QStringList splitScript(const QString& script)
{
    static const QRegularExpression setTerm(QStringLiteral("^SET\\s+TERM\\s+(\\S+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList statements;
    QString terminator = QStringLiteral(";");
    qsizetype start = 0;
    qsizetype i = 0;
    auto finish = [&](qsizetype end) {
        const QString statement = script.mid(start, end - start).trimmed();
        const auto term = setTerm.match(statement);
        if (term.hasMatch())
            terminator = term.captured(1);
        else if (!statement.isEmpty() && !isToolCommand(statement))
            statements << statement;
    };
    while (i < script.size()) {
        const qsizetype end = skipOpaque(script, i);
        if (end != i) {
            // A comment before a statement's first word is no part of it.
            if (script.mid(start, i - start).trimmed().isEmpty() && script[i] != QLatin1Char('\'')
                && script[i] != QLatin1Char('"'))
                start = end;
            i = end;
        } else if (QStringView(script).mid(i).startsWith(terminator)) {
            finish(i);
            i += terminator.size();
            start = i;
        } else {
            ++i;
        }
    }
    finish(script.size());
    return statements;
}

}  // namespace db
