#include "WarehouseGenerator.h"

#include "Connection.h"
#include "Query.h"
#include "Random.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

namespace bench {

namespace {

constexpr std::uint32_t kSeed = 20141111;
constexpr int kRowsPerCommit = 10000;
constexpr std::int64_t kFirstWaybillNumber = 9171900001;

// Departments 1 and 2 are the warehouses the shops order from; the shops
// follow, each in its region's group and the Pierīga and Jūrmala shops also
// in the neighbouring one, so GRUPA lists two groups there.
constexpr int kWarehouses = 2;
struct Region {
    const char* groups;
    std::vector<const char*> places;
};
const std::vector<Region> kRegions = {
    {"|Rīga|", {"Centrs", "Purvciems", "Imanta", "Ķengarags", "Pļavnieki", "Teika", "Āgenskalns", "Mežciems",
                "Ziepniekkalns", "Jugla", "Sarkandaugava", "Zolitūde", "Bolderāja"}},
    {"|Rīga|Pierīga|", {"Salaspils", "Ogre", "Olaine", "Ķekava", "Mārupe", "Baloži", "Ādaži", "Carnikava"}},
    {"|Pierīga|Jūrmala|", {"Majori", "Dubulti", "Bulduri", "Kauguri", "Sloka"}},
    {"|Vidzeme|", {"Sigulda", "Cēsis", "Valmiera", "Limbaži", "Valka", "Smiltene", "Gulbene", "Alūksne", "Madona"}},
    {"|Kurzeme|", {"Liepāja", "Ventspils", "Kuldīga", "Talsi", "Saldus", "Tukums", "Aizpute", "Grobiņa"}},
    {"|Zemgale|", {"Jelgava", "Bauska", "Dobele", "Aizkraukle", "Jēkabpils", "Iecava", "Auce"}},
    {"|Latgale|", {"Daugavpils", "Rēzekne", "Ludza", "Preiļi", "Balvi", "Krāslava", "Līvāni", "Kārsava"}},
};

struct GoodsGroup {
    const char* name;
    std::vector<const char*> nouns;
    const char* unit;
    double vat;
    double alcoholFrom;  // 0: no alcohol
    double alcoholTo;
    bool chilled;
};
const std::vector<GoodsGroup> kGoodsGroups = {
    {"Piena produkti", {"Piens", "Kefīrs", "Jogurts", "Krējums", "Biezpiens"}, "gab.", 12, 0, 0, true},
    {"Siers", {"Siers", "Kausētais siers", "Mocarella"}, "kg", 21, 0, 0, true},
    {"Gaļa", {"Cūkgaļa", "Liellopu gaļa", "Vistas fileja", "Maltā gaļa"}, "kg", 21, 0, 0, true},
    {"Gaļas izstrādājumi", {"Desa", "Cīsiņi", "Šķiņķis", "Speķis"}, "kg", 21, 0, 0, true},
    {"Zivis", {"Siļķe", "Lasis", "Brētliņas", "Mencas fileja"}, "kg", 21, 0, 0, true},
    {"Maize", {"Rupjmaize", "Baltmaize", "Batons", "Saldskābmaize"}, "gab.", 12, 0, 0, false},
    {"Konditoreja", {"Kūka", "Cepumi", "Pīrāgi", "Smalkmaizītes"}, "gab.", 21, 0, 0, false},
    {"Dārzeņi", {"Kartupeļi", "Burkāni", "Kāposti", "Sīpoli", "Gurķi"}, "kg", 12, 0, 0, false},
    {"Augļi", {"Āboli", "Bumbieri", "Banāni", "Apelsīni"}, "kg", 12, 0, 0, false},
    {"Saldumi", {"Šokolāde", "Konfektes", "Zefīrs", "Marmelāde"}, "gab.", 21, 0, 0, false},
    {"Kafija un tēja", {"Kafija", "Tēja", "Kakao"}, "gab.", 21, 0, 0, false},
    {"Bezalkoholiskie dzērieni", {"Sula", "Minerālūdens", "Kvass", "Limonāde"}, "gab.", 21, 0, 0, false},
    {"Alus", {"Alus", "Sidrs"}, "gab.", 21, 4.2, 6.5, false},
    {"Vīns", {"Vīns", "Dzirkstošais vīns"}, "gab.", 21, 10.5, 14, false},
    {"Stiprie dzērieni", {"Degvīns", "Balzams", "Brendijs", "Viskijs"}, "gab.", 21, 35, 45, false},
    {"Konservi", {"Zaļie zirnīši", "Tomātu pasta", "Sautēta gaļa", "Šprotes"}, "gab.", 21, 0, 0, false},
    {"Graudaugi", {"Griķi", "Rīsi", "Auzu pārslas", "Milti", "Makaroni"}, "gab.", 21, 0, 0, false},
    {"Garšvielas", {"Sāls", "Pipari", "Sinepes", "Majonēze", "Kečups"}, "gab.", 21, 0, 0, false},
    {"Saldēti produkti", {"Saldējums", "Pelmeņi", "Saldēti dārzeņi"}, "gab.", 21, 0, 0, true},
    {"Sadzīves ķīmija", {"Trauku mazgāšanas līdzeklis", "Veļas pulveris", "Ziepes"}, "gab.", 21, 0, 0, false},
    {"Tara", {"Stikla pudele (depozīta)", "Plastmasas kaste", "Euro palete"}, "gab.", 21, 0, 0, false},
};
constexpr int kTareItems = 15;  // the last goods items, in group "Tara"

const std::vector<const char*> kNamePrefixes = {"Baltijas", "Latvijas", "Rīgas",   "Vidzemes", "Kurzemes",
                                                "Zemgales", "Latgales", "Dzintara", "Ziemeļu",  "Jūras",
                                                "Meža",     "Lauku",    "Saules",   "Zelta"};
const std::vector<const char*> kNameNouns = {"Piens",  "Maiznieks", "Dārzs",    "Gaļa",  "Zivis",
                                             "Alus",   "Dzērieni",  "Saldumi",  "Nams",  "Partneri",
                                             "Produkti", "Garša",   "Bite",     "Avots", "Ferma"};
const std::vector<const char*> kSizes = {"200 g", "400 g", "500 g", "1 kg", "0,33 l", "0,5 l", "0,7 l", "1 l", "1,5 l"};
const std::vector<const char*> kFirstNames = {"Jānis", "Andris", "Māris", "Ilze", "Pēteris", "Kārlis", "Ieva", "Edgars"};
const std::vector<const char*> kSurnames = {"Bērziņš", "Kalniņš", "Ozoliņš", "Liepiņa", "Jansons", "Krūmiņš"};
const std::vector<const char*> kCarModels = {"Mercedes-Benz Sprinter", "Volkswagen Crafter", "Iveco Daily",
                                             "Renault Master", "Ford Transit"};
const std::vector<const char*> kStreets = {"Brīvības", "Rīgas", "Skolas", "Dzirnavu", "Pils", "Stacijas", "Lielā"};

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

double money(double v) { return std::round(v * 100) / 100; }

// The generator's one explicit transaction, committed every kRowsPerCommit
// rows: few transactions keep the inserts fast, bounded ones keep the undo
// log small.
class Batch {
public:
    explicit Batch(db::Connection& connection) : connection_(connection) {}
    void rowDone()
    {
        if (++rows_ % kRowsPerCommit == 0)
            connection_.transaction().commit();
    }
    void finish() { connection_.transaction().commit(); }
    db::Connection& connection() { return connection_; }

private:
    db::Connection& connection_;
    std::int64_t rows_ = 0;
};

// One insert statement, prepared once and executed for every row.
class Insert {
public:
    Insert(Batch& batch, const QString& table, const QStringList& columns)
        : batch_(batch),
          query_(batch.connection(), QStringLiteral("INSERT INTO %1 (%2) VALUES (:%3)")
                                         .arg(table, columns.join(QStringLiteral(", ")),
                                              columns.join(QStringLiteral(", :"))))
    {
    }

