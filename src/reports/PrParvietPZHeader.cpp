// The header block: title, number and date, sender and receiver, the driver
// line, the one-block header form and the page header's numbers.

#include "PrParvietPZForm.h"

#include "My_proc.h"
#include "PrParvietPZLayout.h"
#include "PrParvietPZSettings.h"

namespace reports {

using parvietpz::isOn;
using parvietpz::textOf;

namespace {

// The value labels of a party after its name, and where each value comes
// from: the organisation in N_ISI, or the department (field + "NO" or "UZ").
struct PartyDetail {
    QStringView label;  // after the "Nosut" or "San" prefix
    QStringView organisationField;
    QStringView departmentField;
};

const PartyDetail kPartyDetails[] = {
    {u"JuridAdrese1", u"ISIORGADR", u"ADRESE"},
    {u"TirdzAdrese1", u"ISIORGTIRADR", u"TIRDZNADR"},
    {u"RegNr1", u"ISIREGNR", u"REGNR"},
    {u"NodMaksKods1", u"ISINOD_NR", u"NODOKLA_NR"},
    {u"Banka1", u"ISIBANKNOS", u"BANKNOS"},
    {u"Kods1", u"ISIBANKKODS", u"BANKKODS"},
    {u"Konts1", u"ISINORREKINS", u"BANKKONTS"},
};

// The receiver's captions and values that the one-block form leaves out:
// all but the department line.
const QStringView kReceiverOnlyElements[] = {
    u"SanGNOS",        u"SanGNOS1",         u"SanJuridAdrese", u"SanJuridAdrese1", u"SanTirdzAdrese",
    u"SanTirdzAdrese1", u"SanRegNr",        u"SanRegNr1",      u"SanNodMaksKods",  u"SanNodMaksKods1",
    u"SanBanka",       u"SanBanka1",        u"SanKods",        u"SanKods1",        u"SanKonts",
    u"SanKonts1",      u"SanLicence",       u"SanLicence1",
};

enum class DetailsFrom { Organisation, OrganisationAndDepartment, Department };

DetailsFrom detailsFrom(std::int32_t rekvizitiFrom)
{
    switch (rekvizitiFrom) {
    case 0:
    case 1: return DetailsFrom::Organisation;
    case 3: return DetailsFrom::OrganisationAndDepartment;
    default: return DetailsFrom::Department;
    }
}

}  // namespace

void TPrParvietPZ::setTitleNumberAndDate()
{
    const QString title = textOf(N_ISI, u"ISIPARVHEAD");
    label(QStringLiteral("TitleTXT")).setCaption(title.isEmpty() ? QStringLiteral("Pavadzīme ") : title);

    // A series of blanks is a series all the same.
    const QString series = textOf(ReportSQL, u"PZ_SERIJA");
    QString number = series.isEmpty() ? QString() : u' ' + series.trimmed() + u'-';
    number += textOf(ReportSQL, u"NR_PAVADZ").trimmed();
    label(QStringLiteral("TextNumurs")).setCaption(number);

    label(QStringLiteral("TextDatums")).setCaption(common::DateInWords(ReportSQL.field(u"DATUMS").asFloat()));
}

// The department and licence lines print the departments' own fields in
// every case.
void TPrParvietPZ::setSenderAndReceiver()
{
    const DetailsFrom from = detailsFrom(parvietpz::integerOf(ReportSQL, u"REKVIZITIFROM"));
    const QString organisation = textOf(N_ISI, u"ISIORGNOS");
    const struct {
        QString prefix;
        QString suffix;
    } parties[] = {{QStringLiteral("Nosut"), QStringLiteral("NO")}, {QStringLiteral("San"), QStringLiteral("UZ")}};
    for (const auto& party : parties) {
        const QString department = textOf(ReportSQL, QString(QStringLiteral("NODALA") + party.suffix));
        QString name = organisation;
        if (from == DetailsFrom::OrganisationAndDepartment)
            name = organisation + u'-' + department;
        else if (from == DetailsFrom::Department)
            name = department;
        label(party.prefix + QStringLiteral("GNOS1")).setCaption(name);
        for (const PartyDetail& detail : kPartyDetails) {
            const QString value = from == DetailsFrom::Organisation
                                      ? textOf(N_ISI, detail.organisationField)
                                      : textOf(ReportSQL, detail.departmentField.toString() + party.suffix);
            label(party.prefix + detail.label.toString()).setCaption(value);
        }
    }
}

void TPrParvietPZ::showDriverLine()
{
    const bool shown = isOn(N_ISI, u"ISIPARVSOFERIS");
    QuickRep1.element(QStringLiteral("lbSoferis")).setEnabled(shown);
    QuickRep1.element(QStringLiteral("dbSoferis")).setEnabled(shown);
}

bool TPrParvietPZ::isOneBlockHeader() const
{
    return parvietpz::integerOf(N_ISI, u"ISIPARVHEADFORM") == 1;
}

// The sender block stands for both parties, followed by both departments;
// the receiving department's line moves up to the receiver name's row.
void TPrParvietPZ::applyOneBlockHeader()
{
    if (!isOneBlockHeader())
        return;
    label(QStringLiteral("NosutGNOS")).setCaption(QStringLiteral("Nosūtītājs/Saņēmējs :"));
    label(QStringLiteral("NosutNodala")).setCaption(QStringLiteral("Nodaļa/Noliktava NO :"));
    label(QStringLiteral("SanNodala")).setCaption(QStringLiteral("Nodaļa/Noliktava UZ :"));
    label(QStringLiteral("NosutJuridAdrese")).setCaption(QStringLiteral("Juridiskā adrese :"));
    for (QStringView name : kReceiverOnlyElements)
        QuickRep1.element(name.toString()).setEnabled(false);
    QuickRep1.element(QStringLiteral("SanNodala")).setTop(QuickRep1.element(QStringLiteral("SanGNOS")).top());
    QuickRep1.element(QStringLiteral("SanNodala1")).setTop(QuickRep1.element(QStringLiteral("SanGNOS1")).top());
    QuickRep1.band(parvietpz::kTitleBand.toString()).setHeight(170);
}

void TPrParvietPZ::setInternalNumber(const db::Query& settings2)
{
    engine::Label& internalNumber = label(QStringLiteral("lbIeksNr"));
    internalNumber.setEnabled(isOn(settings2, u"PARVIEKS_NR"));
    if (internalNumber.isEnabled())
        internalNumber.setCaption(QStringLiteral("Ieksējais Nr ") + QString::number(WaybillIsn));
}

void TPrParvietPZ::QRDBText1Print(QString& value)
{
    value = textOf(ReportSQL, u"NR_PAVADZ") + u'-' + textOf(ReportSQL, u"DATUMS");
}

// The handlers below read the header form at the moment they print.
void TPrParvietPZ::QRDBText3Print(QString& value)
{
    if (isOneBlockHeader())
        value += QStringLiteral(" (Izsniegšanas adrese: ") + textOf(ReportSQL, u"TIRDZNADRNO") + u')';
}

void TPrParvietPZ::SanNodala1Print(QString& value)
{
    if (isOneBlockHeader())
        value += QStringLiteral(" (Saņemšanas adrese: ") + textOf(ReportSQL, u"TIRDZNADRUZ") + u')';
}

void TPrParvietPZ::QRLabel16Print(QString& value)
{
    value = isOneBlockHeader() ? QString() : QStringLiteral("Apraksts : ") + textOf(ReportSQL, u"DARIJUMAVEIDS");
}

}  // namespace reports
