#include "Query.h"

#include "FbApi.h"
#include "SqlText.h"

#include <ibase.h>

#include <cmath>
#include <cstring>

namespace db {

namespace {

using Firebird::IMessageMetadata;

int bytesPerCharacter(unsigned charset)
{
    switch (charset) {
    case 3: return 3;                                       // UNICODE_FSS
    case 4: return 4;                                       // UTF8
    case 5: case 6: case 44: case 56: case 57: case 67: case 68: return 2;  // double-byte sets
    default: return 1;
    }
}

Type columnType(unsigned sqlType, int scale, int subType)
{
    switch (sqlType) {
    case SQL_SHORT:
    case SQL_LONG: return scale < 0 ? Type::Decimal : Type::Integer;
    case SQL_INT64: return scale < 0 ? Type::Decimal : Type::BigInt;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return Type::Double;
    case SQL_TEXT:
    case SQL_VARYING: return Type::Text;
    case SQL_TYPE_DATE: return Type::Date;
    case SQL_TYPE_TIME: return Type::Time;
    case SQL_TIMESTAMP: return Type::Timestamp;
    case SQL_BLOB: return subType == 1 ? Type::TextBlob : Type::BinaryBlob;
    case SQL_BOOLEAN: return Type::Integer;
    default: return Type::Null;
    }
}

double scaled(std::int64_t raw, int scale)
{
    return scale < 0 ? static_cast<double>(raw) / std::pow(10.0, -scale) : static_cast<double>(raw);
}

QDate toQDate(ISC_DATE date)
{
    unsigned y = 0, m = 0, d = 0;
    fb::util()->decodeDate(date, &y, &m, &d);
    return QDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

QTime toQTime(ISC_TIME time)
{
    unsigned h = 0, m = 0, s = 0, fractions = 0;
    fb::util()->decodeTime(time, &h, &m, &s, &fractions);
    return QTime(static_cast<int>(h), static_cast<int>(m), static_cast<int>(s), static_cast<int>(fractions / 10));
}

ISC_DATE toIscDate(const QDate& date)
{
    return fb::util()->encodeDate(static_cast<unsigned>(date.year()), static_cast<unsigned>(date.month()),
                                  static_cast<unsigned>(date.day()));
}

ISC_TIME toIscTime(const QTime& time)
{
    return fb::util()->encodeTime(static_cast<unsigned>(time.hour()), static_cast<unsigned>(time.minute()),
                                  static_cast<unsigned>(time.second()), static_cast<unsigned>(time.msec() * 10));
}

template <typename T>
T read(const unsigned char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void write(unsigned char* p, const T& v)
{
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

// A prepared statement and the metadata of its messages.
struct Query::Statement {
    fb::Owned<Firebird::IStatement> handle;
    fb::Owned<IMessageMetadata> input;
    fb::Owned<IMessageMetadata> output;
    int generation = 0;
    bool hasCursor = false;
};

// Binds the parameters into an input message whose types follow the values.
class InputMessage {
public:
    InputMessage(Connection& connection, Firebird::ITransaction* tra, IMessageMetadata* statementInput,
                 const std::vector<Param>& params, const std::vector<QString>& placeholders)
        : connection_(connection), tra_(tra)
    {
        fb::Status st;
        const unsigned count = statementInput->getCount(&st);
        values_.reserve(count);
        fb::Owned<Firebird::IMetadataBuilder> builder(statementInput->getBuilder(&st));
        for (unsigned i = 0; i < count; ++i) {
            values_.push_back(Bound{valueFor(params, placeholders[i]), {}, false});
            describe(st, builder.get(), i, statementInput->getType(&st, i) & ~1u, values_.back());
        }
        meta_.reset(builder->getMetadata(&st));
        buffer_.assign(meta_->getMessageLength(&st), 0);
        for (unsigned i = 0; i < count; ++i)
            store(st, i, values_[i]);
    }

    IMessageMetadata* metadata() const { return meta_.get(); }
    unsigned char* buffer() { return buffer_.data(); }

private:
    struct Bound {
        Value value;
        QByteArray bytes;  // text or blob contents
        bool asBlob = false;
    };

    static Value valueFor(const std::vector<Param>& params, const QString& name)
    {
        for (const Param& p : params) {
            if (p.name().compare(name, Qt::CaseInsensitive) == 0)
                return p.boundValue();
        }
        throw DbError(QStringLiteral("Parameter '%1' not found").arg(name));
    }

    void describe(fb::Status& st, Firebird::IMetadataBuilder* b, unsigned i, unsigned statementType, Bound& bound)
    {
        // setType keeps the old length unless told otherwise: always set both.
        auto set = [&](unsigned type, unsigned length) {
            b->setType(&st, i, type | 1u);
            b->setLength(&st, i, length);
            b->setScale(&st, i, 0);
        };
        const Value& v = bound.value;
        switch (v.type()) {
        case Type::Null: b->setType(&st, i, statementType | 1u); break;
        case Type::Integer:
        case Type::BigInt: set(SQL_INT64, 8); break;
        case Type::Double:
        case Type::Decimal: set(SQL_DOUBLE, 8); break;
        case Type::Date: set(SQL_TYPE_DATE, sizeof(ISC_DATE)); break;
        case Type::Time: set(SQL_TYPE_TIME, sizeof(ISC_TIME)); break;
        case Type::Timestamp: set(SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP)); break;
        case Type::Text:
        case Type::TextBlob:
        case Type::BinaryBlob:
            bound.bytes = v.type() == Type::BinaryBlob ? v.toBytes() : connection_.encode(v.toString());
            bound.asBlob = statementType == SQL_BLOB;
            if (bound.asBlob)
                set(SQL_BLOB, sizeof(ISC_QUAD));
            else
                set(SQL_VARYING, static_cast<unsigned>(std::max<qsizetype>(bound.bytes.size(), 1)));
            break;
        }
    }

    void store(fb::Status& st, unsigned i, const Bound& bound)
    {
        unsigned char* p = buffer_.data() + meta_->getOffset(&st, i);
        write<short>(buffer_.data() + meta_->getNullOffset(&st, i), bound.value.isNull() ? -1 : 0);
        const Value& v = bound.value;
        switch (v.type()) {
        case Type::Null: break;
        case Type::Integer:
        case Type::BigInt: write<std::int64_t>(p, v.toInt64()); break;
        case Type::Double:
        case Type::Decimal: write<double>(p, v.toDouble()); break;
        case Type::Date: write<ISC_DATE>(p, toIscDate(v.toDateTime().date())); break;
        case Type::Time: write<ISC_TIME>(p, toIscTime(v.toDateTime().time())); break;
        case Type::Timestamp: {
            const QDateTime dt = v.toDateTime();
            write<ISC_TIMESTAMP>(p, ISC_TIMESTAMP{toIscDate(dt.date()), toIscTime(dt.time())});
            break;
        }
        default:
            if (bound.asBlob) {
                write<ISC_QUAD>(p, createBlob(st, bound.bytes));
            } else {
                write<unsigned short>(p, static_cast<unsigned short>(bound.bytes.size()));
                std::memcpy(p + 2, bound.bytes.constData(), static_cast<size_t>(bound.bytes.size()));
            }
        }
    }

    ISC_QUAD createBlob(fb::Status& st, const QByteArray& bytes)
    {
        ISC_QUAD id{};
        fb::Owned<Firebird::IBlob> blob(connection_.impl().attachment->createBlob(&st, tra_, &id, 0, nullptr));
        constexpr qsizetype kSegment = 32768;
        for (qsizetype at = 0; at < bytes.size(); at += kSegment) {
            const auto n = static_cast<unsigned>(std::min(kSegment, bytes.size() - at));
            blob->putSegment(&st, n, bytes.constData() + at);
        }
        blob.end([&](Firebird::IBlob* b) { b->close(&st); });
        return id;
    }

    Connection& connection_;
    Firebird::ITransaction* tra_;
    std::vector<Bound> values_;
    fb::Owned<IMessageMetadata> meta_;
    std::vector<unsigned char> buffer_;
};

// Reads the rows of an output message.
class OutputReader {
public:
    OutputReader(Connection& connection, Firebird::ITransaction* tra, IMessageMetadata* meta)
        : connection_(connection), tra_(tra), meta_(meta)
    {
        fb::Status st;
        const unsigned count = meta->getCount(&st);
        for (unsigned i = 0; i < count; ++i) {
            Field f;
            f.type = meta->getType(&st, i) & ~1u;
            f.scale = meta->getScale(&st, i);
            f.subType = meta->getSubType(&st, i);
            f.offset = meta->getOffset(&st, i);
            f.nullOffset = meta->getNullOffset(&st, i);
            f.length = meta->getLength(&st, i);
            f.charsPerValue = static_cast<int>(f.length) / bytesPerCharacter(meta->getCharSet(&st, i));
            Column c;
            c.name = QString::fromUtf8(meta->getAlias(&st, i));
            c.type = columnType(f.type, f.scale, f.subType);
            c.size = (c.type == Type::Text) ? f.charsPerValue : static_cast<int>(f.length);
            c.scale = f.scale < 0 ? -f.scale : 0;
            c.nullable = meta->isNullable(&st, i);
            columns_.push_back(c);
            fields_.push_back(f);
        }
        buffer_.assign(meta->getMessageLength(&st), 0);
    }

    const std::vector<Column>& columns() const { return columns_; }
    unsigned char* buffer() { return buffer_.data(); }

    std::vector<Value> row()
    {
        std::vector<Value> values;
        values.reserve(fields_.size());
        for (const Field& f : fields_)
            values.push_back(value(f));
        return values;
    }

private:
    struct Field {
        unsigned type = 0;
        int scale = 0;
        int subType = 0;
        unsigned offset = 0;
        unsigned nullOffset = 0;
        unsigned length = 0;
        int charsPerValue = 0;
    };

    Value value(const Field& f)
    {
        if (read<short>(buffer_.data() + f.nullOffset) == -1)
            return {};
        const unsigned char* p = buffer_.data() + f.offset;
        switch (f.type) {
        case SQL_SHORT: return number(read<std::int16_t>(p), f.scale, false);
        case SQL_LONG: return number(read<std::int32_t>(p), f.scale, false);
        case SQL_INT64: return number(read<std::int64_t>(p), f.scale, true);
        case SQL_FLOAT: return Value(static_cast<double>(read<float>(p)));
        case SQL_DOUBLE:
        case SQL_D_FLOAT: return Value(read<double>(p));
        case SQL_TEXT: {
            // CHAR keeps its blanks up to its declared length in characters.
            QString text = connection_.decode(reinterpret_cast<const char*>(p), f.length);
            if (text.size() > f.charsPerValue)
                text.truncate(f.charsPerValue);
            return Value(text);
        }
        case SQL_VARYING:
            return Value(connection_.decode(reinterpret_cast<const char*>(p + 2), read<unsigned short>(p)));
        case SQL_TYPE_DATE: return Value(toQDate(read<ISC_DATE>(p)));
        case SQL_TYPE_TIME: return Value(toQTime(read<ISC_TIME>(p)));
        case SQL_TIMESTAMP: {
            const auto ts = read<ISC_TIMESTAMP>(p);
            return Value(QDateTime(toQDate(ts.timestamp_date), toQTime(ts.timestamp_time)));
        }
        case SQL_BLOB: {
            const QByteArray bytes = readBlob(read<ISC_QUAD>(p));
            if (f.subType == 1)
                return Value::textBlob(connection_.decode(bytes.constData(), bytes.size()));
            return Value::binaryBlob(bytes);
        }
        case SQL_BOOLEAN: return Value(std::int32_t{*p != 0});
        default: return {};
        }
    }

    static Value number(std::int64_t raw, int scale, bool wide)
    {
        if (scale < 0)
            return Value::decimal(scaled(raw, scale));
        if (wide)
            return Value(raw);
        return Value(static_cast<std::int32_t>(raw));
    }

    QByteArray readBlob(ISC_QUAD id)
    {
        fb::Status st;
        fb::Owned<Firebird::IBlob> blob(connection_.impl().attachment->openBlob(&st, tra_, &id, 0, nullptr));
        QByteArray bytes;
        char chunk[32768];
        unsigned got = 0;
        for (;;) {
            const int rc = blob->getSegment(&st, sizeof chunk, chunk, &got);
            if (rc != Firebird::IStatus::RESULT_OK && rc != Firebird::IStatus::RESULT_SEGMENT)
                break;
            bytes.append(chunk, got);
        }
        blob.end([&](Firebird::IBlob* b) { b->close(&st); });
        return bytes;
    }

    Connection& connection_;
    Firebird::ITransaction* tra_;
    IMessageMetadata* meta_;
    std::vector<Column> columns_;
    std::vector<Field> fields_;
    std::vector<unsigned char> buffer_;
};

// --- Param ---

Value Param::boundValue() const
{
    if (!declared_ || value_.isNull())
        return value_;
    try {
        return value_.convertedTo(*declared_);
    } catch (const std::invalid_argument&) {
        return value_;  // the database converts it or says why not
    }
}

// --- Field ---

const Column& Field::column() const
{
    return query_->columns_.at(static_cast<size_t>(index_));
}

const Value& Field::value() const
{
    return query_->value(index_);
}

// --- Query ---

Query::Query(Connection& connection, const QString& sql) : connection_(connection)
{
    if (!sql.isEmpty())
        setSql(sql);
}

Query::~Query()
{
    close();
}

void Query::setSql(const QString& sql)
{
    close();
    // Handlers rebuild their statement before every open, mostly to the
    // same text: that keeps its prepared form.
    if (sql != sql_ || sql.isEmpty()) {
        statement_.reset();
        sql_ = sql;
        sqlParameterNames_ = parameterNames(sql);
    }
    params_.clear();
    for (const QString& name : std::as_const(sqlParameterNames_))
        params_.emplace_back(name);
}

Param* Query::findParam(QStringView name)
{
    for (Param& p : params_) {
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

Param& Query::param(QStringView name)
{
    if (Param* p = findParam(name))
        return *p;
    throw DbError(QStringLiteral("Parameter '%1' not found").arg(name));
}

void Query::prepare()
{
    auto& impl = connection_.impl();
    Firebird::ITransaction* tra = impl.activeTransaction(connection_);
    if (statement_ && statement_->generation == impl.generation)
        return;
    statement_.reset();
    const RewrittenSql rewritten = rewriteParameters(sql_);
    const QByteArray text = connection_.encode(rewritten.text);
    auto statement = std::make_unique<Statement>();
    fb::Status st;
    fb::call([&] {
        statement->handle.reset(impl.attachment->prepare(&st, tra, static_cast<unsigned>(text.size()),
                                                         text.constData(), SQL_DIALECT_V6,
                                                         Firebird::IStatement::PREPARE_PREFETCH_METADATA));
        statement->input.reset(statement->handle->getInputMetadata(&st));
        statement->output.reset(statement->handle->getOutputMetadata(&st));
        statement->hasCursor = statement->handle->getFlags(&st) & Firebird::IStatement::FLAG_HAS_CURSOR;
    });
    statement->generation = impl.generation;
    placeholders_ = rewritten.names;
    statement_ = std::move(statement);
}

// A remote server may report a lost attachment as some other failure of the
// statement (its deferred cursor close fails first): ask the attachment.
template <typename F>
auto Query::guarded(F&& f)
{
    try {
        return f();
    } catch (DbError& e) {
        if (!e.connectionLost() && !connection_.ping())
            e.markConnectionLost();
        throw;
    }
}

void Query::open()
{
    guarded([this] { openRows(); });
}

std::int64_t Query::execute()
{
    return guarded([this] { return executeStatement(); });
}

void Query::openRows()
{
    close();
    prepare();
    auto& impl = connection_.impl();
    Firebird::ITransaction* tra = impl.activeTransaction(connection_);
    fb::Status st;
    fb::call([&] {
        InputMessage input(connection_, tra, statement_->input.get(), params_, placeholders_);
        OutputReader output(connection_, tra, statement_->output.get());
        if (statement_->hasCursor) {
            fb::Owned<Firebird::IResultSet> cursor(statement_->handle->openCursor(
                &st, tra, input.metadata(), input.buffer(), statement_->output.get(), 0));
            while (cursor->fetchNext(&st, output.buffer()) == Firebird::IStatus::RESULT_OK)
                rows_.push_back(output.row());
            cursor.end([&](Firebird::IResultSet* c) { c->close(&st); });
        } else if (!output.columns().empty()) {
            // EXECUTE PROCEDURE: its one row of outputs.
            statement_->handle->execute(&st, tra, input.metadata(), input.buffer(), statement_->output.get(),
                                        output.buffer());
            rows_.push_back(output.row());
        } else {
            throw DbError(QStringLiteral("The statement returns no rows"));
        }
        columns_ = output.columns();
    });
    showRows();
}

void Query::showRows()
{
    fetchedCount_ = static_cast<int>(columns_.size());
    columns_.insert(columns_.end(), calculated_.begin(), calculated_.end());
    open_ = true;
    auto& impl = connection_.impl();
    if (impl.explicitTransaction(connection_))
        impl.datasets.push_back(this);
    first();
}

std::int64_t Query::executeStatement()
{
    close();
    prepare();
    auto& impl = connection_.impl();
    Firebird::ITransaction* tra = impl.activeTransaction(connection_);
    fb::Status st;
    const std::int64_t affected = fb::call([&] {
        InputMessage input(connection_, tra, statement_->input.get(), params_, placeholders_);
        OutputReader output(connection_, tra, statement_->output.get());
        statement_->handle->execute(&st, tra, input.metadata(), input.buffer(), statement_->output.get(),
                                    output.buffer());
        if (!output.columns().empty()) {
            columns_ = output.columns();
            rows_.push_back(output.row());
        }
        return static_cast<std::int64_t>(statement_->handle->getAffectedRecords(&st));
    });
    if (!columns_.empty())
        showRows();
    return affected;
}

void Query::close()
{
    // What a run that failed half-way fetched goes as well.
    rows_.clear();
    columns_.clear();
    calcValues_.clear();
    fetchedCount_ = 0;
    row_ = 0;
    eof_ = true;
    if (!open_)
        return;
    open_ = false;
    auto& datasets = connection_.impl().datasets;
    datasets.erase(std::remove(datasets.begin(), datasets.end(), this), datasets.end());
}

void Query::first()
{
    row_ = 0;
    eof_ = rows_.empty();
    makeCurrent();
}

void Query::next()
{
    if (row_ + 1 < recordCount()) {
        ++row_;
        makeCurrent();
    } else {
        eof_ = true;  // the cursor stays on the last row, as a dataset's does
    }
}

void Query::makeCurrent()
{
    calcValues_.assign(calculated_.size(), Value());
    if (!rows_.empty() && onCalcFields_ && !calculated_.empty())
        onCalcFields_(*this);
}

int Query::fieldIndex(QStringView name) const
{
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

Field Query::field(QStringView name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    return Field(*this, index);
}

const Value& Query::value(int index) const
{
    static const Value null;
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
    if (index >= fetchedCount_)
        return calcValues_[static_cast<size_t>(index - fetchedCount_)];
    if (rows_.empty())
        return null;
    return rows_[static_cast<size_t>(row_)][static_cast<size_t>(index)];
}

void Query::addCalculatedField(const QString& name, Type type, int size)
{
    Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.calculated = true;
    calculated_.push_back(c);
}

void Query::setCalculated(QStringView name, Value value)
{
    const int index = fieldIndex(name);
    if (index < fetchedCount_)
        throw DbError(QStringLiteral("'%1' is no calculated field").arg(name));
    Value& slot = calcValues_[static_cast<size_t>(index - fetchedCount_)];
    const Column& c = columns_[static_cast<size_t>(index)];
    // A text field holds at most its size in characters.
    if (c.type == Type::Text && c.size > 0 && value.isText() && value.toString().size() > c.size)
        value = Value(value.toString().left(c.size));
    slot = std::move(value);
}

void Query::setDisplayFormat(QStringView fieldName, const QString& format)
{
    displayFormats_.insert(fieldName.toString().toUpper(), format);
}

QString Query::displayFormat(QStringView fieldName) const
{
    return displayFormats_.value(fieldName.toString().toUpper());
}

}  // namespace db