    // The values in the order of the columns.
    void row(std::initializer_list<db::Value> values)
    {
        auto value = values.begin();
        for (db::Param& p : query_.params())
            p.setValue(*value++);
        query_.execute();
        batch_.rowDone();
    }

private:
    Batch& batch_;
    db::Query query_;
};

struct Item {
    double price = 0;
    double vat = 21;
    std::vector<std::int32_t> certificates;  // linked in N_SERTPREC
};

// Line counts that vary around the mean and still add up exactly: the orders
// go in pairs, one d above the mean, the other d below it.
class PairedCounts {
public:
    PairedCounts(Random& random, int mean) : random_(random), mean_(mean) {}
    int next()
    {
        if (pending_ >= 0)
            return std::exchange(pending_, -1);
        const int d = random_.between(0, mean_ - 1);
        pending_ = mean_ - d;
        return mean_ + d;
    }

private:
    Random& random_;
    int mean_;
    int pending_ = -1;
};

class Generator {
public:
    Generator(db::Connection& connection, const QDate& lastDay, const WarehouseSize& size)
        : batch_(connection), size_(size), lastDay_(lastDay),
          firstDay_(lastDay.addDays(1 - size.historyDays)),
          firstWorkingDay_(lastDay.addDays(1 - size.workingDays))
    {
    }

