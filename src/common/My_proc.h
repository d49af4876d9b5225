#pragma once
// Helpers the waybill reports use while they prepare and print a page:
// single-value lookups by key, the operator's error notice, the report font
// character set and dates in Latvian words.
//
// The lookups take the operator connection (explicit transaction) and run
// one short-lived query on it per call; they take no lock, the print lock of
// their callers keeps them apart.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace db {
class Connection;
}

namespace common {

// The value of `column` in the row of `table` whose ISN is `key`, as text (a
// dataset field's string form). Empty when there is no such row or the value
// is null. Any error of the statement (a misspelt name, a lost connection)
// is shown with ShowErrorNotice and gives empty text; nothing is thrown.
// The names go into the statement as they are: pass only the program's own
// names, never text a client sent.
QString GetFieldByIsn(db::Connection& connection, const QString& table, std::int32_t key,
                      const QString& column);

// Shows "KĻŪDA FUNKCIJA :" + function + " PAZIŅOJUMS " + message through the
// process's error notifier and returns when the notifier does (for the
// message box: when the operator has closed it).
void ShowErrorNotice(const QString& function, const QString& message);

// Font character sets of report texts.
constexpr int CyrillicCharset = 204;
constexpr int BalticCharset = 186;

// CyrillicCharset when N_ISI.ISIRUSFONT is exactly "T", else BalticCharset
// (also for an empty N_ISI or a null). Database errors are thrown (db::DbError).
int ReportFontCharset(db::Connection& connection);

// A day count since 30 December 1899 (the fraction is the time of day, which
// plays no part) as "yyyy.gada dd.<month in the locative>", e.g.
// "2017.gada 22.augustā". Any value strictly between -1 and 1 is the empty
// date and gives empty text. A day outside the years 1 to 9999 throws
// std::invalid_argument.
QString DateInWords(double dateTime);

// --- Where notices go ------------------------------------------------------

using ErrorNotifier = std::function<void(const QString& text)>;

// Installs the notifier every later ShowErrorNotice uses, process-wide and
// thread-safe; an empty one installs standardErrorNotifier(). Returns the
// notifier it replaced. A notice already being shown finishes on the old one.
ErrorNotifier setErrorNotifier(ErrorNotifier notifier);

// Writes the notice as a line on standard error and returns at once: the
// default, and the choice of a headless server, where a modal notice nobody
// can see would stop printing for good.
ErrorNotifier standardErrorNotifier();

// Records the notices instead of showing them, for as long as it lives: it
// installs itself on construction and puts the previous notifier back on
// destruction.
class NoticeRecorder {
public:
    NoticeRecorder();
    ~NoticeRecorder();
    NoticeRecorder(const NoticeRecorder&) = delete;
    NoticeRecorder& operator=(const NoticeRecorder&) = delete;

    QStringList notices() const;

private:
    struct Log;
    std::shared_ptr<Log> log_;
    ErrorNotifier previous_;
};

}  // namespace common
