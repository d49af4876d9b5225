#pragma once
// A database query as a report's dataset.

#include "DataSet.h"
#include "Query.h"

namespace reports {

class QueryDataSet : public engine::ReportDataSet {
public:
    explicit QueryDataSet(db::Query& query) : query_(query) {}

    bool isOpen() const override { return query_.isOpen(); }
    void first() override { query_.first(); }
    void next() override { query_.next(); }
    bool eof() const override { return query_.eof(); }
    int recordCount() const override { return query_.recordCount(); }
    bool hasField(const QString& name) const override { return query_.fieldIndex(name) >= 0; }
    QVariant value(const QString& name) const override;
    QString displayFormat(const QString& name) const override { return query_.displayFormat(name); }
    QString codePage() const override { return query_.connection().eightBitCodePage(); }

private:
    db::Query& query_;
};

// A database value as the engine takes it.
QVariant toVariant(const db::Value& value);

}  // namespace reports
