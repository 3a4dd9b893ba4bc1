-- The demonstration database: table definitions. qelmkdb runs this file first, then fills the
-- tables from the files in seed/, riched/ and help/ and from its own generators.
--
-- Declared types follow the engine's mapping: VARCHAR(n) text, INTEGER, FLOAT, MONEY, BOOLEAN
-- (stored as 0/1), DATETIME (stored as ISO-8601 text "yyyy-mm-dd hh:nn:ss"), MEMO (plain text),
-- FMTMEMO (rich text), GRAPHIC (a complete BMP file).
-- Text keys that users search by name use case-insensitive indexes.

CREATE TABLE customer (
    CustNo          INTEGER NOT NULL PRIMARY KEY,
    Company         VARCHAR(30),
    Addr1           VARCHAR(30),
    Addr2           VARCHAR(30),
    City            VARCHAR(20),
    State           VARCHAR(20),
    Zip             VARCHAR(10),
    Country         VARCHAR(20),
    Phone           VARCHAR(15),
    FAX             VARCHAR(15),
    TaxRate         FLOAT,
    Contact         VARCHAR(20),
    LastInvoiceDate DATETIME
);
CREATE INDEX ByCompany ON customer (Company COLLATE NOCASE);

CREATE TABLE vendors (
    VendorNo   INTEGER NOT NULL PRIMARY KEY,
    VendorName VARCHAR(30),
    Address1   VARCHAR(30),
    Address2   VARCHAR(30),
    City       VARCHAR(20),
    State      VARCHAR(20),
    Zip        VARCHAR(10),
    Country    VARCHAR(15),
    Phone      VARCHAR(15),
    FAX        VARCHAR(15),
    Preferred  BOOLEAN
);
CREATE INDEX ByVendorName ON vendors (VendorName COLLATE NOCASE);

CREATE TABLE parts (
    PartNo      INTEGER NOT NULL PRIMARY KEY,
    VendorNo    INTEGER,
    Description VARCHAR(30),
    OnHand      FLOAT,
    OnOrder     FLOAT,
    Cost        MONEY,
    ListPrice   MONEY
);
CREATE INDEX ByDescription ON parts (Description COLLATE NOCASE);
CREATE INDEX PartsVendorNo ON parts (VendorNo);

CREATE TABLE orders (
    OrderNo       INTEGER NOT NULL PRIMARY KEY,
    CustNo        INTEGER NOT NULL,
    SaleDate      DATETIME,
    ShipDate      DATETIME,
    ShipToContact VARCHAR(20),
    ShipToAddr1   VARCHAR(30),
    ShipToAddr2   VARCHAR(30),
    ShipToCity    VARCHAR(20),
    ShipToState   VARCHAR(20),
    ShipToZip     VARCHAR(10),
    ShipToCountry VARCHAR(20),
    ShipToPhone   VARCHAR(15),
    ShipVIA       VARCHAR(7),
    PO            VARCHAR(15),
    Terms         VARCHAR(6),
    PaymentMethod VARCHAR(7),
    ItemsTotal    MONEY,
    TaxRate       FLOAT,
    Freight       MONEY,
    AmountPaid    MONEY
);
CREATE INDEX OrdersCustNo ON orders (CustNo);

CREATE TABLE items (
    OrderNo  INTEGER NOT NULL,
    ItemNo   INTEGER NOT NULL,
    PartNo   INTEGER,
    Qty      INTEGER,
    Discount FLOAT,
    PRIMARY KEY (OrderNo, ItemNo)
);
CREATE INDEX ItemsPartNo ON items (PartNo);

CREATE TABLE BIOLIFE (
    "Species No"   INTEGER NOT NULL PRIMARY KEY,
    Category       VARCHAR(15),
    Common_Name    VARCHAR(30),
    "Species Name" VARCHAR(40),
    "Length (cm)"  FLOAT,
    Length_In      FLOAT,
    Notes          MEMO,
    Graphic        GRAPHIC
);
CREATE INDEX ByCommonName ON BIOLIFE (Common_Name COLLATE NOCASE);

-- Rich text documents for the data-aware rich edit.
CREATE TABLE riched (
    RICHTEXT FMTMEMO
);

-- Hints of controls, keyed by form class and control name (in that order).
CREATE TABLE Hint (
    FORMCLASS   VARCHAR(40) NOT NULL,
    CONTROLNAME VARCHAR(40) NOT NULL,
    SHORTHINT   VARCHAR(100),
    LONGHINT    VARCHAR(255),
    PRIMARY KEY (FORMCLASS, CONTROLNAME)
);

-- Help texts (rich text) keyed by form class.
CREATE TABLE Help (
    FORMCLASS VARCHAR(40) NOT NULL PRIMARY KEY,
    HELPTEXT  FMTMEMO
);
