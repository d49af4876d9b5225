#include "AlcoholWaybillFixture.h"

#include "PageChecks.h"

#include <QLocale>

namespace alcoholwaybill {

namespace {

const QString kWaybill = QStringLiteral(
    "INSERT INTO N_DEPART (ISN, GNOS, ADRESE, TIRDZNADR, REGNR, NODOKLA_NR, BANKNOS, BANKKODS, BANKKONTS,"
    " BANKNOS2, BANKKODS2, BANKKONTS2, LICENCE)"
    " VALUES (1, 'Centrālā noliktava', 'Krasta iela 52, Rīga', 'Krasta iela 54, Rīga', '40103254871',"
    " 'LV40103254871', 'AS Swedbank', 'HABALV22', 'LV37HABA0551034128765', 'AS SEB banka', 'UNLALV2X',"
    " 'LV61UNLA0050019283746', 'Licence AN-0412');"
    "INSERT INTO N_DEPART (ISN, GNOS, ADRESE, TIRDZNADR, REGNR, NODOKLA_NR, BANKNOS, BANKKODS, BANKKONTS, LICENCE)"
    " VALUES (2, 'Veikals \"Centrs\"', 'Brīvības iela 68, Rīga', 'Brīvības iela 70, Rīga', '40003000111',"
    " 'LV40003000111', 'AS Citadele', 'PARXLV22', 'LV12PARX0000000000001', 'Licence 01-0234');"
    "INSERT INTO N_PRGRUP (ISN, GNOS) VALUES (1, 'Alkoholiskie dzērieni');"
    "INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRGRUPA, MERVIENIBA, NODOKLIS, SKKASTE, ALKOHOLS, LITRAZA)"
    " VALUES (1, 'Degvīns \"Rīga\" 40%, 0,5 l', 'A-100', 1, 'pud.', 21, 12, 40, 0.5);"
    "INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS)"
    " VALUES (1, 'Iveco Daily', 'AG0457781', 'HP-3306', 'Māris Ozoliņš');"
    "INSERT INTO O_PARPAV (ISN, DATUMS, DAT_PIEGADE, NR_PAVADZ, PZ_SERIJA, ISNODALANO, ISNODALAUZ, ISMASINA,"
    " IEPBEZPVNSUMMA, IEPPVNSUMMA)"
    " VALUES (1, '2017-08-22', '2017-08-23', '9171800418', 'PL', 1, 2, 1, 100, 23.45);");

QString sqlNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

AlcoholWaybillTest::AlcoholWaybillTest()
    : connection(database.connect(db::TransactionMode::Explicit)), form(*connection)
{
    run(kWaybill);
}

void AlcoholWaybillTest::addLines(std::initializer_list<Line> lines, int waybill) const
{
    QString script;
    for (const Line& line : lines)
        script += QStringLiteral("INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS,"
                                 " ISSERTIF) VALUES (%1, %2, %3, %4, %5, %6, 21, %7);")
                      .arg(line.isn)
                      .arg(waybill)
                      .arg(line.goods)
                      .arg(sqlNumber(line.price), sqlNumber(line.salePrice), sqlNumber(line.quantity),
                           QString::fromLatin1(line.certificate));
    run(script);
}

engine::PageDocument AlcoholWaybillTest::printWaybill(int waybill)
{
    // As the print request does: a fresh snapshot sees the rows written since.
    if (connection->transaction().isActive())
        connection->transaction().commit();
    engine::PageDocument document = form.pageDocument(waybill);
    EXPECT_TRUE(engine::test::noTextOverprinted(document));  // its layout overlays nothing
    return document;
}

QStringList textsOf(const engine::Page& page, const QString& element)
{
    QStringList texts;
    for (const engine::TextRun* run : page.textRuns(element))
        texts.append(run->text);
    return texts;
}

QStringList textsOf(const engine::PageDocument& document, const QString& element)
{
    QStringList texts;
    for (const engine::Page& page : document.pages)
        texts += textsOf(page, element);
    return texts;
}

std::vector<const engine::FillRect*> fillsOf(const engine::PageDocument& document, const QString& source)
{
    std::vector<const engine::FillRect*> fills;
    for (const engine::Page& page : document.pages)
        for (const engine::DrawItem& item : page.items)
            if (const auto* fill = std::get_if<engine::FillRect>(&item); fill && fill->source == source)
                fills.push_back(fill);
    return fills;
}

}  // namespace alcoholwaybill
