#pragma once
// Waybill building: a small warehouse with one customer order of two lines,
// and the steps a handheld takes to build a waybill from it.

#include "ServiceFixture.h"
#include "WaybillCounter.h"

namespace servicetest {

inline const char* const kWaybillRows = R"(
INSERT INTO N_ISI (ISN) VALUES (1);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 10, '|N|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (2, 'Centrs', 20, '|R|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Piegādātājs');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, PARDCENA1, NODOKLIS) VALUES (1, 'Piens', '1001', 1, 0.89, 21);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, PARDCENA1, NODOKLIS, ALKOHOLS) VALUES (2, 'Degvīns', '4001', 1, 9.9, 21, 40);
INSERT INTO N_MASINA (ISN, GNOS) VALUES (1, 'Volvo, J. Bērziņš');
INSERT INTO O_PASPAV (ISN, ISNODALA, ISNODALAUZ, DATUMS, PIEGADPIRCEJS) VALUES (101, 2, 1, '2026-12-09', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, ATKR_DAUDZ, CENA, NODOKLIS) VALUES (1001, 101, 1, 10, 10, 0, 0.7, 21);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, ATKR_DAUDZ, CENA, NODOKLIS) VALUES (1002, 101, 2, 3, 3, 0, 8, 21);
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (2, 'Atbilstības sertifikāts 17');
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA) VALUES (2, 1, 2);
)";

inline const QDate kDay{2026, 12, 9};

inline QJsonObject newWaybill(int receiver)
{
    return {{"DATUMS", "2026-12-09"}, {"ISNODALANO", 99}, {"ISNODALAUZ", receiver}, {"NR_PAVADZ", "from client"}};
}

class WaybillTest : public ServiceTest {
protected:
    WaybillTest()
    {
        database.run(QString::fromUtf8(kWaybillRows));
        operatorValues.setSendingDepartment(1);
        operatorValues.setDateFrom(kDay);
        operatorValues.setDateTo(kDay);
    }

    void storeCounter(const QVariant& value)
    {
        ASSERT_TRUE(store.update([&](operator_state::SettingsStore::Values& values) {
            values.insert("Datums", "09.12.2026");
            if (value.isValid())
                values.insert(service::kWaybillCounterName, value);
        }));
    }

    std::vector<std::vector<db::Value>> waybills()
    {
        return select("SELECT NR_PAVADZ, ISNODALANO, ISNODALAUZ, PZ_SERIJA, DATUMS FROM O_PARPAV ORDER BY ISN");
    }

    // Create a waybill, find its key among the open ones, add lines and
    // read their keys, record the collected quantities, attach a
    // certificate, choose the car; the collected lines leave the pending
    // list.
    void buildAWaybillAsAHandheld();
};

}  // namespace servicetest
