// Copie.txt as the client, the settings window and the server read it, and as the window writes it.
#include "copiesfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList ones() {
    return QStringList(6, QStringLiteral("1"));
}
} // namespace

class TestCopiesFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void readForClient_data();
    void readForClient();
    void missingFileGivesDefaults();

    void windowSwitches_data();
    void windowSwitches();

    void readPrintFolder_data();
    void readPrintFolder();

    void writeExactBytes_data();
    void writeExactBytes();
    void writeThenRead();
    void writeReplacesOldFile();
    void failedWriteIsReportedAndKeepsOldFile();

    void numericValue_data();
    void numericValue();

private:
    QString writeFile(const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCopiesFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestCopiesFile::writeFile(const QByteArray& bytes) {
    const QString path = m_dir->filePath(QStringLiteral("Copie.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestCopiesFile::readForClient_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<bool>("perCompany");
    QTest::addColumn<bool>("perBranch");

    QTest::newRow("empty file") << QByteArray() << ones() << false << false;
    QTest::newRow("only the folder line")
        << QByteArray("\\\\srv\\Velarix\\Stampe\\\r\n") << ones() << false << false;
    QTest::newRow("folder and two values")
        << QByteArray("F\\\r\n2\r\n3\r\n")
        << QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1"),
                       QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}
        << false << false;
    QTest::newRow("third value empty")
        << QByteArray("F\\\r\n2\r\n\r\n4\r\n5\r\n6\r\n7\r\n1\r\n1\r\n")
        << QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("4"),
                       QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")}
        << true << true;
    QTest::newRow("values separated by commas")
        << QByteArray("F\\,2,3,4,5,6,7,0,1\r\n")
        << QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                       QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")}
        << false << true;
    QTest::newRow("blanks before values, LF only")
        << QByteArray("F\\\n  2\n 3\n4\n5\n6\n7\n 1 \n  1\n")
        << QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                       QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")}
        << true << true;
    // A switch is on only for exactly 1: 2, 1.5 and text are off.
    QTest::newRow("switch 2 and 1.5 are off")
        << QByteArray("F\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n2\r\n1.5\r\n") << ones() << false
        << false;
    QTest::newRow("switch 1.0 and 01 are on")
        << QByteArray("F\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1.0\r\n01\r\n") << ones() << true
        << true;
    QTest::newRow("switch text counts as 0")
        << QByteArray("F\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\nsi\r\n\r\n") << ones() << false
        << false;
    QTest::newRow("copies kept as text")
        << QByteArray("F\\\r\nx\r\n 2 \r\n1\r\n1\r\n1\r\n1\r\n")
        << QStringList{QStringLiteral("x"), QStringLiteral("2 "), QStringLiteral("1"),
                       QStringLiteral("1"), QStringLiteral("1"),  QStringLiteral("1")}
        << false << false;
    QTest::newRow("file ends before the second switch")
        << QByteArray("F\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1") << ones() << true << false;
}

void TestCopiesFile::readForClient() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, copies);
    QFETCH(bool, perCompany);
    QFETCH(bool, perBranch);
    const QString path = writeFile(content);
    QVERIFY(!path.isEmpty());
    const CopiesSettings settings = CopiesFile::readForClient(path);
    QCOMPARE(settings.copies, copies);
    QCOMPARE(settings.perCompany, perCompany);
    QCOMPARE(settings.perBranch, perBranch);
}

void TestCopiesFile::missingFileGivesDefaults() {
    const QString path = m_dir->filePath(QStringLiteral("missing.txt"));
    for (const CopiesSettings& settings :
         {CopiesFile::readForClient(path), CopiesFile::readForWindow(path)}) {
        QCOMPARE(settings.copies, ones());
        QVERIFY(settings.printFolder.isEmpty());
        QVERIFY(!settings.perCompany);
        QVERIFY(!settings.perBranch);
    }
    QVERIFY(CopiesFile::readPrintFolder(path).isEmpty());
}