    WarehouseFacts run()
    {
        departments();
        clients();
        goodsGroups();
        goods();
        cars();
        certificates();
        orders();
        waybills();
        settings();
        batch_.finish();
        restartGenerators();
        refreshIndexStatistics();
        WarehouseFacts facts;
        facts.version = kWarehouseVersion;
        facts.lastDay = lastDay_;
        facts.firstWorkingDay = firstWorkingDay_;
        facts.sendingDepartment = 1;
        facts.hiddenDepartment = shops_.back();
        facts.nextWaybillNumber = nextWaybillNumber_;
        return facts;
    }

private:
    QString address(int n, const QString& town)
    {
        return QStringLiteral("%1 iela %2, %3, LV-%4")
            .arg(text(random_.pick(kStreets)))
            .arg(n % 90 + 1)
            .arg(town)
            .arg(1000 + random_.between(0, 4999));
    }

    void departments()
    {
        Insert insert(batch_, QStringLiteral("N_DEPART"),
                      {"ISN", "GNOS", "KARTIBA", "GRUPA", "ADRESE", "TIRDZNADR", "REGNR", "NODOKLA_NR", "BANKNOS",
                       "BANKKODS", "BANKKONTS", "BANKNOS2", "BANKKODS2", "BANKKONTS2", "LICENCE"});
        const QString office = address(52, QStringLiteral("Rīga"));
        auto add = [&](std::int32_t isn, const QString& name, const QString& groups, const QString& town) {
            insert.row({isn, name, isn * 10, groups, office, address(isn, town), "40103254871", "LV40103254871",
                        "AS Swedbank", "HABALV22", "LV37HABA0551034128765", "AS SEB banka", "UNLALV2X",
                        "LV61UNLA0050019283746", QStringLiteral("Licence Nr. 01-%1").arg(1000 + isn)});
        };
        add(1, QStringLiteral("Centrālā noliktava"), QStringLiteral("|Noliktavas|"), QStringLiteral("Rīga"));
        add(2, QStringLiteral("Noliktava \"Ziemeļi\""), QStringLiteral("|Noliktavas|"), QStringLiteral("Ādaži"));
        std::int32_t isn = kWarehouses;
        for (const Region& region : kRegions) {
            for (const char* place : region.places) {
                ++isn;
                add(isn, QStringLiteral("Veikals \"%1\"").arg(text(place)), text(region.groups), text(place));
                shops_.push_back(isn);
            }
        }
        departments_ = isn;
    }

