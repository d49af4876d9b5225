#pragma once
// The report's dataset as the engine sees it. The report forms adapt their
// database query to this interface; MemoryDataSet serves tests and tools.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace engine {

// A cursor over rows of named fields. The engine calls first() once per run
// and next() after each detail record; it never opens or closes the dataset.
class ReportDataSet {
public:
    virtual ~ReportDataSet() = default;

    virtual bool isOpen() const = 0;
    virtual void first() = 0;
    // Moving past the last record sets eof() and leaves the last record
    // current, so the summary bands still read the last record's fields.
    virtual void next() = 0;
    virtual bool eof() const = 0;
    virtual int recordCount() const = 0;

    // Field names match without regard to case.
    virtual bool hasField(const QString& name) const = 0;
    // The current record's value: a null QVariant for a null; numbers as
    // int/qlonglong/double, texts as QString, dates as QDate/QDateTime,
    // blobs as QByteArray. May throw when the field cannot be read.
    virtual QVariant value(const QString& name) const = 0;
    // Display format of a number field ("#0.000"), empty for none.
    virtual QString displayFormat(const QString& name) const = 0;
    // The 8-bit code page the texts were decoded from ("windows-1257"),
    // empty when they come from a Unicode connection.
    virtual QString codePage() const = 0;
};

// Rows held in memory; field names and display formats set by the owner.
class MemoryDataSet : public ReportDataSet {
public:
    explicit MemoryDataSet(QStringList fieldNames = {});

    void addRow(QVariantList values);  // one value per field, in field order
    void clear();
    void setDisplayFormat(const QString& field, const QString& format);
    void setCodePage(const QString& codePage) { codePage_ = codePage; }
    void open();   // positions on the first row
    void close() { open_ = false; }

    bool isOpen() const override { return open_; }
    void first() override;
    void next() override;
    bool eof() const override { return eof_; }
    int recordCount() const override { return int(rows_.size()); }
    bool hasField(const QString& name) const override;
    QVariant value(const QString& name) const override;
    QString displayFormat(const QString& name) const override;
    QString codePage() const override { return codePage_; }

private:
    int fieldIndex(const QString& name) const;  // -1 when missing

    QStringList fieldNames_;
    QList<QVariantList> rows_;
    QHash<QString, QString> displayFormats_;  // by upper-case field name
    QString codePage_;
    bool open_ = false;
    bool eof_ = true;
    int current_ = 0;
};

}  // namespace engine
