/*
  Kelvo goods database: the tables, generators, triggers and the stored
  procedures the order-control server uses.

  Run through the server's own loader, or isql-fb with SET NAMES UTF8, on a
  freshly created, empty database whose default character set is WIN1257
  (the client layer creates it so), for example
      isql-fb -ch UTF8 -i db/schema.sql DATABASE
  Dialect 3. There is no CREATE DATABASE here: making the file is up to
  the caller.

  Conventions: every table has the integer key ISN, filled from its own
  generator (table name + GEN) by a before-insert trigger when an insert
  leaves it null. References are integer IS... columns. There are
  deliberately no foreign keys: waybills are created with department 0
  while the operator has chosen no sending department, and the reports are
  written to drop lines whose goods item, group or department is missing,
  so dangling references are legal data here. Switches are CHAR(1), on at
  T exactly.
*/


/* ===================================================================== */
/* Reference tables                                                      */
/* ===================================================================== */

-- Departments (shops, warehouses). GRUPA lists the groups of the
-- department, each name between bars: '|Rīga|Vidzeme|'. KARTIBA is the
-- sort position.
CREATE TABLE N_DEPART (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(60) NOT NULL,
  KARTIBA      INTEGER,
  GRUPA        VARCHAR(250),
  ADRESE       VARCHAR(60),     -- legal address
  TIRDZNADR    VARCHAR(60),     -- trading (warehouse) address
  REGNR        VARCHAR(30),
  NODOKLA_NR   VARCHAR(30),     -- VAT payer code
  BANKNOS      VARCHAR(60),
  BANKKODS     VARCHAR(30),
  BANKKONTS    VARCHAR(30),
  BANKNOS2     VARCHAR(60),     -- second bank
  BANKKODS2    VARCHAR(30),
  BANKKONTS2   VARCHAR(30),
  LICENCE      VARCHAR(70),
  CONSTRAINT PK_N_DEPART PRIMARY KEY (ISN)
);

-- Clients: suppliers of the goods items.
CREATE TABLE N_KLIENT (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(60) NOT NULL,
  CONSTRAINT PK_N_KLIENT PRIMARY KEY (ISN)
);

-- Goods groups.
CREATE TABLE N_PRGRUP (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(60),
  GNOS2        VARCHAR(60),     -- second name
  KODS         VARCHAR(10),
  CONSTRAINT PK_N_PRGRUP PRIMARY KEY (ISN)
);

-- Goods items. ALKOHOLS > 0 marks alcohol goods (percent by volume; null
-- counts as 0), LITRAZA is litres or weight per unit, TARA 'T' marks tare.
CREATE TABLE N_KLPREC (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(250) NOT NULL,
  INOS         VARCHAR(30),     -- short name
  ARTIKULS     VARCHAR(16),
  ARTIKULS2    VARCHAR(13),
  ARTIKULS6    VARCHAR(13),
  ISPRKLIENT   INTEGER,         -- supplier, N_KLIENT
  ISPRGRUPA    INTEGER,         -- goods group, N_PRGRUP
  MERVIENIBA   VARCHAR(15),     -- unit of measure
  NODOKLIS     DOUBLE PRECISION,  -- VAT rate, percent
  PARDCENA1    DOUBLE PRECISION,  -- selling price 1, without VAT
  PARDCENA9    DOUBLE PRECISION,  -- selling price 9, without VAT
  SKKASTE      DOUBLE PRECISION,  -- pieces per package
  ALKOHOLS     DOUBLE PRECISION,
  LITRAZA      DOUBLE PRECISION,
  TARA         CHAR(1),
  DERDIENAS    DOUBLE PRECISION,  -- shelf life in days; -1: see the package
  GLABTEMP     VARCHAR(50),     -- storage temperature
  CONSTRAINT PK_N_KLPREC PRIMARY KEY (ISN)
);

-- Cars, with their registration, state number and driver.
CREATE TABLE N_MASINA (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(60),
  REGNR        VARCHAR(30),
  VALSTS_NR    VARCHAR(15),
  VADITAJS     VARCHAR(60),
  CONSTRAINT PK_N_MASINA PRIMARY KEY (ISN)
);