    QString companyName(int i) const
    {
        static const char* forms[] = {"SIA", "AS", "ZS"};
        const int combinations = static_cast<int>(kNamePrefixes.size() * kNameNouns.size());
        return QStringLiteral("%1 \"%2 %3\"")
            .arg(QLatin1String(forms[i / combinations % 3]),
                 text(kNamePrefixes[static_cast<size_t>(i) % kNamePrefixes.size()]),
                 text(kNameNouns[static_cast<size_t>(i / static_cast<int>(kNamePrefixes.size())) % kNameNouns.size()]));
    }

    void clients()
    {
        Insert insert(batch_, QStringLiteral("N_KLIENT"), {"ISN", "GNOS"});
        for (int i = 0; i < size_.clients; ++i)
            insert.row({i + 1, companyName(i)});
    }

    void goodsGroups()
    {
        Insert insert(batch_, QStringLiteral("N_PRGRUP"), {"ISN", "GNOS", "GNOS2", "KODS"});
        for (int g = 0; g < static_cast<int>(kGoodsGroups.size()); ++g) {
            const QString name = text(kGoodsGroups[static_cast<size_t>(g)].name);
            insert.row({g + 1, name, name.toUpper(), QStringLiteral("G%1").arg(g + 1, 2, 10, QLatin1Char('0'))});
        }
    }

    // The group of goods item i (0-based): the tare items come last.
    int groupOf(int i)
    {
        const int tareGroup = static_cast<int>(kGoodsGroups.size()) - 1;
        return i >= size_.goods - kTareItems ? tareGroup : random_.between(0, tareGroup - 1);
    }

    void goods()
    {
        Insert insert(batch_, QStringLiteral("N_KLPREC"),
                      {"ISN", "GNOS", "INOS", "ARTIKULS", "ARTIKULS2", "ARTIKULS6", "ISPRKLIENT", "ISPRGRUPA",
                       "MERVIENIBA", "NODOKLIS", "PARDCENA1", "PARDCENA9", "SKKASTE", "ALKOHOLS", "LITRAZA", "TARA",
                       "DERDIENAS", "GLABTEMP"});
        static const int packs[] = {1, 6, 10, 12, 20, 24};
        items_.resize(static_cast<size_t>(size_.goods) + 1);
        for (int i = 0; i < size_.goods; ++i) {
            const int g = groupOf(i);
            const GoodsGroup& group = kGoodsGroups[static_cast<size_t>(g)];
            const std::int32_t client = random_.between(1, size_.clients);
            const QString noun = text(random_.pick(group.nouns));
            const QString name = QStringLiteral("%1 \"%2\" %3")
                                     .arg(noun, text(kNamePrefixes[static_cast<size_t>(client) % kNamePrefixes.size()]),
                                          text(random_.pick(kSizes)));
            const bool tare = g == static_cast<int>(kGoodsGroups.size()) - 1;
            const db::Value alcohol = group.alcoholFrom > 0
                                          ? db::Value(std::round(random_.between(group.alcoholFrom, group.alcoholTo) * 10) / 10)
                                          : db::Value();
            const db::Value litres = group.alcoholFrom > 0 ? db::Value(random_.chance(0.5) ? 0.5 : 0.7) : db::Value();
            Item& item = items_[static_cast<size_t>(i) + 1];
            item.price = money(random_.between(0.3, 40.0));
            item.vat = group.vat;
            insert.row({i + 1, name, name.left(30), QString::number(10000 + i),
                        QStringLiteral("475%1").arg(random_.between(0, 999999999), 10, 10, QLatin1Char('0')),
                        QStringLiteral("K%1-%2").arg(g + 1).arg(i + 1), client, g + 1, text(group.unit), group.vat,
                        item.price, money(item.price * 0.9), double(packs[random_.between(0, 5)]), alcohol, litres,
                        tare ? "T" : "F", group.chilled ? db::Value(double(random_.between(5, 60))) : db::Value(-1.0),
                        group.chilled ? db::Value("+2..+6 °C") : db::Value()});
        }
        // Popularity: a shuffled order of the goods, the first ones ordered most.
        byPopularity_.resize(static_cast<size_t>(size_.goods - kTareItems));
        std::iota(byPopularity_.begin(), byPopularity_.end(), 1);
        for (size_t i = byPopularity_.size() - 1; i > 0; --i)
            std::swap(byPopularity_[i], byPopularity_[static_cast<size_t>(random_.between(0, static_cast<int>(i)))]);
    }

