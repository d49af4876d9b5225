// The texts each line computes: packages, mark-up, best-before date, the car
// and driver, and the name column with certificate, comment and the
// received waybill.

#include "GeneralWaybillFixture.h"

#include "My_proc.h"

namespace gwtest {
namespace {

struct LineFieldCase {
    const char* name;
    const char* script;  // rows and changes for the case, or empty
    const char* isi;     // name column settings
    const char* isi2;
    const char* element;
    QString printed;
};

void PrintTo(const LineFieldCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineFieldTest : public GeneralWaybillTest, public ::testing::WithParamInterface<LineFieldCase> {};

TEST_P(LineFieldTest, PrintsTheLinesText)
{
    const LineFieldCase& c = GetParam();
    // the columns of the line fields, the name column wide enough for one line
    setIsi(QStringLiteral("ISIPARVKASTES = 'T', ISIPARVUZCENPROC = 'T', ISIPARVDERTERM = 'T', ISIPARVGNOS = 'T', "
                          "ISIPARVGNOSGARUMS = 80, ISIPARVSOFERIS = 'T', ISIPARVSERTIF = 'F', ISIPARVSANNR = 'F'"));
    if (*c.script)
        run(QString::fromUtf8(c.script));
    if (*c.isi)
        setIsi(QString::fromUtf8(c.isi));
    if (*c.isi2)
        setIsi2(QString::fromUtf8(c.isi2));
    EXPECT_EQ(textOf(print(), QString::fromUtf8(c.element)), c.printed);
}

const char* const kCertificate = "INSERT INTO N_SERTIF (ISN, GNOS) VALUES (2, 'Sert-1');"
                                 "UPDATE O_PARPRC SET ISSERTIF = 2;";

// Sales waybills of the sending department holding the milk: 7 has the
// highest ISN among the valid ones dated on or before the waybill's date.
const char* const kSalesWaybills =
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA, NELEGALIZ) VALUES"
    "  (3, '0045', 'ZP', '2026-02-28', 1, NULL);"
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA, NELEGALIZ) VALUES"
    "  (7, ' 0051', ' GM ', '2026-03-01', 1, 'F');"
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA, NELEGALIZ) VALUES"
    "  (8, '0060', 'XX', '2026-02-25', 1, 'T');"  // annulled
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA, NELEGALIZ) VALUES"
    "  (9, '0070', 'YY', '2026-03-02', 1, NULL);"  // after the waybill's date
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA, NELEGALIZ) VALUES"
    "  (10, '0080', 'ZZ', '2026-02-27', 2, NULL);"  // another department
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (1, 3, 1);"
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (2, 7, 1);"
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (3, 8, 1);"
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (4, 9, 1);"
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (5, 10, 1);";

const char* const kComment = "UPDATE O_PARPRC SET PRECKOMENT = 'Ar rūpību';";

const char* const kReceivedWaybillAndComment =
    "INSERT INTO N_SERTIF (ISN, GNOS) VALUES (2, 'Sert-1');"
    "UPDATE O_PARPRC SET ISSERTIF = 2, PRECKOMENT = 'Ar rūpību';"
    "INSERT INTO O_PAVADZ (ISN, NR_PAVADZ, PZ_SERIJA, DAT_PAVADZ, ISNODALA) VALUES"
    "  (7, '0051', 'GM', '2026-02-20', 1);"
    "INSERT INTO O_PRECE (ISN, ISPAVADZ, ISPRECE) VALUES (1, 7, 1);";

