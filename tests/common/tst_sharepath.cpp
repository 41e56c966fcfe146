#include "sharepath.h"

#include <QTest>

class TestSharePath : public QObject {
    Q_OBJECT

private slots:
    void resolve_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file in Client") << "\\\\SERVER\\Velarix\\Client\\Copie.txt"
                                        << "/mnt/velarix"
                                        << "/mnt/velarix/Client/Copie.txt";
        QTest::newRow("share name in any case") << "\\\\srv\\VELARIX\\VelarixUpd"
                                                << "/mnt/v/"
                                                << "/mnt/v/VelarixUpd";
        QTest::newRow("folder keeps its trailing separator") << "\\\\srv\\Velarix\\Client\\"
                                                             << "/mnt/v"
                                                             << "/mnt/v/Client/";
        QTest::newRow("share root itself") << "\\\\srv\\Velarix\\"
                                           << "/mnt/v"
                                           << "/mnt/v/";
        QTest::newRow("share without rest") << "\\\\srv\\Velarix"
                                            << "/mnt/v"
                                            << "/mnt/v";
        QTest::newRow("forward slashes") << "//srv/Velarix/a/b.txt"
                                         << "/mnt/v"
                                         << "/mnt/v/a/b.txt";
        QTest::newRow("blanks in names") << "\\\\srv\\Velarix\\Stampe 2\\X.001.PRN"
                                         << "/srv/share root"
                                         << "/srv/share root/Stampe 2/X.001.PRN";
        QTest::newRow("other share unchanged") << "\\\\srv\\Altro\\x"
                                               << "/mnt/v"
                                               << "\\\\srv\\Altro\\x";
        QTest::newRow("local path unchanged") << "/opt/velarix/Stampe/X.001"
                                              << "/mnt/v"
                                              << "/opt/velarix/Stampe/X.001";
        QTest::newRow("drive path unchanged") << "C:\\Stampe\\X.001"
                                              << "/mnt/v"
                                              << "C:\\Stampe\\X.001";
        QTest::newRow("empty host") << "\\\\\\Velarix\\x"
                                    << "/mnt/v"
                                    << "";
        QTest::newRow("no share root") << "\\\\srv\\Velarix\\x"
                                       << ""
                                       << "";
        QTest::newRow("cannot climb above the share") << "\\\\srv\\Velarix\\..\\..\\etc\\passwd"
                                                      << "/mnt/v"
                                                      << "";
        QTest::newRow("dots inside stay inside") << "\\\\srv\\Velarix\\a\\..\\b.txt"
                                                 << "/mnt/v"
                                                 << "/mnt/v/b.txt";
    }
    void resolve() {
        QFETCH(QString, path);
        QFETCH(QString, root);
        QFETCH(QString, expected);
        QCOMPARE(SharePath::resolve(path, root), expected);
    }

    void recognise_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isShare");
        QTest::addColumn<QString>("host");
        QTest::newRow("share") << "\\\\PC-01\\Velarix\\x" << true << "PC-01";
        QTest::newRow("other share") << "\\\\PC-01\\C$\\x" << false << "PC-01";
        QTest::newRow("host only") << "\\\\PC-01" << false << "";
        QTest::newRow("local") << "/tmp/x" << false << "";
        QTest::newRow("single backslash") << "\\PC\\Velarix\\x" << false << "";
    }
    void recognise() {
        QFETCH(QString, path);
        QFETCH(bool, isShare);
        QFETCH(QString, host);
        QCOMPARE(SharePath::isSharePath(path), isShare);
        QCOMPARE(SharePath::host(path), host);
    }
};

QTEST_GUILESS_MAIN(TestSharePath)
#include "tst_sharepath.moc"