    void cars()
    {
        Insert insert(batch_, QStringLiteral("N_MASINA"), {"ISN", "GNOS", "REGNR", "VALSTS_NR", "VADITAJS"});
        for (int i = 0; i < size_.cars; ++i) {
            const QString driver = QStringLiteral("%1 %2").arg(text(random_.pick(kFirstNames)), text(random_.pick(kSurnames)));
            insert.row({i + 1, QStringLiteral("%1 (%2)").arg(text(random_.pick(kCarModels)), driver),
                        QStringLiteral("AF%1").arg(random_.between(1000000, 9999999)),
                        QStringLiteral("%1%2-%3")
                            .arg(QChar(u'A' + random_.between(0, 25)))
                            .arg(QChar(u'A' + random_.between(0, 25)))
                            .arg(random_.between(100, 9999)),
                        driver});
        }
    }

    // Certificates from key 2 (0 and 1 mean none on a waybill line), linked
    // to most goods items for every department or one shop, some expired,
    // some open-ended.
    void certificates()
    {
        Insert certificate(batch_, QStringLiteral("N_SERTIF"), {"ISN", "GNOS", "GNOS2"});
        static const char* kinds[] = {"Kvalitātes sert.", "Atbilstības deklarācija", "Veterinārais sert.",
                                      "Fitosanitārais sert."};
        for (int i = 0; i < size_.certificates; ++i) {
            certificate.row({i + 2,
                             QStringLiteral("%1 %2-%3/%4")
                                 .arg(text(kinds[i % 4]))
                                 .arg(QChar(u'A' + i % 26))
                                 .arg(lastDay_.year() - random_.between(0, 2))
                                 .arg(i + 1, 4, 10, QLatin1Char('0')),
                             companyName(random_.between(0, size_.clients - 1))});
        }
        Insert link(batch_, QStringLiteral("N_SERTPREC"),
                    {"ISN", "ISSERTIF", "ISPRECE", "ISNODALA", "DER_NO", "DER_LIDZ"});
        for (int item = 1; item <= size_.goods - kTareItems; ++item) {
            if (!random_.chance(0.6))
                continue;
            for (int n = random_.between(1, 3); n > 0; --n) {
                const std::int32_t key = random_.between(2, size_.certificates + 1);
                const QDate from = lastDay_.addDays(-random_.between(30, 700));
                const db::Value to = random_.chance(0.1) ? db::Value() : db::Value(from.addDays(random_.between(90, 730)));
                const db::Value department = random_.chance(0.7) ? db::Value() : db::Value(random_.pick(shops_));
                link.row({++certificateLinks_, key, item, department, from, to});
                items_[static_cast<size_t>(item)].certificates.push_back(key);
            }
        }
    }

    // Distinct goods items for one document, the popular ones more often.
    std::vector<std::int32_t> documentGoods(int count)
    {
        std::vector<std::int32_t> chosen;
        while (static_cast<int>(chosen.size()) < count) {
            const std::int32_t item = byPopularity_[static_cast<size_t>(random_.skewedIndex(static_cast<int>(byPopularity_.size())))];
            if (std::find(chosen.begin(), chosen.end(), item) == chosen.end())
                chosen.push_back(item);
        }
        return chosen;
    }

