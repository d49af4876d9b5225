#pragma once
// TKelvoServerMethods_EMPLOYEE: the server class one client connection talks
// to. It owns the session's database connection SQLConnection_EMPLOYEE, one
// dataset per provider of the catalogue, and the two server methods.
//
// Provider cycle: a client's list of at least one parameter replaces the
// dataset's whole list (names, types and values as sent); none keeps the list
// the dataset has, which persists between the requests of the session. Then
// the provider's handler runs (its values win), then the statement.

#include "ProviderCatalogue.h"
#include "Query.h"
#include "RequestKeys.h"
#include "ServiceContext.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace operator_state {
struct OperatorSnapshot;
}

namespace service {

// A request the provider cannot run as sent: unknown provider, provider used
// the wrong way, a parameter missing or not convertible.
class InvalidParams : public std::runtime_error {
public:
    explicit InvalidParams(const QString& message) : std::runtime_error(message.toStdString()) {}
};

struct Rows {
    std::vector<db::Column> columns;
    std::vector<std::vector<db::Value>> rows;
};

// The rows of an open handed over one at a time, as they are read from the
// dataset, without a copy of them all: each row's values in the order of
// the columns, valid during the call.
using RowSink = std::function<void(const std::vector<db::Value>& row)>;
struct RowsSource {
    std::vector<db::Column> columns;
    std::size_t rowCount = 0;
    std::function<void(const RowSink&)> forEachRow;
};

// What an execute did: the rows it affected and what its statement
// returned, by column, in the statement's order (an insert's new keys).
struct Executed {
    std::int64_t rowsAffected = 0;
    std::vector<std::pair<QString, db::Value>> returned;
};

class TKelvoServerMethods_EMPLOYEE {
public:
    // Attaches SQLConnection_EMPLOYEE, or takes one of the context's spare
    // connections; throws db::DbError when it cannot.
    explicit TKelvoServerMethods_EMPLOYEE(const ServiceContext& context);
    ~TKelvoServerMethods_EMPLOYEE();
    TKelvoServerMethods_EMPLOYEE(const TKelvoServerMethods_EMPLOYEE&) = delete;
    TKelvoServerMethods_EMPLOYEE& operator=(const TKelvoServerMethods_EMPLOYEE&) = delete;

    QString EchoString(const QString& value) const;
    // The UTF-16 code units in reverse order.
    QString ReverseString(const QString& value) const;

    // Provider requests; `params` is the client's list (empty: none sent).
    // Throw InvalidParams, db::DbError, PrintError or WaybillNumberError. A
    // lost database connection fails the request and is attached anew by the
    // next one.
    Rows open(QStringView providerName, std::vector<db::Param> params);
    // The answer text of an open, as the client receives it.
    using RowsText = std::function<QByteArray(const RowsSource&)>;
    // An open as answer text. A provider that reads the whole working range
    // runs on the scan threads; with the context's shared runs, its answer
    // is shared with the same open of other sessions (SharedRuns), keyed by
    // the statement the handler built from the settings of this moment.
    QByteArray openText(QStringView providerName, std::vector<db::Param> params, const RowsText& answerText);
    Executed execute(QStringView providerName, std::vector<db::Param> params);

    // The answer text of an execute, as the client receives it.
    using AnswerText = std::function<QByteArray(const Executed&)>;
    // An execute with a request key (see RequestKeys): the first time the key
    // comes, the statement runs and its answer is kept with the key in one
    // transaction; when it comes again the kept answer is returned and
    // nothing runs. The key with another provider or other parameters is
    // refused (InvalidParams). Without the table of keys the request runs
    // as one without a key.
    QByteArray executeOnce(const QString& requestKey, QStringView providerName, std::vector<db::Param> params,
                           const AnswerText& answerText);

    // SQLDataSet_<suffix>, as the last request left it.
    const db::Query& dataSet(QStringView suffix) const;

    // Handlers of the catalogue.
    void SQLDataSet_EMPLOYEEBeforeOpen(db::Query& dataSet, const operator_state::OperatorSnapshot& operatorValues);
    void SQLDataSet_PRECEBeforeOpen(db::Query& dataSet, const operator_state::OperatorSnapshot& operatorValues);
    void SQLDataSet_PRECECalcFields(db::Query& dataSet);
    void SQLDataSet_O_PARPAVBeforeOpen(db::Query& dataSet, const operator_state::OperatorSnapshot& operatorValues);
    void DataSetProvider_O_PARPAVinsBeforeExecute(db::Query& dataSet, const operator_state::OperatorSnapshot& operatorValues);
    void SQLDataSet_drukatAfterOpen(db::Query& dataSet);

private:
    struct Provider {
        const ProviderEntry* entry;
        std::unique_ptr<db::Query> dataSet;
    };

    Provider& provider(QStringView providerName, ProviderUse use);
    // The provider cycle up to the statement: the client's parameters, then
    // the handler and the check that every parameter is there.
    db::Query& takeParams(Provider& provider, std::vector<db::Param> params);
    db::Query& runHandler(Provider& provider);
    // The statement its handler prepared, opened, its rows given to `take`
    // (whose result this returns), closed.
    template <typename Take>
    auto openPrepared(Provider& provider, Take&& take);
    template <typename Run>
    auto guarded(Run&& run);
    // The rows of the opened dataset as the answer gives them: the
    // provider's fields (or else the dataset's columns), each value converted
    // to its field's type.
    RowsSource answerRows(Provider& provider);
    QByteArray runKeyed(Provider& provider, const QString& requestKey, const RequestFingerprint& request,
                        bool& handled, const AnswerText& answerText);
    // A keyed execute while the database has no table of request keys.
    Executed executeUnkept(Provider& provider, const QString& requestKey, bool handled);

    const ServiceContext& context_;
    std::unique_ptr<db::Connection> connection_;
    std::vector<Provider> providers_;
    std::unique_ptr<RequestKeys> requestKeys_;
    bool toldKeysMissing_ = false;  // the log says it once a session
};

}  // namespace service