-- Certificates (quality, conformity). GNOS is the name or number of the
-- certificate as printed, GNOS2 its second text (issuer, scope). Waybill
-- lines take keys 0 and 1 to mean no certificate, so the generator starts
-- the real ones at 2 (see below).
CREATE TABLE N_SERTIF (
  ISN          INTEGER NOT NULL,
  GNOS         VARCHAR(100),
  GNOS2        VARCHAR(250),
  CONSTRAINT PK_N_SERTIF PRIMARY KEY (ISN)
);

-- Where and when a certificate is valid: one row per certificate, goods
-- item and department (ISNODALA null: every department), from DER_NO to
-- DER_LIDZ inclusive (a null end is open). PRECVALIDSERTLIST reads it.
CREATE TABLE N_SERTPREC (
  ISN          INTEGER NOT NULL,
  ISSERTIF     INTEGER NOT NULL,
  ISPRECE      INTEGER NOT NULL,
  ISNODALA     INTEGER,
  DER_NO       DATE,
  DER_LIDZ     DATE,
  CONSTRAINT PK_N_SERTPREC PRIMARY KEY (ISN)
);
CREATE INDEX N_SERTPREC_PRECE ON N_SERTPREC (ISPRECE, ISNODALA);


/* ===================================================================== */
/* Documents                                                             */
/* ===================================================================== */

-- Orders. PIEGADPIRCEJS 1 marks a delivery to a customer: only the lines of
-- those orders are offered to the handhelds for collecting.
CREATE TABLE O_PASPAV (
  ISN           INTEGER NOT NULL,
  ISNODALA      INTEGER,        -- ordering department, the goods go there
  ISNODALAUZ    INTEGER,        -- department the order is placed with
  DATUMS        DATE,
  PIEGADPIRCEJS INTEGER,
  CONSTRAINT PK_O_PASPAV PRIMARY KEY (ISN)
);
CREATE INDEX O_PASPAV_DATUMS ON O_PASPAV (DATUMS);

-- Order lines. A line is pending while ATKR_DAUDZ (collected) is below
-- APSTIPRIN_DAUDZ (confirmed) and ISPASPRC_SAIST (link to another order
-- line, set by the handhelds) is null or 0.
CREATE TABLE O_PASPRC (
  ISN             INTEGER NOT NULL,
  ISPASPAV        INTEGER,      -- order, O_PASPAV
  ISPRECE         INTEGER NOT NULL,
  DAUDZUMS        DOUBLE PRECISION,  -- ordered
  APSTIPRIN_DAUDZ DOUBLE PRECISION,  -- confirmed
  ATKR_DAUDZ      DOUBLE PRECISION DEFAULT 0,  -- collected
  CENA            DOUBLE PRECISION,
  NODOKLIS        NUMERIC(9,2),      -- VAT rate, percent
  ISSERTIF        INTEGER,
  ISPASPRC_SAIST  INTEGER,
  CONSTRAINT PK_O_PASPRC PRIMARY KEY (ISN)
);
CREATE INDEX O_PASPRC_PRECE ON O_PASPRC (ISPRECE);
CREATE INDEX O_PASPRC_PASPAV ON O_PASPRC (ISPASPAV);

