#include "companycodes.h"
#include "database.h"
#include "documentschema.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

class TestCompanyCodes : public QObject {
    Q_OBJECT
private slots:
    void loadsInCodiceOrder();
    void keepsOrClearsUnfilledSlots_data();
    void keepsOrClearsUnfilledSlots();
    void unreadableDatabaseKeepsSlots();

private:
    QString makeDatabase(const QTemporaryDir& dir, const QList<QVariant>& codes);
};

QString TestCompanyCodes::makeDatabase(const QTemporaryDir& dir, const QList<QVariant>& codes) {
    const QString path = dir.filePath(QStringLiteral("Documenti.mdb"));
    if (DocumentSchema::create(path))
        return {};
    Database db;
    if (db.open(Database::connectionText(path)))
        return {};
    for (const QVariant& code : codes) {
        if (db.execute(
                QStringLiteral("Insert into Ditta (Codice) Values (%1)").arg(code.toString())))
            return {};
    }
    db.close();
    return Database::connectionText(path);
}

void TestCompanyCodes::loadsInCodiceOrder() {
    QTemporaryDir dir;
    QList<QVariant> rows;
    // 25 companies written in a scrambled order: every code is taken, in order.
    for (int i = 25; i >= 1; --i)
        rows.append((i * 7) % 25 + 100);
    rows.replace(3, QVariant(2.6)); // a real value is rounded
    const QString connection = makeDatabase(dir, rows);
    QVERIFY(!connection.isEmpty());

    QList<int> expected;
    for (const QVariant& v : rows)
        expected.append(int(std::lround(v.toDouble())));
    std::sort(expected.begin(), expected.end());

    CompanyCodes codes;
    QVERIFY(codes.load(connection, true).ok());
    QVERIFY(codes.isKnown());
    QCOMPARE(codes.size(), 25);
    for (int slot = 0; slot < codes.size(); ++slot)
        QCOMPARE(codes.at(slot), expected.at(slot));
    QVERIFY(codes.matches(3));
    QVERIFY(codes.matches(expected.at(21))); // the 22nd company is a company like the others
    QVERIFY(codes.matches(expected.at(24)));
    QVERIFY(!codes.matches(0)); // no slot is left unfilled
    QVERIFY(!codes.matches(2.5));

    // Fewer companies later: the list shrinks back, its unfilled slots hold 0 again.
    QTemporaryDir fewer;
    QVERIFY(codes.load(makeDatabase(fewer, {4}), true).ok());
    QCOMPARE(codes.size(), CompanyCodes::MinimumSlots);
    QVERIFY(codes.matches(0));
    QVERIFY(!codes.matches(expected.at(24)));
}

void TestCompanyCodes::keepsOrClearsUnfilledSlots_data() {
    QTest::addColumn<bool>("clearFirst");
    QTest::newRow("start-up clears") << true;
    QTest::newRow("after a save keeps") << false;
}

void TestCompanyCodes::keepsOrClearsUnfilledSlots() {
    QFETCH(bool, clearFirst);
    QTemporaryDir dir;
    const QString connection = makeDatabase(dir, {5, 1});
    QVERIFY(!connection.isEmpty());
    CompanyCodes codes;
    for (int slot = 0; slot < CompanyCodes::MinimumSlots; ++slot)
        codes.set(slot, 900 + slot);
    QVERIFY(codes.load(connection, clearFirst).ok());
    QCOMPARE(codes.at(0), 1);
    QCOMPARE(codes.at(1), 5);
    QCOMPARE(codes.at(2), clearFirst ? 0 : 902);
    QCOMPARE(codes.at(20), clearFirst ? 0 : 920);
    QCOMPARE(codes.matches(0), clearFirst);
}

void TestCompanyCodes::unreadableDatabaseKeepsSlots() {
    QTemporaryDir dir;
    const QString none = Database::connectionText(dir.filePath(QStringLiteral("none.mdb")));
    CompanyCodes unread;
    QVERIFY(!unread.load(none, true).ok());
    QVERIFY(!unread.isKnown()); // all zeros, but not known to be the companies

    CompanyCodes codes;
    codes.set(0, 7);
    const Failure missing = codes.load(none, true);
    QVERIFY(!missing.ok());
    QCOMPARE(codes.at(0), 7);

    // A database without the table Ditta.
    const QString path = dir.filePath(QStringLiteral("empty.mdb"));
    {
        Database db;
        QVERIFY(DocumentSchema::create(path).ok());
        QVERIFY(db.open(Database::connectionText(path)).ok());
        QVERIFY(db.execute(QStringLiteral("Drop table Ditta")).ok());
        db.close();
    }
    QVERIFY(!codes.load(Database::connectionText(path), true).ok());
    QCOMPARE(codes.at(0), 7);
}

QTEST_GUILESS_MAIN(TestCompanyCodes)
#include "tst_companycodes.moc"
