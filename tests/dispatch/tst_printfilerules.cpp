#include "printfilerules.h"
#include "textcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace PrintFileRules;

class TestPrintFileRules : public QObject {
    Q_OBJECT
private slots:
    void workstationName_data();
    void workstationName();
    void endingValue_data();
    void endingValue();
    void nameEndings();
    void readLine_data();
    void readLine();
    void readMissingAndFolder();
};

void TestPrintFileRules::workstationName_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::newRow("name then text") << "PC:UFFICIO1 rest of line"
                                    << "UFFICIO1";
    QTest::newRow("to end of line") << "PC:UFFICIO1"
                                    << "UFFICIO1";
    QTest::newRow("blank after colon") << "PC: UFFICIO1"
                                       << "";
    QTest::newRow("only blanks") << "  PC:   "
                                 << "";
    QTest::newRow("inside a line") << "Operatore 3   PC:MAGAZZINO  data"
                                   << "MAGAZZINO";
    QTest::newRow("tab is not a blank") << "PC:A\tB C"
                                        << "A\tB";
    QTest::newRow("first PC: counts") << "PC:ONE PC:TWO"
                                      << "ONE";
    QTest::newRow("nothing after colon") << "xxPC:"
                                         << "";
    QTest::newRow("no marker") << "P C:NAME"
                               << "";
}

void TestPrintFileRules::workstationName() {
    QFETCH(QString, line);
    QFETCH(QString, name);
    QCOMPARE(PrintFileRules::workstationName(line), name);
}

void TestPrintFileRules::endingValue_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("value");
    QTest::newRow("company 1") << "X.001" << 1.0;
    QTest::newRow("company 12") << "FATT.012" << 12.0;
    QTest::newRow("letters") << "X.ABC" << 0.0;
    QTest::newRow("lower prn") << "X.prn" << 0.0;
    QTest::newRow("digits then letter") << "X.1A2" << 1.0;
    QTest::newRow("blank inside") << "X.1 2" << 12.0;
    QTest::newRow("leading blank") << "X. 07" << 7.0;
    QTest::newRow("short name") << "5" << 5.0;
    QTest::newRow("two chars") << "42" << 42.0;
    QTest::newRow("sign") << "X.-01" << -1.0;
    QTest::newRow("decimal") << "X1.5" << 1.5;
    QTest::newRow("exponent") << "X1E2" << 100.0;
    QTest::newRow("dangling exponent") << "X01E" << 1.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TestPrintFileRules::endingValue() {
    QFETCH(QString, name);
    QFETCH(double, value);
    QCOMPARE(PrintFileRules::endingValue(name), value);
}

void TestPrintFileRules::nameEndings() {
    QVERIFY(isPending(QStringLiteral("X.001.PRN")));
    QVERIFY(!isPending(QStringLiteral("X.001.prn")));
    QVERIFY(!isPending(QStringLiteral("X.prn")));
    QVERIFY(isSetAside(QStringLiteral("X.001.ERR")));
    QVERIFY(!isSetAside(QStringLiteral("X.001.Err")));
    QVERIFY(!isPending(QStringLiteral("PRN")));
}

void TestPrintFileRules::readLine_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("name");
    QTest::newRow("crlf") << QByteArray("@^01\r\nline\r\nPC:UFF1 x\r\nPC:OTHER\r\n") << true
                          << "UFF1";
    QTest::newRow("cr only") << QByteArray("a\rPC:UFF2\rb\r") << true << "UFF2";
    QTest::newRow("lf only, no blank") << QByteArray("a\nPC:UFF3\nNEXT LINE\n") << true << "UFF3";
    QTest::newRow("last line without end") << QByteArray("a\r\nPC:UFF4") << true << "UFF4";
    QTest::newRow("blank after colon") << QByteArray("PC: UFF5\r\n") << true << "";
    QTest::newRow("no line") << QByteArray("@^01\r\nP C:X\r\n") << false << "";
    QTest::newRow("empty file") << QByteArray() << false << "";
    QTest::newRow("accented name")
        << QByteArray("PC:CAFF\xC8 z\r\n") << true << QStringLiteral("CAFF\u00C8");
    // The marker far into a big file, "PC:" itself cut across the reader's pieces.
    QByteArray big;
    while (big.size() < 64 * 1024)
        big.append("0123456789 ABCDEFGHIJ 0123456789 ABCDEFGHIJ 0123456789\r\n");
    big.truncate(64 * 1024 - 2);
    big.append("\nPC:FAR rest\r\n");
    QTest::newRow("across chunks") << big << true << "FAR";
    QTest::newRow("long line, then the marker")
        << QByteArray(200 * 1024, 'x').append("\rPC:DOPO\r") << true << "DOPO";
    QTest::newRow("marker past the search limit")
        << QByteArray(LineSearchLimit, 'x').append("\nPC:TARDI\n") << false << "";
    QByteArray bigNoLine;
    for (int i = 0; i < 5000; ++i)
        bigNoLine.append("riga del documento senza il segno\r\n");
    QTest::newRow("big, no line") << bigNoLine << false << "";
}

void TestPrintFileRules::readLine() {
    QFETCH(QByteArray, content);
    QFETCH(bool, found);
    QFETCH(QString, name);
    TextCodec::select(QStringLiteral("windows-1252"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("X.001"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    // Read whole, and read a piece per call (a deadline that has passed) as the scan does.
    WorkstationLineReader reader;
    WorkstationLine pieces;
    do
        pieces = reader.readOn(path, QDeadlineTimer(0));
    while (pieces.status == WorkstationLine::Status::Reading);
    for (const WorkstationLine& line : {readWorkstationLine(path), pieces}) {
        QCOMPARE(line.status,
                 found ? WorkstationLine::Status::Found : WorkstationLine::Status::NoLine);
        QCOMPARE(line.name, name);
        QCOMPARE(line.cutShort, content.size() > LineSearchLimit);
    }
}

void TestPrintFileRules::readMissingAndFolder() {
    QTemporaryDir dir;
    QCOMPARE(readWorkstationLine(dir.filePath(QStringLiteral("gone.001"))).status,
             WorkstationLine::Status::NotFound);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("SUB.001")));
    QCOMPARE(readWorkstationLine(dir.filePath(QStringLiteral("SUB.001"))).status,
             WorkstationLine::Status::Unreadable);
}

QTEST_GUILESS_MAIN(TestPrintFileRules)
#include "tst_printfilerules.moc"