    // Documents spread evenly over the history, keys rising with the date.
    QDate dateOf(int index, int count) const
    {
        return firstDay_.addDays(static_cast<qint64>(index) * size_.historyDays / count);
    }

    // Orders of the working range are mostly still to be collected; older
    // ones were collected, linked to another line, or left short.
    void orders()
    {
        Insert order(batch_, QStringLiteral("O_PASPAV"), {"ISN", "ISNODALA", "ISNODALAUZ", "DATUMS", "PIEGADPIRCEJS"});
        Insert line(batch_, QStringLiteral("O_PASPRC"),
                    {"ISN", "ISPASPAV", "ISPRECE", "DAUDZUMS", "APSTIPRIN_DAUDZ", "ATKR_DAUDZ", "CENA", "NODOKLIS",
                     "ISSERTIF", "ISPASPRC_SAIST"});
        PairedCounts lineCounts(random_, size_.orderLines / size_.orders);
        std::int32_t lineKey = 0;
        for (int o = 0; o < size_.orders; ++o) {
            const QDate date = dateOf(o, size_.orders);
            const bool working = date >= firstWorkingDay_;
            order.row({o + 1, random_.pick(shops_), random_.chance(0.85) ? 1 : 2, date, random_.chance(0.92) ? 1 : 0});
            for (std::int32_t item : documentGoods(lineCounts.next())) {
                const Item& goods = items_[static_cast<size_t>(item)];
                const double ordered = random_.between(1, 48);
                const double confirmed = random_.chance(0.1) ? std::max(1.0, ordered - random_.between(1, 5)) : ordered;
                double collected = confirmed;
                db::Value link;
                if (working ? random_.chance(0.85) : random_.chance(0.03)) {
                    collected = random_.chance(0.7) || confirmed < 2 ? 0 : random_.between(1, int(confirmed) - 1);
                } else if (!working && random_.chance(0.05)) {
                    collected = 0;
                    link = std::int32_t(std::max(1, lineKey - random_.between(1, 1000)));
                } else if (random_.chance(0.5)) {
                    link = 0;
                }
                line.row({++lineKey, o + 1, item, ordered, confirmed, collected, money(goods.price * 1.15), goods.vat,
                          db::Value(), link});
            }
        }
        orderLines_ = lineKey;
    }

    struct WaybillLine {
        std::int32_t item;
        double price, salePrice, quantity, vat;
        std::int32_t certificate;
    };
    // The lines of one waybill and the totals it stores.
    struct WaybillContent {
        std::vector<WaybillLine> lines;
        double sale = 0, saleVat = 0, purchase = 0, purchaseVat = 0;
    };

    WaybillContent waybillContent(int lineCount)
    {
        WaybillContent w;
        for (std::int32_t item : documentGoods(lineCount)) {
            const Item& goods = items_[static_cast<size_t>(item)];
            const WaybillLine l{item, money(goods.price * 0.75), goods.price, double(random_.between(1, 60)), goods.vat,
                                !goods.certificates.empty() && random_.chance(0.5) ? random_.pick(goods.certificates) : 0};
            w.sale += l.salePrice * l.quantity;
            w.saleVat += l.salePrice * l.quantity * l.vat / 100;
            w.purchase += l.price * l.quantity;
            w.purchaseVat += l.price * l.quantity * l.vat / 100;
            w.lines.push_back(l);
        }
        return w;
    }

