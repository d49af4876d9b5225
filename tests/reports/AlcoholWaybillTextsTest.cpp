// The texts the alcohol waybill computes while it prints: the driver line,
// certificate lines, dates and the total in words, the VAT caption and the
// issuer's name.

#include "AlcoholWaybillFixture.h"

namespace alcoholwaybill {
namespace {

using AlcoholTextsTest = AlcoholWaybillTest;

TEST_F(AlcoholTextsTest, DriverLineKeepsItsFixedPiecesAroundEmptyValues)
{
    run("INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS) VALUES (2, 'Renault', NULL, 'LD-915', NULL);");
    addLines({{.isn = 1}});
    const struct {
        const char* car;
        const char* line;
    } cases[] = {
        {"1", "Iveco Daily Reģ.Nr.AG0457781 Auto HP-3306 Māris Ozoliņš"},
        {"2", "Renault Reģ.Nr. Auto LD-915 "},
        {"NULL", " Reģ.Nr. Auto  "},
        {"0", " Reģ.Nr. Auto  "},
        {"9", " Reģ.Nr. Auto  "},  // no such car
    };
    for (const auto& c : cases) {
        run(QStringLiteral("UPDATE O_PARPAV SET ISMASINA = %1 WHERE ISN = 1;").arg(c.car));
        EXPECT_EQ(textsOf(printWaybill(), "shSoferis"), QStringList({c.line})) << c.car;
    }
}

// N_SERTIF holds rows with keys 0 and 1 too: those keys still mean none.
TEST_F(AlcoholTextsTest, CertificateLinePrintsOnlyForARealCertificateKey)
{
    run("INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (0, 'nulle', 'Nr. 0');"
        "INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (1, 'viens', 'Nr. 1');"
        "INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (5, 'Kvalitātes sert. VA-2025/12', 'SIA \"Vidzemes Alus\"');");
    addLines({{.isn = 1, .certificate = "0"},
              {.isn = 2, .certificate = "1"},
              {.isn = 3, .certificate = "NULL"},
              {.isn = 4, .certificate = "5"},
              {.isn = 5, .certificate = "6"}});  // no such certificate

    const engine::PageDocument document = printWaybill();

    EXPECT_EQ(textsOf(document, "QRDBText14"),
              QStringList({"Sertif :Kvalitātes sert. VA-2025/12 SIA \"Vidzemes Alus\"", "Sertif : "}));
    // Each certificate line stands right under its goods line, the last two.
    const auto details = fillsOf(document, "QRBand4");
    const auto certificates = fillsOf(document, "ChildBand2");
    ASSERT_EQ(details.size(), 5u);
    ASSERT_EQ(certificates.size(), 2u);
    EXPECT_DOUBLE_EQ(certificates[0]->rect.top(), details[3]->rect.bottom());
    EXPECT_DOUBLE_EQ(certificates[1]->rect.top(), details[4]->rect.bottom());
    // Keys 0, 1 and null look nothing up: their rows keep an empty text.
    QStringList computed;
    for (form.ReportSQL.first(); !form.ReportSQL.eof(); form.ReportSQL.next())
        computed.append(form.ReportSQL.field(u"Sertifikats").asString());
    EXPECT_EQ(computed, QStringList({"", "", "", "Sertif :Kvalitātes sert. VA-2025/12 SIA \"Vidzemes Alus\"",
                                     "Sertif : "}));
    EXPECT_TRUE(notices.notices().isEmpty());
}

TEST_F(AlcoholTextsTest, DatesInWordsWithTheirSuffixes)
{
    addLines({{.isn = 1}});
    const struct {
        const char* delivery;
        const char* deliveryLine;
    } cases[] = {
        {"'2017-08-23'", "2017.gada 23.augustā/piegādes datums/"},
        {"NULL", "/piegādes datums/"},
    };
    for (const auto& c : cases) {
        run(QStringLiteral("UPDATE O_PARPAV SET DAT_PIEGADE = %1 WHERE ISN = 1;").arg(c.delivery));
        const engine::PageDocument document = printWaybill();
        EXPECT_EQ(textsOf(document, "QRLabel41"), QStringList({c.deliveryLine}));
        EXPECT_EQ(textsOf(document, "lbVisrDatums"), QStringList({"2017.gada 22.augustā"}));
        EXPECT_EQ(textsOf(document, "QRDBText15"), QStringList({"2017.gada 22.augustā/izsniegšanas datums/"}));
        EXPECT_EQ(textsOf(document, "QRDBText16"), QStringList({"2017.gada 22.augustā"}));
    }
}

// The words are those of the "0.00" text the figures print as; 0.00 is a
// total, whose words are empty.
TEST_F(AlcoholTextsTest, TotalInWords)
{
    addLines({{.isn = 1}});
    const struct {
        const char* withoutVat;
        const char* vat;
        QStringList figures;
        QStringList words;
    } cases[] = {
        {"100", "23.45", {"123,45"}, {"** Viens simts divdesmit trīs lati 45 santīmi"}},
        {"20.5", "0.499", {"21,00"}, {"** Divdesmit viens lats 00 santīmi"}},
        {"-6", "0.5", {"-5,50"}, {"** Pieci lati 50 santīmi"}},  // a correction: the sign is not worded
        {"0", "0", {"0,00"}, {}},
        {"NULL", "NULL", {}, {}},
    };
    for (const auto& c : cases) {
        run(QStringLiteral("UPDATE O_PARPAV SET IEPBEZPVNSUMMA = %1, IEPPVNSUMMA = %2 WHERE ISN = 1;")
                .arg(c.withoutVat, c.vat));
        const engine::PageDocument document = printWaybill();
        EXPECT_EQ(textsOf(document, "QRDBText8"), c.figures) << c.withoutVat;
        EXPECT_EQ(textsOf(document, "QRDBText7"), c.words) << c.withoutVat;
    }
}

TEST_F(AlcoholTextsTest, VatCaptionShowsTheOperatorsRate)
{
    addLines({{.isn = 1}});
    const struct {
        reports::TPrParvAlkoholaPZ::VatRateSource rate;
        const char* caption;
    } cases[] = {
        {{}, "PVN 0 %"},
        {[] { return 21.0; }, "PVN 21 %"},
        {[] { return 12.5; }, "PVN 12,5 %"},
    };
    for (const auto& c : cases) {
        reports::TPrParvAlkoholaPZ vatForm(*connection, c.rate);
        EXPECT_EQ(textsOf(vatForm.pageDocument(1), "QRLabel31"), QStringList({c.caption}));
    }
}

TEST_F(AlcoholTextsTest, IssuerNameReplacesTheBlankOnlyWhenGiven)
{
    addLines({{.isn = 1}});
    const QString blank = "Vārds, Uzvārds_________________________________";

    EXPECT_EQ(textsOf(printWaybill(), "QRLabel35"), QStringList({blank}));
    form.IssuerName = "Anna Kalniņa";
    EXPECT_EQ(textsOf(printWaybill(), "QRLabel35"), QStringList({"Vārds, Uzvārds : Anna Kalniņa"}));
    EXPECT_EQ(form.QuickRep1.element<engine::Label>("QRLabel35").caption(), blank);
    EXPECT_EQ(textsOf(printWaybill(), "QRLabel38"), QStringList({blank}));  // the receiver's stays blank
}

TEST_F(AlcoholTextsTest, EveryPageRepeatsTheDateInWordsAndTheColumnHeader)
{
    QString script;
    for (int isn = 1; isn <= 150; ++isn)
        script += QStringLiteral("INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, ISSERTIF)"
                                 " VALUES (%1, 1, 1, 1, 1, 1, NULL);")
                      .arg(isn);
    run(script);

    const engine::PageDocument document = printWaybill();

    ASSERT_GE(document.pages.size(), 3u);
    for (std::size_t i = 0; i < document.pages.size(); ++i) {
        const engine::Page& page = document.pages[i];
        EXPECT_EQ(textsOf(page, "lbVisrDatums"), QStringList({"2017.gada 22.augustā"})) << "page " << i + 1;
        EXPECT_NE(page.fillOf("QRBand3"), nullptr) << "page " << i + 1;
        EXPECT_EQ(page.fillOf("QRBand2") != nullptr, i == 0) << "page " << i + 1;
    }
    EXPECT_EQ(textsOf(document, "QRDBText2").size(), 150);
    EXPECT_EQ(textsOf(document, "QRExpr2"), QStringList({"181,50"}));  // 150 × 1.21
}

// Goods item 2: 12.4 per package, 37.4 % alcohol, 0.7 l. The line's own VAT
// rate (12 %) plays no part in the sales figures; the goods item's 21 % does.
TEST_F(AlcoholTextsTest, NumberFormatsOfTheLineColumns)
{
    run("INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA, NODOKLIS, SKKASTE, ALKOHOLS, LITRAZA)"
        " VALUES (2, 'Balzams', 1, 21, 12.4, 37.4, 0.7);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS)"
        " VALUES (1, 1, 2, 1.23456, 1, 2.6, 12);");

    const engine::PageDocument document = printWaybill();

    const struct {
        const char* element;
        const char* text;
    } cases[] = {
        {"QRDBText17", "12"},     // SKKASTE
        {"QRDBText2", "3"},       // DAUDZUMS
        {"QRDBText29", "37"},     // ALKOHOLS
        {"QRDBText4", "1,235"},   // CENA
        {"QRDBText38", "3,21"},   // SUMMA 2.6 × 1.23456
        {"QRDBText5", "1,21"},    // PARD_CENA with 21 %
        {"QRDBText39", "3,15"},   // PARD_SUMMA 2.6 × 1.21
        {"QRDBText19", "0,70"},   // LITRAZA
        {"QRExpr2", "3,15"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textsOf(document, c.element), QStringList({c.text})) << c.element;
}

}  // namespace
}  // namespace alcoholwaybill