-- Transfer waybills between departments. Own waybills have PZ_SERIJA
-- 'PL'; PZ_BLOK 'T' blocks a printed one, anything else leaves it open.
-- The totals are stored figures of the waybill, printed as they stand;
-- the trigger O_PARPRC_KOPSUMMAS (below) keeps them equal to the lines.
-- REKVIZITIFROM says where the printed sender and receiver details come
-- from (0/1 organisation, 3 organisation and department, else department).
CREATE TABLE O_PARPAV (
  ISN            INTEGER NOT NULL,
  DATUMS         DATE,
  NR_PAVADZ      VARCHAR(15),
  PZ_SERIJA      VARCHAR(30),
  PZ_BLOK        CHAR(1),
  ISNODALANO     INTEGER,       -- sending department
  ISNODALAUZ     INTEGER,       -- receiving department
  ISMASINA       INTEGER,       -- car, N_MASINA
  BEZPVNSUMMA    DOUBLE PRECISION,  -- sale total without VAT
  PVNSUMMA       DOUBLE PRECISION,  -- sale VAT total
  KOPSUMMA       DOUBLE PRECISION,  -- sale total with VAT
  IEPBEZPVNSUMMA DOUBLE PRECISION,  -- purchase total without VAT
  IEPPVNSUMMA    DOUBLE PRECISION,  -- purchase VAT total
  REKVIZITIFROM  INTEGER,
  KOMENTARS      VARCHAR(100),
  IEP_D          VARCHAR(10),   -- debit and credit accounts, without VAT
  IEP_K          VARCHAR(10),
  IEPPVN_D       VARCHAR(10),   -- debit and credit accounts, VAT
  IEPPVN_K       VARCHAR(10),
  DAT_PIEGADE    DATE,          -- delivery date
  DARIJUMAVEIDS  VARCHAR(100),  -- kind of transaction
  CONSTRAINT PK_O_PARPAV PRIMARY KEY (ISN)
);
CREATE INDEX O_PARPAV_DATUMS ON O_PARPAV (DATUMS);

-- Transfer waybill lines.
CREATE TABLE O_PARPRC (
  ISN          INTEGER NOT NULL,
  ISPARVPAV    INTEGER,         -- waybill, O_PARPAV
  ISPRECE      INTEGER,
  CENA         DOUBLE PRECISION,  -- purchase price without VAT
  PARD_CENA    DOUBLE PRECISION,  -- sale price without VAT
  DAUDZUMS     DOUBLE PRECISION,
  NODOKLIS     NUMERIC(9,2),      -- VAT rate, percent
  ISSERTIF     INTEGER,           -- certificate; 0, 1 or null: none
  PRECKOMENT   VARCHAR(250),
  CONSTRAINT PK_O_PARPRC PRIMARY KEY (ISN)
);
CREATE INDEX O_PARPRC_PARPAV ON O_PARPRC (ISPARVPAV);

-- Sales waybills, the documents goods arrived in ("Saņ. P/Z" on the
-- transfer waybill). NELEGALIZ null or 'F': a valid waybill.
CREATE TABLE O_PAVADZ (
  ISN          INTEGER NOT NULL,
  NR_PAVADZ    VARCHAR(15),
  PZ_SERIJA    VARCHAR(30),
  DAT_PAVADZ   DATE,
  ISNODALA     INTEGER,
  NELEGALIZ    CHAR(1),
  CONSTRAINT PK_O_PAVADZ PRIMARY KEY (ISN)
);
CREATE INDEX O_PAVADZ_NODALA ON O_PAVADZ (ISNODALA);

-- Sales waybill lines.
CREATE TABLE O_PRECE (
  ISN          INTEGER NOT NULL,
  ISPAVADZ     INTEGER,         -- sales waybill, O_PAVADZ
  ISPRECE      INTEGER,
  CONSTRAINT PK_O_PRECE PRIMARY KEY (ISN)
);
CREATE INDEX O_PRECE_PRECE ON O_PRECE (ISPRECE);
CREATE INDEX O_PRECE_PAVADZ ON O_PRECE (ISPAVADZ);


/* ===================================================================== */
/* Installation settings                                                 */
/* ===================================================================== */

