#include "My_proc.h"

#include "Connection.h"
#include "DbError.h"
#include "Query.h"

#include <QDate>

#include <array>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>

namespace common {
namespace {

std::mutex notifierMutex;

ErrorNotifier& currentNotifier()
{
    static ErrorNotifier notifier = standardErrorNotifier();
    return notifier;
}

}  // namespace

ErrorNotifier setErrorNotifier(ErrorNotifier notifier)
{
    if (!notifier)
        notifier = standardErrorNotifier();
    const std::lock_guard lock(notifierMutex);
    std::swap(currentNotifier(), notifier);
    return notifier;
}

ErrorNotifier standardErrorNotifier()
{
    return [](const QString& text) {
        const QByteArray line = text.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
        std::fflush(stderr);
    };
}

void ShowErrorNotice(const QString& function, const QString& message)
{
    ErrorNotifier notifier;
    {
        // Called outside the lock: a modal notice must not hold up other threads.
        const std::lock_guard lock(notifierMutex);
        notifier = currentNotifier();
    }
    notifier(QStringLiteral("KĻŪDA FUNKCIJA :") + function + QStringLiteral(" PAZIŅOJUMS ") + message);
}

struct NoticeRecorder::Log {
    mutable std::mutex mutex;
    QStringList notices;
};

NoticeRecorder::NoticeRecorder() : log_(std::make_shared<Log>())
{
    previous_ = setErrorNotifier([log = log_](const QString& text) {
        const std::lock_guard lock(log->mutex);
        log->notices.append(text);
    });
}

NoticeRecorder::~NoticeRecorder()
{
    setErrorNotifier(std::move(previous_));
}

QStringList NoticeRecorder::notices() const
{
    const std::lock_guard lock(log_->mutex);
    return log_->notices;
}

QString GetFieldByIsn(db::Connection& connection, const QString& table, std::int32_t key,
                      const QString& column)
{
    db::Query query(connection, QStringLiteral("SELECT ") + column + QStringLiteral(" FROM ") + table
                                    + QStringLiteral(" WHERE ISN = ") + QString::number(key));
    try {
        query.open();
        // No row reads as null: empty text.
        return query.field(column).asString();
    } catch (const db::DbError& error) {
        ShowErrorNotice({}, QStringLiteral("GetNotUseString ") + error.message());
    } catch (const std::exception& error) {
        ShowErrorNotice({}, QStringLiteral("GetNotUseString ") + QString::fromUtf8(error.what()));
    }
    return {};
}

int ReportFontCharset(db::Connection& connection)
{
    db::Query query(connection, QStringLiteral("SELECT ISN, ISIRUSFONT FROM N_ISI"));
    query.open();
    // An empty N_ISI reads as null, not "T".
    return query.field(u"ISIRUSFONT").asString() == u"T" ? CyrillicCharset : BalticCharset;
}

QString DateInWords(double dateTime)
{
    static const std::array<QString, 12> months = {
        QStringLiteral("janvārī"), QStringLiteral("februārī"), QStringLiteral("martā"),
        QStringLiteral("aprīlī"),  QStringLiteral("maijā"),    QStringLiteral("jūnijā"),
        QStringLiteral("jūlijā"),  QStringLiteral("augustā"),  QStringLiteral("septembrī"),
        QStringLiteral("oktobrī"), QStringLiteral("novembrī"), QStringLiteral("decembrī")};
    // Day 0 of the day count; a negative count goes back from it with the
    // time of day still counted forward, so the day is the count truncated.
    static const QDate origin(1899, 12, 30);
    static const double firstDay = static_cast<double>(origin.daysTo(QDate(1, 1, 1)));
    static const double lastDay = static_cast<double>(origin.daysTo(QDate(9999, 12, 31)));

    const double day = std::trunc(dateTime);
    if (day == 0)
        return {};
    if (!(day >= firstDay && day <= lastDay))
        throw std::invalid_argument("date out of range: " + std::to_string(dateTime));
    const QDate date = origin.addDays(static_cast<qint64>(day));
    // Fixed digits whatever the machine's locale: four-digit year, day with
    // its leading zero and the point after it.
    return date.toString(u"yyyy'.gada 'dd.") + months[static_cast<std::size_t>(date.month() - 1)];
}

}  // namespace common
