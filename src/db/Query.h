#pragma once
// A dataset: a statement with :NAME parameters, run on one connection, with
// all its rows fetched into memory and a cursor over them.

#include "Connection.h"
#include "Value.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {

struct Column {
    QString name;      // the column label (alias)
    Type type = Type::Null;
    int size = 0;      // characters for text, bytes otherwise
    int scale = 0;     // digits after the point of a NUMERIC / DECIMAL
    bool nullable = true;
    bool calculated = false;
};

// A statement parameter. Its type is the one the caller set, or else the one
// its value came with; the database converts to the column's type.
class Param {
public:
    explicit Param(QString name) : name_(std::move(name)) {}

    const QString& name() const { return name_; }
    Type type() const { return declared_ ? *declared_ : value_.type(); }
    bool hasDeclaredType() const { return declared_.has_value(); }
    void setType(Type type) { declared_ = type; }
    const Value& value() const { return value_; }
    void setValue(Value value) { value_ = std::move(value); }
    bool isNull() const { return value_.isNull(); }
    // The value to bind: converted to the declared type where it converts,
    // else as it came, for the database to convert or refuse.
    Value boundValue() const;

private:
    QString name_;
    std::optional<Type> declared_;
    Value value_;
};

class Query;

// The current row's value of one column.
class Field {
public:
    Field(const Query& query, int index) : query_(&query), index_(index) {}

    const Column& column() const;
    const QString& name() const { return column().name; }
    const Value& value() const;
    bool isNull() const { return value().isNull(); }
    QString asString() const { return value().toString(); }
    std::int32_t asInteger() const { return value().toInt(); }
    std::int64_t asInt64() const { return value().toInt64(); }
    double asFloat() const { return value().toDouble(); }
    QDateTime asDateTime() const { return value().toDateTime(); }

private:
    const Query* query_;
    int index_;
};

class Query {
public:
    explicit Query(Connection& connection, const QString& sql = {});
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Connection& connection() const { return connection_; }

    // Setting the text closes the dataset and rebuilds the parameter list:
    // each name once, in order of first appearance, without values. The
    // same text again keeps the statement prepared.
    void setSql(const QString& sql);
    const QString& sql() const { return sql_; }
    // The parameters the text names, each once, in order of first appearance.
    const QStringList& sqlParameterNames() const { return sqlParameterNames_; }

    std::vector<Param>& params() { return params_; }
    const std::vector<Param>& params() const { return params_; }
    Param* findParam(QStringView name);
    Param& param(QStringView name);  // throws DbError when there is none
    // Replaces the parameter list as a whole (e.g. by a client's list).
    void setParams(std::vector<Param> params) { params_ = std::move(params); }

    // Runs a statement with rows and fetches them all; the cursor stands on
    // the first row. Throws DbError.
    void open();
    // Runs a statement without rows; returns the rows it affected. An
    // INSERT, UPDATE or DELETE with RETURNING leaves its one row of returned
    // values as the dataset's row (all null when the statement touched no
    // row), as if opened.
    std::int64_t execute();
    void close();
    bool isOpen() const { return open_; }

    // The cursor.
    void first();
    void next();   // past the last row: eof, the cursor stays on the last row
    bool eof() const { return eof_; }
    bool isEmpty() const { return rows_.empty(); }
    int recordCount() const { return static_cast<int>(rows_.size()); }
    int recNo() const { return row_; }  // 0-based

    // Fetched columns, then the calculated ones.
    const std::vector<Column>& columns() const { return columns_; }
    int fieldIndex(QStringView name) const;  // -1 when unknown; case-insensitive
    Field field(QStringView name) const;     // throws DbError when unknown
    Field field(int index) const { return Field(*this, index); }
    const Value& value(int index) const;

    // Calculated fields, computed by the handler each time a row becomes
    // current; declared before open.
    void addCalculatedField(const QString& name, Type type, int size = 0);
    void setOnCalcFields(std::function<void(Query&)> handler) { onCalcFields_ = std::move(handler); }
    void setCalculated(QStringView name, Value value);

    // The display format of a numeric field, kept across opens.
    void setDisplayFormat(QStringView fieldName, const QString& format);
    QString displayFormat(QStringView fieldName) const;

    struct Statement;

private:
    friend class Transaction;
    friend class Field;
    void prepare();
    void openRows();
    // The fetched rows become the dataset's, with the calculated fields.
    void showRows();
    std::int64_t executeStatement();
    template <typename F>
    auto guarded(F&& f);
    void makeCurrent();

    Connection& connection_;
    QString sql_;
    QStringList sqlParameterNames_;
    std::vector<Param> params_;
    std::vector<QString> placeholders_;  // parameter name of each '?', in order
    std::unique_ptr<Statement> statement_;
    std::vector<Column> columns_;
    std::vector<Column> calculated_;
    std::vector<std::vector<Value>> rows_;
    std::vector<Value> calcValues_;
    QHash<QString, QString> displayFormats_;  // by upper-case field name
    std::function<void(Query&)> onCalcFields_;
    int fetchedCount_ = 0;
    int row_ = 0;
    bool eof_ = true;
    bool open_ = false;
};

}  // namespace db
