#include "DataSet.h"

#include <stdexcept>

namespace engine {

MemoryDataSet::MemoryDataSet(QStringList fieldNames) : fieldNames_(std::move(fieldNames)) {}

void MemoryDataSet::addRow(QVariantList values)
{
    if (values.size() != fieldNames_.size())
        throw std::invalid_argument("MemoryDataSet: row has the wrong number of values");
    rows_.append(std::move(values));
}

void MemoryDataSet::clear()
{
    rows_.clear();
    first();
}

void MemoryDataSet::setDisplayFormat(const QString& field, const QString& format)
{
    displayFormats_.insert(field.toUpper(), format);
}

void MemoryDataSet::open()
{
    open_ = true;
    first();
}

void MemoryDataSet::first()
{
    current_ = 0;
    eof_ = rows_.isEmpty();
}

void MemoryDataSet::next()
{
    if (current_ + 1 < rows_.size())
        ++current_;
    else
        eof_ = true;
}

int MemoryDataSet::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fieldNames_.size(); ++i)
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool MemoryDataSet::hasField(const QString& name) const
{
    return fieldIndex(name) >= 0;
}

QVariant MemoryDataSet::value(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw std::out_of_range("MemoryDataSet: no field " + name.toStdString());
    if (!open_ || rows_.isEmpty())
        throw std::logic_error("MemoryDataSet: no current record");
    return rows_[current_][index];
}

QString MemoryDataSet::displayFormat(const QString& name) const
{
    return displayFormats_.value(name.toUpper());
}

}  // namespace engine