-- Installation settings, one row. Details of the organisation, the
-- title of the general waybill, header form, widths and column switches,
-- footers and default accounts.
CREATE TABLE N_ISI (
  ISN                INTEGER NOT NULL,
  ISIRUSFONT         CHAR(1),        -- 'T': Cyrillic report font
  ISIORGNOS          VARCHAR(100),   -- organisation name
  ISIORGADR          VARCHAR(100),   -- legal address
  ISIORGTIRADR       VARCHAR(100),   -- trading address
  ISIREGNR           VARCHAR(30),
  ISINOD_NR          VARCHAR(30),    -- VAT payer code
  ISIBANKNOS         VARCHAR(60),
  ISIBANKKODS        VARCHAR(30),
  ISINORREKINS       VARCHAR(30),    -- bank account
  ISIPARVHEAD        VARCHAR(60),    -- waybill title
  ISIPARVHEADFORM    INTEGER,        -- 1: one-block header form
  ISIPARVTEXTSBEIGAS VARCHAR(500),   -- free text at the end
  ISIIZRARTIKGARUMS  INTEGER,        -- article column width, characters
  ISIPARVGNOSGARUMS  INTEGER,        -- name column width, characters
  ISIPARVSERTIF      CHAR(1),        -- certificate in the name column
  ISIPARVSANNR       CHAR(1),        -- received waybill in the name column
  ISIPARVSOFERIS     CHAR(1),        -- car and driver line
  -- column switches of the general waybill, in column order
  ISIPARVNRPK        CHAR(1),
  ISIPARVART         CHAR(1),
  ISIPARV2ARTIKULS   CHAR(1),
  ISIPARVGNOS        CHAR(1),
  ISIPARVINOS        CHAR(1),
  ISIPARVMERV        CHAR(1),
  ISIPARVKASTES      CHAR(1),
  ISIPARVIEPCBZ      CHAR(1),
  ISIPARVIEPCAR      CHAR(1),
  ISIPARVIEPSBZ      CHAR(1),
  ISIPARVIEPSAR      CHAR(1),
  ISIPARVREALCAR     CHAR(1),
  ISIPARVREALCBZ     CHAR(1),
  ISIPARVREALSAR     CHAR(1),
  ISIPARVREALSBZ     CHAR(1),
  ISIPARVREALPVN     CHAR(1),
  ISIPARVLITRAZA     CHAR(1),
  ISIPARVUZCENPROC   CHAR(1),
  ISIPARVDERTERM     CHAR(1),
  ISIPARVPRECGRUP    CHAR(1),
  -- footer lines and default accounts
  ISIPZFOOT1         VARCHAR(250),
  ISIPZFOOT2         VARCHAR(250),
  FUSPARVIEP_D       VARCHAR(10),
  FUSPARVIEP_K       VARCHAR(10),
  FUSPARVIEPPVN_D    VARCHAR(10),
  FUSPARVIEPPVN_K    VARCHAR(10),
  CONSTRAINT PK_N_ISI PRIMARY KEY (ISN)
);

-- Further installation settings, one row: amounts in words, sale price
-- decimals, line comments, internal number, and the column switches that
-- N_ISI does not carry (the report looks for those here).
CREATE TABLE N_ISI2 (
  ISN                INTEGER NOT NULL,
  ISIPARVPARDVARDI   CHAR(1),        -- sale amount in words
  PARVIEPVARDI       CHAR(1),        -- purchase amount in words
  PARVPARDARPVNZIMES INTEGER,        -- decimals of the sale price with VAT
  PARVKOMENTPIENOS   CHAR(1),        -- line comments in the name column
  PARVIEKS_NR        CHAR(1),        -- internal number in the page header
  ISIPARV6ARTIKULS   CHAR(1),
  ISIPARVTEMPERATURA CHAR(1),
  ISIPARVPVNLIKME    CHAR(1),
  CONSTRAINT PK_N_ISI2 PRIMARY KEY (ISN)
);


/* ===================================================================== */
/* The server's own                                                      */
/* ===================================================================== */

-- Requests a handheld may send again. An execute that carries a key of the
-- client's choosing keeps its answer here, in the transaction of its
-- statement, so that the same request sent again (after a lost connection,
-- on another connection, after a restart of the server) gets that answer
-- instead of being carried out a second time. PARAMS_HASH is the SHA-256,
-- in hex, of the parameters the request ran with; the same key with
-- another provider or other parameters is refused. ANSWER is the JSON
-- result. The server removes rows older than 7 days, about once an hour;
-- CREATED has no index, which every request would have to write, while the
-- removal reads the table through. An installation's existing database
-- gets this table from db/request-keys.sql.
CREATE TABLE KELVO_REQUESTS (
  REQUEST_KEY  VARCHAR(64) NOT NULL,
  PROVIDER     VARCHAR(63) NOT NULL,
  PARAMS_HASH  CHAR(64) NOT NULL,
  ANSWER       VARCHAR(1000),
  CREATED      TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  CONSTRAINT PK_KELVO_REQUESTS PRIMARY KEY (REQUEST_KEY)
);