INSTANTIATE_TEST_SUITE_P(
    Packages, LineFieldTest,
    ::testing::Values(
        LineFieldCase{"PackagesAndPieces", "UPDATE O_PARPRC SET DAUDZUMS = 30; UPDATE N_KLPREC SET SKKASTE = 12", "",
                      "", "DTIepakSkaits", " 2.50x12.00"},
        LineFieldCase{"NoPiecesPerPackage", "UPDATE N_KLPREC SET SKKASTE = 0", "", "", "DTIepakSkaits", ""},
        LineFieldCase{"NullPiecesPerPackage", "UPDATE N_KLPREC SET SKKASTE = NULL", "", "", "SUMIepakSkaits",
                      "0,000"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    MarkUp, LineFieldTest,
    ::testing::Values(LineFieldCase{"OfTheSalePrice", "UPDATE O_PARPRC SET CENA = 8, PARD_CENA = 10", "", "",
                                    "DTPiecenojProc", "20,000"},
                      LineFieldCase{"WithoutSalePrice", "UPDATE O_PARPRC SET CENA = 8, PARD_CENA = 0", "", "",
                                    "DTPiecenojProc", "0,000"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    BestBefore, LineFieldTest,
    ::testing::Values(
        LineFieldCase{"NoShelfLife", "UPDATE N_KLPREC SET DERDIENAS = 0", "", "", "DTDerigsLidz", ""},
        LineFieldCase{"ThirtyDays", "UPDATE N_KLPREC SET DERDIENAS = 30", "", "", "DTDerigsLidz", "31.03.2026"},
        LineFieldCase{"SeeThePackage", "UPDATE N_KLPREC SET DERDIENAS = -1", "", "", "DTDerigsLidz", "Sk.uz iep."},
        LineFieldCase{"HalfDayRoundsToEvenZero", "UPDATE N_KLPREC SET DERDIENAS = 0.5", "", "", "DTDerigsLidz", ""},
        LineFieldCase{"TwoAndAHalfDaysRoundToTwo", "UPDATE N_KLPREC SET DERDIENAS = 2.5", "", "", "DTDerigsLidz",
                      "03.03.2026"},
        LineFieldCase{"ThreeAndAHalfDaysRoundToFour", "UPDATE N_KLPREC SET DERDIENAS = 3.5", "", "", "DTDerigsLidz",
                      "05.03.2026"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Car, LineFieldTest,
    ::testing::Values(
        LineFieldCase{"NameNumbersAndDriver",
                      "INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS) VALUES (1, 'Sprinter', 'AF1', "
                      "'KT-1', 'Jānis');"
                      "UPDATE O_PARPAV SET ISMASINA = 1",
                      "", "", "dbSoferis", "Sprinter Reģ.Nr.AF1 Auto KT-1 Jānis"},
        LineFieldCase{"OnlyADriver",
                      "INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS) VALUES (1, NULL, 'AF1', '', "
                      "'Jānis');"
                      "UPDATE O_PARPAV SET ISMASINA = 1",
                      "", "", "dbSoferis", ""},
        LineFieldCase{"NoCar", "", "", "", "dbSoferis", ""}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    NameColumn, LineFieldTest,
    ::testing::Values(
        LineFieldCase{"GoodsNameAlone", "", "ISIPARVSERTIF = 'T'", "PARVKOMENTPIENOS = 'T'", "DTNosaukums", "Piens"},
        LineFieldCase{"Certificate", kCertificate, "ISIPARVSERTIF = 'T'", "", "DTNosaukums", "Piens \\ Sert-1"},
        LineFieldCase{"CertificateSwitchedOff", kCertificate, "ISIPARVSERTIF = 'F'", "", "DTNosaukums", "Piens"},
        LineFieldCase{"Comment", kComment, "", "PARVKOMENTPIENOS = 'T'", "DTNosaukums", "Piens \\ Ar rūpību"},
        LineFieldCase{"CommentsNotShown", kComment, "", "PARVKOMENTPIENOS = 'F'", "DTNosaukums", "Piens"},
        LineFieldCase{"CommentOfBlanks", "UPDATE O_PARPRC SET PRECKOMENT = '   '", "", "PARVKOMENTPIENOS = 'T'",
                      "DTNosaukums", "Piens \\    "},
        LineFieldCase{"ReceivedWaybillWithTheHighestKey", kSalesWaybills, "ISIPARVSANNR = 'T'", "", "DTNosaukums",
                      "Piens Pz.#GM- 0051-01.03.2026-Noliktava "},
        LineFieldCase{"NoReceivedWaybill", "", "ISIPARVSANNR = 'T'", "", "DTNosaukums", "Piens"},
        // the received waybill directly after the name, then the comment
        LineFieldCase{"ReceivedWaybillThenComment", kReceivedWaybillAndComment, "ISIPARVSANNR = 'T'",
                      "PARVKOMENTPIENOS = 'T'", "DTNosaukums", "Piens Pz.#GM-0051-20.02.2026-Noliktava  \\ Ar rūpību"},
        // and the certificate straight after the name
        LineFieldCase{"EveryPart", kReceivedWaybillAndComment, "ISIPARVSERTIF = 'T', ISIPARVSANNR = 'T'",
                      "PARVKOMENTPIENOS = 'T'", "DTNosaukums",
                      "Piens \\ Sert-1 Pz.#GM-0051-20.02.2026-Noliktava  \\ Ar rūpību"}),
    CaseName());

using LineFieldsTest = GeneralWaybillTest;

// A failed certificate lookup is shown to the operator and the line prints
// without the certificate.
TEST_F(LineFieldsTest, AFailedCertificateLookupIsNoticedAndTheLinePrints)
{
    setIsi(QStringLiteral("ISIPARVGNOS = 'T', ISIPARVSERTIF = 'T'"));
    run(QStringLiteral("DROP PROCEDURE PRECVALIDSERTLIST; ALTER TABLE N_SERTIF DROP GNOS"));
    const common::NoticeRecorder notices;
    EXPECT_EQ(textOf(print(), QStringLiteral("DTNosaukums")), QStringLiteral("Piens"));
    ASSERT_FALSE(notices.notices().isEmpty());
    EXPECT_TRUE(notices.notices().front().startsWith(u"KĻŪDA FUNKCIJA : PAZIŅOJUMS GetNotUseString "));
}

}  // namespace
}  // namespace gwtest
