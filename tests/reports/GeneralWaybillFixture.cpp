#include "GeneralWaybillFixture.h"

#include "PageChecks.h"
#include "PrParvietPZLayout.h"
#include "Query.h"

namespace gwtest {

namespace {

const QString kWaybillRows = QStringLiteral(R"(
INSERT INTO N_DEPART (ISN, GNOS, ADRESE, TIRDZNADR, REGNR, NODOKLA_NR, BANKNOS, BANKKODS, BANKKONTS, LICENCE)
  VALUES (1, 'Noliktava', 'Krasta iela 1', 'Krasta iela 2', '40001', 'LV40001', 'Banka NO', 'BNO', 'KNO', 'Licence NO');
INSERT INTO N_DEPART (ISN, GNOS, ADRESE, TIRDZNADR, REGNR, NODOKLA_NR, BANKNOS, BANKKODS, BANKKONTS, LICENCE)
  VALUES (2, 'Veikals', 'Brīvības iela 1', 'Brīvības iela 2', '40002', 'LV40002', 'Banka UZ', 'BUZ', 'KUZ', 'Licence UZ');
INSERT INTO N_PRGRUP (ISN, GNOS) VALUES (1, 'Piena produkti');
INSERT INTO N_KLPREC (ISN, GNOS, INOS, ARTIKULS, ARTIKULS2, ARTIKULS6, ISPRGRUPA, MERVIENIBA, NODOKLIS, SKKASTE, LITRAZA, DERDIENAS, GLABTEMP)
  VALUES (1, 'Piens', 'Piens īss', 'A-1', 'A-2', 'A-6', 1, 'gab.', 21, 0, 1, 0, '+4');
INSERT INTO N_ISI (ISN, ISIORGNOS, ISIORGADR, ISIORGTIRADR, ISIREGNR, ISINOD_NR, ISIBANKNOS, ISIBANKKODS, ISINORREKINS,
                   ISIPARVHEAD, ISIPARVHEADFORM, FUSPARVIEP_D, FUSPARVIEP_K, FUSPARVIEPPVN_D, FUSPARVIEPPVN_K)
  VALUES (1, 'SIA Org', 'Org jurid. adrese', 'Org tirdzn. adrese', '40000', 'LV40000', 'Org banka', 'ORGBK', 'ORGKONTS',
          'Pavadzīme Nr.', 0, '2131', '2130', '5721', '5722');
INSERT INTO N_ISI2 (ISN) VALUES (1);
INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA, ISNODALANO, ISNODALAUZ, BEZPVNSUMMA, PVNSUMMA, KOPSUMMA,
                      IEPBEZPVNSUMMA, IEPPVNSUMMA, REKVIZITIFROM, DARIJUMAVEIDS)
  VALUES (5, '2026-03-01', '42', 'PL', 1, 2, 10, 2.1, 12.1, 8, 1.68, 2, 'Pārvietošana');
INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS) VALUES (1, 5, 1, 0.8, 1, 10, 21);
)");

// The elements the layout itself places one over the other, which the check
// of printed pages lets pass:
//  - the one-block header form's sender caption "Nosūtītājs/Saņēmējs :", 11 pt
//    bold from the left edge, reaches past the left edge of the name beside
//    it at 152, its colon under the name's background and first letter;
//  - the one-block form's title band is 170 high, and the driver line keeps
//    its place at 286 below it, where the bands printed after the title lay
//    their backgrounds and texts over it.
engine::test::Overlays layoutOverlays(const engine::Report& report)
{
    engine::test::Overlays overlays = {{QStringLiteral("NosutGNOS"), QStringLiteral("NosutGNOS1")}};
    for (const QString& driverLine : {QStringLiteral("lbSoferis"), QStringLiteral("dbSoferis")})
        for (const auto& band : report.bands()) {
            if (band->name() == reports::parvietpz::kTitleBand)
                continue;
            overlays.emplace_back(driverLine, band->name());
            for (const auto& element : band->elements())
                overlays.emplace_back(driverLine, element->name());
        }
    return overlays;
}

}  // namespace

GeneralWaybillTest::GeneralWaybillTest()
    : precesDb(database.connect(db::TransactionMode::Explicit)), form(*precesDb)
{
    run(kWaybillRows);
}

engine::PageDocument GeneralWaybillTest::print()
{
    engine::PageDocument document = form.pageDocument(kWaybill);
    EXPECT_TRUE(engine::test::noTextOverprinted(document, layoutOverlays(form.QuickRep1)));
    return document;
}

void GeneralWaybillTest::setIsi(const QString& assignments) const
{
    run(QStringLiteral("UPDATE N_ISI SET ") + assignments);
}

void GeneralWaybillTest::setIsi2(const QString& assignments) const
{
    run(QStringLiteral("UPDATE N_ISI2 SET ") + assignments);
}

QString GeneralWaybillTest::waybillField(const QString& column) const
{
    auto connection = database.connect();
    db::Query query(*connection, QStringLiteral("SELECT %1 FROM O_PARPAV WHERE ISN = %2").arg(column).arg(kWaybill));
    query.open();
    return query.field(column).asString();
}

std::optional<QRect> GeneralWaybillTest::placeOf(const engine::PageDocument& document, const QString& element) const
{
    const QString band = form.QuickRep1.element(element).band().name();
    const qreal marginLeft = form.QuickRep1.page().marginsPx().left();
    for (const engine::Page& page : document.pages) {
        qreal bandTop = 0;
        for (const engine::DrawItem& item : page.items) {
            const auto* fill = std::get_if<engine::FillRect>(&item);
            if (fill && fill->source == band)
                bandTop = fill->rect.top();
            else if (fill && fill->source == element)
                return fill->rect.translated(-marginLeft, -bandTop).toRect();
        }
    }
    return std::nullopt;
}

QStringList linesOf(const engine::PageDocument& document, const QString& element)
{
    QStringList lines;
    for (const engine::Page& page : document.pages)
        for (const engine::TextRun* run : page.textRuns(element))
            lines.append(run->text);
    return lines;
}

QString textOf(const engine::PageDocument& document, const QString& element, const QString& separator)
{
    return linesOf(document, element).join(separator);
}

bool printed(const engine::PageDocument& document, const QString& element)
{
    for (const engine::Page& page : document.pages)
        if (page.fillOf(element))
            return true;
    return false;
}

bool hasShape(const engine::PageDocument& document)
{
    for (const engine::Page& page : document.pages)
        for (const engine::DrawItem& item : page.items)
            if (std::holds_alternative<engine::ShapeOutline>(item))
                return true;
    return false;
}

}  // namespace gwtest
