#pragma once
// The providers TKelvoServerMethods_EMPLOYEE publishes: each
// DataSetProvider_<suffix> runs the dataset SQLDataSet_<suffix>. This table is
// the service's external interface: names, use, statements, the parameters
// each dataset declares, persistent fields and the handlers that rewrite or
// complete a request. The inserts return the keys they gave the new row
// (RETURNING), so that a client never has to read them back afterwards,
// where another client's insert could come in between.

#include "Value.h"

#include <QString>

#include <optional>
#include <vector>

namespace db {
class Query;
}
namespace operator_state {
struct OperatorSnapshot;
}

namespace service {

class TKelvoServerMethods_EMPLOYEE;

enum class ProviderUse { Open, Execute };

struct DeclaredParam {
    QString name;
    std::optional<db::Type> type;  // none: the value keeps the type it is sent in
};

// A persistent field: fixes a column's place, type and size in the answer.
struct PersistentField {
    QString name;
    db::Type type;
    int size = 0;  // characters, for text
    bool required = false;
    bool calculated = false;
};

// Before open or before execute: runs after the client's parameters are in
// place, with the operator values of the request.
using PrepareHandler = void (TKelvoServerMethods_EMPLOYEE::*)(db::Query&, const operator_state::OperatorSnapshot&);
// Calculated fields (per row) and after open.
using DataSetHandler = void (TKelvoServerMethods_EMPLOYEE::*)(db::Query&);

struct ProviderEntry {
    QString suffix;
    ProviderUse use;
    QString statement;  // empty: the prepare handler builds it at open time
    std::vector<DeclaredParam> params;
    std::vector<PersistentField> fields;  // empty: the statement's columns as the database types them
    PrepareHandler prepare = nullptr;
    DataSetHandler calcFields = nullptr;
    DataSetHandler afterOpen = nullptr;
    // Reads every pending order line of the working range: such an open runs
    // on the scan threads, and opens of it asked at the same time share one
    // run (SharedRuns).
    bool scansWholeRange = false;

    QString providerName() const { return QStringLiteral("DataSetProvider_") + suffix; }
    QString dataSetName() const { return QStringLiteral("SQLDataSet_") + suffix; }
};

const std::vector<ProviderEntry>& providerCatalogue();
// The entry of a provider by its name; null when there is none.
const ProviderEntry* findProvider(QStringView providerName);

// SQLDataSet_drukat's statement: the waybill :ISN with the number of its
// alcohol lines (SKAITS), which chooses the form it prints on.
QString printRequestStatement();

}  // namespace service