    // Transfer waybills from the warehouses to the shops; all but a few of
    // the last two days are printed and blocked.
    void waybills()
    {
        Insert waybill(batch_, QStringLiteral("O_PARPAV"),
                       {"ISN", "DATUMS", "NR_PAVADZ", "PZ_SERIJA", "PZ_BLOK", "ISNODALANO", "ISNODALAUZ", "ISMASINA",
                        "BEZPVNSUMMA", "PVNSUMMA", "KOPSUMMA", "IEPBEZPVNSUMMA", "IEPPVNSUMMA", "REKVIZITIFROM",
                        "IEP_D", "IEP_K", "IEPPVN_D", "IEPPVN_K", "DAT_PIEGADE", "DARIJUMAVEIDS"});
        Insert line(batch_, QStringLiteral("O_PARPRC"),
                    {"ISN", "ISPARVPAV", "ISPRECE", "CENA", "PARD_CENA", "DAUDZUMS", "NODOKLIS", "ISSERTIF",
                     "PRECKOMENT"});
        PairedCounts lineCounts(random_, size_.waybillLines / size_.waybills);
        std::int32_t lineKey = 0;
        std::int64_t number = kFirstWaybillNumber;
        int otherSeries = 0;
        for (int w = 0; w < size_.waybills; ++w) {
            const std::int32_t key = w + 1;
            const WaybillContent content = waybillContent(lineCounts.next());
            const QDate date = dateOf(w, size_.waybills);
            const bool own = random_.chance(0.95);
            const bool open = date >= lastDay_.addDays(-1) && random_.chance(0.5);
            waybill.row({key, date,
                         own ? QString::number(number++) : QStringLiteral("%1").arg(++otherSeries, 6, 10, QLatin1Char('0')),
                         own ? "PL" : "PR", open ? db::Value() : db::Value("T"), random_.chance(0.8) ? 1 : 2,
                         random_.pick(shops_), open ? db::Value() : db::Value(random_.between(1, size_.cars)),
                         money(content.sale), money(content.saleVat), money(content.sale + content.saleVat),
                         money(content.purchase), money(content.purchaseVat), 2, "2131", "2130", "5721", "5722", date,
                         QStringLiteral("Preču pārvietošana")});
            for (const WaybillLine& l : content.lines) {
                line.row({++lineKey, key, l.item, l.price, l.salePrice, l.quantity, l.vat, l.certificate,
                          random_.chance(0.02) ? db::Value(QStringLiteral("Bojāts iepakojums")) : db::Value()});
            }
        }
        waybillLines_ = lineKey;
        nextWaybillNumber_ = number;
    }

    void settings()
    {
        Insert isi(batch_, QStringLiteral("N_ISI"),
                   {"ISN", "ISIRUSFONT", "ISIORGNOS", "ISIORGADR", "ISIORGTIRADR", "ISIREGNR", "ISINOD_NR",
                    "ISIBANKNOS", "ISIBANKKODS", "ISINORREKINS", "ISIPARVHEAD", "ISIPARVHEADFORM",
                    "ISIPARVTEXTSBEIGAS", "ISIIZRARTIKGARUMS", "ISIPARVGNOSGARUMS", "ISIPARVSERTIF", "ISIPARVSANNR",
                    "ISIPARVSOFERIS", "ISIPARVNRPK", "ISIPARVART", "ISIPARV2ARTIKULS", "ISIPARVGNOS", "ISIPARVINOS",
                    "ISIPARVMERV", "ISIPARVKASTES", "ISIPARVIEPCBZ", "ISIPARVIEPCAR", "ISIPARVIEPSBZ",
                    "ISIPARVIEPSAR", "ISIPARVREALCAR", "ISIPARVREALCBZ", "ISIPARVREALSAR", "ISIPARVREALSBZ",
                    "ISIPARVREALPVN", "ISIPARVLITRAZA", "ISIPARVUZCENPROC", "ISIPARVDERTERM", "ISIPARVPRECGRUP",
                    "ISIPZFOOT1", "ISIPZFOOT2", "FUSPARVIEP_D", "FUSPARVIEP_K", "FUSPARVIEPPVN_D",
                    "FUSPARVIEPPVN_K"});
        isi.row({1, "F", QStringLiteral("SIA \"Dzintarkrasts\""), address(52, QStringLiteral("Rīga")),
                 address(52, QStringLiteral("Rīga")), "40103254871", "LV40103254871", "AS Swedbank", "HABALV22",
                 "LV37HABA0551034128765", QStringLiteral("Preču pārvietošanas pavadzīme"), 0,
                 QStringLiteral("Preces pieņemtas bez iebildumiem par daudzumu un kvalitāti."), 0, 0, "T", "F", "T",
                 "T", "T", "F", "T", "F", "T", "T", "F", "F", "F", "F", "F", "T", "T", "T", "T", "F", "F", "F", "F",
                 QStringLiteral("SIA \"Dzintarkrasts\", tālr. 67 123 456"), "birojs@dzintarkrasts.lv", "2131", "2130",
                 "5721", "5722"});
        Insert isi2(batch_, QStringLiteral("N_ISI2"),
                    {"ISN", "ISIPARVPARDVARDI", "PARVIEPVARDI", "PARVPARDARPVNZIMES", "PARVKOMENTPIENOS",
                     "PARVIEKS_NR", "ISIPARV6ARTIKULS", "ISIPARVTEMPERATURA", "ISIPARVPVNLIKME"});
        isi2.row({1, "T", "F", 2, "T", "T", "F", "F", "F"});
    }