void TestCopiesFile::windowSwitches_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("windowOn");
    QTest::addColumn<bool>("clientOn");

    // Halves round to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    QTest::newRow("0.5") << QByteArray("0.5") << false << false;
    QTest::newRow("1.5") << QByteArray("1.5") << true << false;
    QTest::newRow("2.5") << QByteArray("2.5") << true << false;
    QTest::newRow("0.4") << QByteArray("0.4") << false << false;
    QTest::newRow("0.6") << QByteArray("0.6") << true << false;
    QTest::newRow("-0.5") << QByteArray("-0.5") << false << false;
    QTest::newRow("1") << QByteArray("1") << true << true;
    QTest::newRow("0") << QByteArray("0") << false << false;
    QTest::newRow("2") << QByteArray("2") << true << false;
    QTest::newRow("text") << QByteArray("SI") << false << false;
}

void TestCopiesFile::windowSwitches() {
    QFETCH(QByteArray, value);
    QFETCH(bool, windowOn);
    QFETCH(bool, clientOn);
    const QString path =
        writeFile("F\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n" + value + "\r\n" + value + "\r\n");
    const CopiesSettings window = CopiesFile::readForWindow(path);
    QCOMPARE(window.perCompany, windowOn);
    QCOMPARE(window.perBranch, windowOn);
    const CopiesSettings client = CopiesFile::readForClient(path);
    QCOMPARE(client.perCompany, clientOn);
    QCOMPARE(client.perBranch, clientOn);
}

void TestCopiesFile::readPrintFolder_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("folder");

    QTest::newRow("share path") << QByteArray("\\\\10.0.0.1\\Velarix\\Stampe\\\r\n1\r\n")
                                << QStringLiteral("\\\\10.0.0.1\\Velarix\\Stampe\\");
    QTest::newRow("trailing blanks kept")
        << QByteArray("C:\\Stampe\\  \r\n") << QStringLiteral("C:\\Stampe\\  ");
    QTest::newRow("leading blanks skipped")
        << QByteArray("   C:\\S\\\r\n") << QStringLiteral("C:\\S\\");
    QTest::newRow("comma ends an unquoted folder")
        << QByteArray("C:\\A,B\\\r\n") << QStringLiteral("C:\\A");
    QTest::newRow("quoted folder keeps its comma")
        << QByteArray("\"C:\\A,B\\\"\r\n") << QStringLiteral("C:\\A,B\\");
    QTest::newRow("windows-1252 letters")
        << QByteArray("C:\\Citt\xe0\\\r\n") << QStringLiteral("C:\\Citt\u00e0\\");
    QTest::newRow("blank line") << QByteArray("   \r\n1\r\n") << QString();
}

void TestCopiesFile::readPrintFolder() {
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    const QString path = writeFile(content);
    QCOMPARE(CopiesFile::readPrintFolder(path), folder);
    QCOMPARE(CopiesFile::readForWindow(path).printFolder, folder);
}

