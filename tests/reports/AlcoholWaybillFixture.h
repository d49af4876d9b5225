#pragma once
// A fresh goods database per test with one alcohol waybill to print: waybill
// 1 of 22 August 2017 (delivery the 23rd), series PL, from the central
// warehouse (department 1) to a shop (department 2), car 1, stored totals
// 100 without VAT and 23.45 VAT. Goods item 1 lies in goods group 1 at 21 %
// VAT. The waybill has no lines until a test adds them; from the first one
// on, the schema's triggers keep its stored totals equal to its lines.

#include "My_proc.h"
#include "PageDocument.h"
#include "PrParvAlkoholaPZForm.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <vector>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace alcoholwaybill {

// A line of the waybill; `certificate` is the key as SQL text (NULL: none).
struct Line {
    int isn;
    double quantity = 1;
    double salePrice = 1;  // without VAT
    const char* certificate = "NULL";
    int goods = 1;
    double price = 1;
};

class AlcoholWaybillTest : public testing::Test {
protected:
    AlcoholWaybillTest();

    void run(const QString& script) const { database.run(script); }
    void addLines(std::initializer_list<Line> lines, int waybill = 1) const;
    // Commits the operator transaction first, as the print request does.
    // Every page it prints is checked for texts printed over.
    engine::PageDocument printWaybill(int waybill = 1);

    testsupport::TestDatabase database;
    std::unique_ptr<db::Connection> connection;  // the operator connection
    reports::TPrParvAlkoholaPZ form;
    common::NoticeRecorder notices;
};

// Texts of one element's lines, on every page in order.
QStringList textsOf(const engine::PageDocument& document, const QString& element);
QStringList textsOf(const engine::Page& page, const QString& element);
// Every background of one band or element, in order over all pages.
std::vector<const engine::FillRect*> fillsOf(const engine::PageDocument& document, const QString& source);

}  // namespace alcoholwaybill