    // Each generator at the newest key, as the triggers would have left it.
    void restartGenerators()
    {
        const std::vector<std::pair<const char*, std::int64_t>> lastKeys = {
            {"N_DEPARTGEN", departments_}, {"N_KLIENTGEN", size_.clients},
            {"N_PRGRUPGEN", std::int64_t(kGoodsGroups.size())}, {"N_KLPRECGEN", size_.goods},
            {"N_MASINAGEN", size_.cars}, {"N_SERTIFGEN", size_.certificates + 1},
            {"N_SERTPRECGEN", certificateLinks_}, {"O_PASPAVGEN", size_.orders}, {"O_PASPRCGEN", orderLines_},
            {"O_PARPAVGEN", size_.waybills}, {"O_PARPRCGEN", waybillLines_}, {"N_ISIGEN", 1}, {"N_ISI2GEN", 1},
        };
        QString script;
        for (const auto& [generator, key] : lastKeys)
            script += QStringLiteral("ALTER SEQUENCE %1 RESTART WITH %2;\n").arg(QLatin1String(generator)).arg(key);
        batch_.connection().runScript(script);
    }

    // The indexes were made on empty tables; without their selectivity the
    // optimizer joins the pending lines from the wrong end, as it would not
    // on a database restored from a backup.
    void refreshIndexStatistics()
    {
        db::Connection& c = batch_.connection();
        db::Query indexes(c, QStringLiteral("SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE RDB$SYSTEM_FLAG = 0"));
        QString script;
        for (indexes.open(); !indexes.eof(); indexes.next())
            script += QStringLiteral("SET STATISTICS INDEX %1;\n").arg(indexes.field(0).asString());
        indexes.close();
        c.runScript(script);
    }

    Batch batch_;
    Random random_{kSeed};
    WarehouseSize size_;
    QDate lastDay_, firstDay_, firstWorkingDay_;
    std::vector<std::int32_t> shops_;
    std::vector<Item> items_;  // by key; [0] unused
    std::vector<std::int32_t> byPopularity_;
    std::int32_t departments_ = 0;
    std::int32_t certificateLinks_ = 0;
    std::int32_t orderLines_ = 0;
    std::int32_t waybillLines_ = 0;
    std::int64_t nextWaybillNumber_ = 0;
};

}  // namespace

WarehouseFacts generateWarehouse(const QString& database, const QString& schema, const QDate& lastDay,
                                 const WarehouseSize& size)
{
    db::ConnectionOptions options;
    options.database = database;
    db::Connection::createDatabase(options, {schema});
    options.mode = db::TransactionMode::Explicit;
    db::Connection connection(options);
    WarehouseFacts facts = Generator(connection, lastDay, size).run();
    connection.detach();
    return facts;
}

}  // namespace bench