void TestCopiesFile::writeExactBytes_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<bool>("perCompany");
    QTest::addColumn<bool>("perBranch");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("defaults") << QStringLiteral("\\\\srv\\Velarix\\Stampe\\") << ones() << false
                              << false
                              << QByteArray(
                                     "\\\\srv\\Velarix\\Stampe\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n"
                                     "1\r\n0\r\n0\r\n");
    QTest::newRow("letter, digit, empty, blank")
        << QStringLiteral("C:\\Stampe\\  ")
        << QStringList{QStringLiteral("a"), QStringLiteral("2"), QString(),
                       QStringLiteral(" "), QStringLiteral("9"), QStringLiteral("3")}
        << true << false
        << QByteArray("C:\\Stampe\\  \r\n0\r\n2\r\n0\r\n0\r\n9\r\n3\r\n1\r\n0\r\n");
    QTest::newRow("leading digits count")
        << QStringLiteral("X")
        << QStringList{QStringLiteral("4x"), QStringLiteral("1"), QStringLiteral("1"),
                       QStringLiteral("1"),  QStringLiteral("1"), QStringLiteral("1")}
        << false << true << QByteArray("X\r\n4\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n1\r\n");
    QTest::newRow("folder with a comma is quoted")
        << QStringLiteral("C:\\Stampe, ufficio\\") << ones() << false << false
        << QByteArray("\"C:\\Stampe, ufficio\\\"\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
    QTest::newRow("accented folder in windows-1252")
        << QStringLiteral("C:\\Forl\u00ec\\") << ones() << false << false
        << QByteArray("C:\\Forl\xec\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
}

void TestCopiesFile::writeExactBytes() {
    QFETCH(QString, folder);
    QFETCH(QStringList, copies);
    QFETCH(bool, perCompany);
    QFETCH(bool, perBranch);
    QFETCH(QByteArray, bytes);

    CopiesSettings settings;
    settings.printFolder = folder;
    settings.copies = copies;
    settings.perCompany = perCompany;
    settings.perBranch = perBranch;
    const QString path = m_dir->filePath(QStringLiteral("Copie.txt"));
    const Failure failure = CopiesFile::write(path, settings);
    QVERIFY2(failure.ok(), qPrintable(failure.description));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

void TestCopiesFile::writeThenRead() {
    CopiesSettings settings;
    settings.printFolder = QStringLiteral("\\\\srv\\Velarix\\Stampe, 2\\ ");
    settings.copies = {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("0"),
                       QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    settings.perCompany = true;
    settings.perBranch = true;
    const QString path = m_dir->filePath(QStringLiteral("Copie.txt"));
    QVERIFY(CopiesFile::write(path, settings).ok());

    const CopiesSettings window = CopiesFile::readForWindow(path);
    QCOMPARE(window.printFolder, settings.printFolder);
    QCOMPARE(window.copies, settings.copies);
    QVERIFY(window.perCompany && window.perBranch);
    const CopiesSettings client = CopiesFile::readForClient(path);
    QCOMPARE(client.copies, settings.copies);
    QVERIFY(client.perCompany && client.perBranch);
    QCOMPARE(CopiesFile::readPrintFolder(path), settings.printFolder);
}

void TestCopiesFile::writeReplacesOldFile() {
    const QString path = writeFile(QByteArray(200, 'x'));
    CopiesSettings settings;
    settings.printFolder = QStringLiteral("P");
    QVERIFY(CopiesFile::write(path, settings).ok());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("P\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n"));
}

void TestCopiesFile::failedWriteIsReportedAndKeepsOldFile() {
    CopiesSettings settings;
    settings.printFolder = QStringLiteral("P");

    const Failure missing =
        CopiesFile::write(m_dir->filePath(QStringLiteral("NoFolder/Copie.txt")), settings);
    QCOMPARE(missing.number, ErrorNumber::PathNotFound);
    QVERIFY(!missing.description.isEmpty());

    // A folder standing where the file should be cannot be replaced.
    const QString blocked = m_dir->filePath(QStringLiteral("Copie.txt"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Copie.txt")));
    const Failure failure = CopiesFile::write(blocked, settings);
    QVERIFY(!failure.ok());
    QVERIFY(QFileInfo(blocked).isDir());
    // No temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCopiesFile::numericValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("isNumber");

    QTest::newRow("empty") << QString() << 0.0 << false;
    QTest::newRow("letter") << QStringLiteral("a") << 0.0 << false;
    QTest::newRow("digit") << QStringLiteral("2") << 2.0 << true;
    QTest::newRow("blanks around") << QStringLiteral("  7 ") << 7.0 << true;
    QTest::newRow("digits then text") << QStringLiteral("12ab") << 12.0 << true;
    QTest::newRow("negative") << QStringLiteral("-3") << -3.0 << true;
    QTest::newRow("plus") << QStringLiteral("+3") << 3.0 << true;
    QTest::newRow("decimal") << QStringLiteral("2.5") << 2.5 << true;
    QTest::newRow("leading point") << QStringLiteral(".5") << 0.5 << true;
    QTest::newRow("exponent") << QStringLiteral("1E2") << 100.0 << true;
    QTest::newRow("dangling exponent") << QStringLiteral("2E") << 2.0 << true;
    QTest::newRow("sign only") << QStringLiteral("-") << 0.0 << false;
    QTest::newRow("decimal comma stops") << QStringLiteral("2,5") << 2.0 << true;
    QTest::newRow("non-ASCII digit") << QStringLiteral("\u0663") << 0.0 << false;
}

void TestCopiesFile::numericValue() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, isNumber);
    bool number = !isNumber;
    QCOMPARE(CopiesFile::numericValue(text, &number), value);
    QCOMPARE(number, isNumber);
}

QTEST_GUILESS_MAIN(TestCopiesFile)
#include "tst_copiesfile.moc"