/* ===================================================================== */
/* Generators and key triggers                                           */
/* ===================================================================== */

CREATE SEQUENCE N_DEPARTGEN;
CREATE SEQUENCE N_KLIENTGEN;
CREATE SEQUENCE N_PRGRUPGEN;
CREATE SEQUENCE N_KLPRECGEN;
CREATE SEQUENCE N_MASINAGEN;
-- keys 0 and 1 mean no certificate on waybill lines: the first key issued is 2
CREATE SEQUENCE N_SERTIFGEN START WITH 1;
CREATE SEQUENCE N_SERTPRECGEN;
CREATE SEQUENCE O_PASPAVGEN;
CREATE SEQUENCE O_PASPRCGEN;
CREATE SEQUENCE O_PARPAVGEN;
-- read unadvanced by the handhelds as the key of the newest waybill line
CREATE SEQUENCE O_PARPRCGEN;
CREATE SEQUENCE O_PAVADZGEN;
CREATE SEQUENCE O_PRECEGEN;
CREATE SEQUENCE N_ISIGEN;
CREATE SEQUENCE N_ISI2GEN;

SET TERM ^ ;

CREATE TRIGGER N_DEPART_BI FOR N_DEPART ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_DEPARTGEN, 1);
END^

CREATE TRIGGER N_KLIENT_BI FOR N_KLIENT ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_KLIENTGEN, 1);
END^

CREATE TRIGGER N_PRGRUP_BI FOR N_PRGRUP ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_PRGRUPGEN, 1);
END^

CREATE TRIGGER N_KLPREC_BI FOR N_KLPREC ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_KLPRECGEN, 1);
END^

CREATE TRIGGER N_MASINA_BI FOR N_MASINA ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_MASINAGEN, 1);
END^

CREATE TRIGGER N_SERTIF_BI FOR N_SERTIF ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_SERTIFGEN, 1);
END^

CREATE TRIGGER N_SERTPREC_BI FOR N_SERTPREC ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_SERTPRECGEN, 1);
END^

CREATE TRIGGER O_PASPAV_BI FOR O_PASPAV ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PASPAVGEN, 1);
END^

CREATE TRIGGER O_PASPRC_BI FOR O_PASPRC ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PASPRCGEN, 1);
END^

CREATE TRIGGER O_PARPAV_BI FOR O_PARPAV ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PARPAVGEN, 1);
END^

CREATE TRIGGER O_PARPRC_BI FOR O_PARPRC ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PARPRCGEN, 1);
END^

CREATE TRIGGER O_PAVADZ_BI FOR O_PAVADZ ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PAVADZGEN, 1);
END^

CREATE TRIGGER O_PRECE_BI FOR O_PRECE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(O_PRECEGEN, 1);
END^

CREATE TRIGGER N_ISI_BI FOR N_ISI ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_ISIGEN, 1);
END^

CREATE TRIGGER N_ISI2_BI FOR N_ISI2 ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ISN IS NULL) THEN NEW.ISN = GEN_ID(N_ISI2GEN, 1);
END^


/* ===================================================================== */
/* Waybill totals kept equal to the lines                                */
/* ===================================================================== */

/*
  The reports print a transfer waybill's stored totals (O_PARPAV), so they
  follow its lines (O_PARPRC): after a line is inserted or deleted, or its
  waybill, prices, quantity or rate change, the totals of the waybill (of
  both, when a line moves to another) are worked out afresh from all its
  lines. Sale values from PARD_CENA, purchase values from CENA, VAT at each
  line's own rate; each line's amounts are rounded to cents before they are
  added up; a waybill whose last line goes has totals of 0.
*/
CREATE PROCEDURE O_PARPAV_KOPSUMMAS (ISPARVPAV INTEGER)
AS
  DECLARE BEZPVN DOUBLE PRECISION;
  DECLARE PVN DOUBLE PRECISION;
  DECLARE IEPBEZPVN DOUBLE PRECISION;
  DECLARE IEPPVN DOUBLE PRECISION;
