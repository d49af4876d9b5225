#include "ProviderCatalogue.h"

#include "KelvoServerMethodsUnit.h"

namespace service {

namespace {

// The number of alcohol lines of the waybill O_PARPAV's row: the print
// request prints the alcohol waybill for a waybill with any.
const QString kAlcoholLinesOfWaybill =
    u"(SELECT COUNT(*) FROM O_PARPRC, N_KLPREC WHERE O_PARPRC.ISPRECE = N_KLPREC.ISN "
    "AND N_KLPREC.ALKOHOLS > 0 AND O_PARPRC.ISPARVPAV = O_PARPAV.ISN)"_qs;

using db::Type;
using T = TKelvoServerMethods_EMPLOYEE;
constexpr auto Open = ProviderUse::Open;
constexpr auto Execute = ProviderUse::Execute;
constexpr std::nullopt_t AsSent = std::nullopt;

std::vector<ProviderEntry> makeCatalogue()
{
    return {
        {u"EMPLOYEE"_qs, Open, {},
         {{u"ISPRECE"_qs, Type::Integer}, {u"GRUPA"_qs, Type::Text}},
         {}, &T::SQLDataSet_EMPLOYEEBeforeOpen},
        {u"PRECE"_qs, Open, {}, {},
         {{u"PRECE"_qs, Type::Text, 250, true},
          {u"ARTIKULS"_qs, Type::Text, 16},
          {u"ARTIKULS2"_qs, Type::Text, 13},
          {u"ISPRECE"_qs, Type::Integer, 0, true},
          {u"KLIENTS"_qs, Type::Text, 60, true},
          {u"ISPRKLIENT"_qs, Type::Integer},
          {u"ART_PRECE"_qs, Type::Text, 200, false, true},
          {u"SKKASTE"_qs, Type::Double},
          {u"ALKOHOLS"_qs, Type::Double}},
         &T::SQLDataSet_PRECEBeforeOpen, &T::SQLDataSet_PRECECalcFields, nullptr, true},
        {u"TARA"_qs, Open,
         u"SELECT N_KLPREC.ARTIKULS, N_KLPREC.GNOS, N_KLPREC.ISN, N_KLPREC.PARDCENA1, N_KLPREC.NODOKLIS "
         "FROM N_KLPREC WHERE N_KLPREC.TARA = 'T'"_qs},
        {u"O_PARPAV"_qs, Open,
         u"SELECT ISN, ISMASINA, "_qs + kAlcoholLinesOfWaybill + u" SKAITS_ALKO, "
         "(SELECT COUNT(*) FROM O_PARPRC WHERE O_PARPRC.ISPARVPAV = O_PARPAV.ISN) SKAITS_KOPA "
         "FROM O_PARPAV "
         "WHERE O_PARPAV.DATUMS = :DATUMS "
         "AND O_PARPAV.ISNODALANO = :ISNODALANO "
         "AND O_PARPAV.ISNODALAUZ = :ISNODALAUZ "
         "AND (O_PARPAV.PZ_BLOK = '' OR O_PARPAV.PZ_BLOK IS NULL) "
         "AND O_PARPAV.PZ_SERIJA = 'PL'"_qs,
         {{u"DATUMS"_qs, AsSent}, {u"ISNODALANO"_qs, AsSent}, {u"ISNODALAUZ"_qs, AsSent}},
         {}, &T::SQLDataSet_O_PARPAVBeforeOpen},
        {u"O_PARPAVins"_qs, Execute,
         u"INSERT INTO O_PARPAV (DATUMS, ISNODALANO, ISNODALAUZ, PZ_SERIJA, NR_PAVADZ) "
         "VALUES (:DATUMS, :ISNODALANO, :ISNODALAUZ, 'PL', :NR_PAVADZ) "
         "RETURNING ISN, NR_PAVADZ"_qs,
         {{u"DATUMS"_qs, AsSent}, {u"ISNODALANO"_qs, AsSent}, {u"ISNODALAUZ"_qs, AsSent}, {u"NR_PAVADZ"_qs, AsSent}},
         {}, &T::DataSetProvider_O_PARPAVinsBeforeExecute},
        {u"O_PASPRCupd"_qs, Execute,
         u"update O_PASPRC set ATKR_DAUDZ = :ATKR_DAUDZ, ISPASPRC_SAIST = :ISPASPRC where ISN = :ISN"_qs,
         {{u"ATKR_DAUDZ"_qs, Type::Double}, {u"ISPASPRC"_qs, Type::Integer}, {u"ISN"_qs, Type::Integer}}},
        {u"O_PARPRCins"_qs, Execute,
         u"INSERT INTO O_PARPRC (ISPARVPAV, ISPRECE, PARD_CENA, CENA, DAUDZUMS, NODOKLIS, ISSERTIF) "
         "VALUES (:ISPARVPAV, :ISPRECE, :PARD_CENA, :CENA, :DAUDZUMS, :NODOKLIS, :ISSERTIF) "
         "RETURNING ISN"_qs,
         {{u"ISPARVPAV"_qs, Type::Integer}, {u"ISPRECE"_qs, Type::Integer}, {u"PARD_CENA"_qs, Type::Double},
          {u"CENA"_qs, Type::Double}, {u"DAUDZUMS"_qs, Type::Double}, {u"NODOKLIS"_qs, Type::Double},
          {u"ISSERTIF"_qs, Type::Integer}}},
        {u"O_PARPRCnew"_qs, Open, u"SELECT GEN_ID(O_PARPRCGEN,0) ISN FROM N_ISI"_qs},
        {u"drukat"_qs, Open, printRequestStatement(),
         {{u"ISN"_qs, AsSent}},
         {}, nullptr, nullptr, &T::SQLDataSet_drukatAfterOpen},
        {u"soferi"_qs, Open, u"SELECT ISN, GNOS FROM N_MASINA ORDER BY GNOS"_qs},
        {u"O_PARPAVupd"_qs, Execute, u"UPDATE O_PARPAV SET ISMASINA = :ISMASINA WHERE ISN = :ISN"_qs,
         {{u"ISMASINA"_qs, Type::Integer}, {u"ISN"_qs, Type::Integer}}},
        {u"NODGRUPA"_qs, Open,
         u"SELECT DISTINCT CAST(GRUPA AS VARCHAR(250)) GRUPA FROM N_DEPART WHERE GRUPA IS NOT NULL "
         "ORDER BY n_depart.KARTIBA, n_depart.gnos"_qs,
         {},
         {{u"GRUPA"_qs, Type::Text, 250}}},
        {u"O_PARPRCupd"_qs, Execute, u"UPDATE O_PARPRC SET ISSERTIF = :ISSERTIF WHERE ISN = :ISN"_qs,
         {{u"ISSERTIF"_qs, AsSent}, {u"ISN"_qs, AsSent}}},
        {u"sertifikati"_qs, Open, u"SELECT ISSERTIF, SERTIF FROM PRECVALIDSERTLIST(:ISPRECE, :ISDEPART, 0, 1)"_qs,
         {{u"ISPRECE"_qs, Type::Integer}, {u"ISDEPART"_qs, Type::Integer}}},
    };
}

}  // namespace

QString printRequestStatement()
{
    return u"select ISN, "_qs + kAlcoholLinesOfWaybill + u" SKAITS from O_PARPAV where ISN = :ISN"_qs;
}

const std::vector<ProviderEntry>& providerCatalogue()
{
    static const std::vector<ProviderEntry> catalogue = makeCatalogue();
    return catalogue;
}

const ProviderEntry* findProvider(QStringView providerName)
{
    for (const ProviderEntry& entry : providerCatalogue()) {
        if (entry.providerName() == providerName)
            return &entry;
    }
    return nullptr;
}

}  // namespace service