BEGIN
  SELECT COALESCE(SUM(ROUND(PARD_CENA * DAUDZUMS, 2)), 0),
         COALESCE(SUM(ROUND(PARD_CENA * DAUDZUMS * NODOKLIS / 100, 2)), 0),
         COALESCE(SUM(ROUND(CENA * DAUDZUMS, 2)), 0),
         COALESCE(SUM(ROUND(CENA * DAUDZUMS * NODOKLIS / 100, 2)), 0)
    FROM O_PARPRC
   WHERE ISPARVPAV = :ISPARVPAV
    INTO :BEZPVN, :PVN, :IEPBEZPVN, :IEPPVN;
  UPDATE O_PARPAV
     SET BEZPVNSUMMA = :BEZPVN, PVNSUMMA = :PVN, KOPSUMMA = :BEZPVN + :PVN,
         IEPBEZPVNSUMMA = :IEPBEZPVN, IEPPVNSUMMA = :IEPPVN
   WHERE ISN = :ISPARVPAV;
END^

-- A change of a line's certificate or comment leaves the totals alone, so
-- that it does not touch the waybill's row.
CREATE TRIGGER O_PARPRC_KOPSUMMAS FOR O_PARPRC ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 0 AS
BEGIN
  IF (DELETING OR (UPDATING AND OLD.ISPARVPAV IS DISTINCT FROM NEW.ISPARVPAV)) THEN
    EXECUTE PROCEDURE O_PARPAV_KOPSUMMAS OLD.ISPARVPAV;
  IF (INSERTING OR (UPDATING AND (OLD.ISPARVPAV IS DISTINCT FROM NEW.ISPARVPAV
                                  OR OLD.CENA IS DISTINCT FROM NEW.CENA
                                  OR OLD.PARD_CENA IS DISTINCT FROM NEW.PARD_CENA
                                  OR OLD.DAUDZUMS IS DISTINCT FROM NEW.DAUDZUMS
                                  OR OLD.NODOKLIS IS DISTINCT FROM NEW.NODOKLIS))) THEN
    EXECUTE PROCEDURE O_PARPAV_KOPSUMMAS NEW.ISPARVPAV;
END^


/* ===================================================================== */
/* Certificates valid for a goods item in a department                  */
/* ===================================================================== */

/*
  Yields the certificates (key and name) linked in N_SERTPREC to the goods
  item ISPRECE for the department ISDEPART, by name.
  IEKL_NEDERIGOS   0: only links valid on CURRENT_DATE (DER_NO..DER_LIDZ,
                      a null end open); 1: also links outside their dates.
  IEKL_VISPARIGOS  1: also links made for every department (ISNODALA
                      null); 0: only links made for ISDEPART itself.
  The handhelds call it with 0, 1: what is valid today in that department.
*/
CREATE PROCEDURE PRECVALIDSERTLIST (
  ISPRECE         INTEGER,
  ISDEPART        INTEGER,
  IEKL_NEDERIGOS  INTEGER,
  IEKL_VISPARIGOS INTEGER)
RETURNS (
  ISSERTIF        INTEGER,
  SERTIF          VARCHAR(100))
AS
BEGIN
  FOR SELECT S.ISN, S.GNOS
        FROM N_SERTIF S
       WHERE EXISTS (
               SELECT 1 FROM N_SERTPREC L
                WHERE L.ISSERTIF = S.ISN
                  AND L.ISPRECE = :ISPRECE
                  AND (L.ISNODALA = :ISDEPART
                       OR (:IEKL_VISPARIGOS = 1 AND L.ISNODALA IS NULL))
                  AND (:IEKL_NEDERIGOS = 1
                       OR (COALESCE(L.DER_NO, CURRENT_DATE) <= CURRENT_DATE
                           AND COALESCE(L.DER_LIDZ, CURRENT_DATE) >= CURRENT_DATE)))
       ORDER BY S.GNOS, S.ISN
        INTO :ISSERTIF, :SERTIF
  DO
    SUSPEND;
END^

SET TERM ; ^

COMMIT;
