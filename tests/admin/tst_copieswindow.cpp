// The window Copie on screen: what it shows, what "Salva" and "Annulla" store and refuse, and
// that the watcher is paused while it is open and resumed however it closes.
#include "copieswindow.h"
#include "documentschema.h"
#include "fakeadminhost.h"
#include "letterheadstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString NoFolder = QStringLiteral("Inserire Percorso file Stampa");
const QString BadFolder = QStringLiteral("Cartella non valida");
const QString NotEmpty = QStringLiteral("Attenzione!! La cartella non \u00e8 vuota, Continuare?");
} // namespace

class TestCopiesWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boxesSitWhereTheirRowsAre();
    void openingPausesWatcherAndShowsFile_data();
    void openingPausesWatcherAndShowsFile();

    void saveWritesExactBytes();
    void saveKeepsTrailingBlanks();
    void saveRefusesBlankFolder();
    void saveRefusesUnlistableFolder_data();
    void saveRefusesUnlistableFolder();
    void nonEmptyFolderAsks_data();
    void nonEmptyFolderAsks();
    void failedWriteIsReportedAndWindowStays();
    void reportSwitchNeedsItsTemplates();

    void refusedSaveThenCancelRestoresStoredFolder();
    void cancelWithoutStoredFolderAsks();
    void everyWayOfClosingResumesWatcher_data();
    void everyWayOfClosingResumesWatcher();

private:
    QString clientFolder() const { return m_root.filePath(QStringLiteral("Client")); }
    QString serverFolder() const { return m_root.path(); }
    QString copiesPath() const { return clientFolder() + QStringLiteral("/Copie.txt"); }
    QString shareFolder(const QString& name) const {
        return QStringLiteral("\\\\127.0.0.1\\Velarix\\") + name + QLatin1Char('\\');
    }
    void storeCopies(const QByteArray& bytes);
    QByteArray storedCopies() const;
    void openWindow();
    template <typename T> T* child(const char* name) const {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    QDir m_root;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeAdminHost> m_host;
    std::unique_ptr<CopiesWindow> m_window;
};

void TestCopiesWindow::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = QDir(m_dir->path());
    QVERIFY(m_root.mkpath(QStringLiteral("Client")));
    QVERIFY(m_root.mkpath(QStringLiteral("Stampe")));
    m_host = std::make_unique<FakeAdminHost>(clientFolder() + QLatin1Char('/'));
}

void TestCopiesWindow::cleanup() {
    m_window.reset();
    m_host.reset();
    m_dir.reset();
}

void TestCopiesWindow::storeCopies(const QByteArray& bytes) {
    QFile file(copiesPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray TestCopiesWindow::storedCopies() const {
    QFile file(copiesPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestCopiesWindow::openWindow() {
    m_window = std::make_unique<CopiesWindow>(*m_host, nullptr);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestCopiesWindow::boxesSitWhereTheirRowsAre() {
    // The box a person types into for a row is the slot stored for that row.
    openWindow();
    // Box 5 right of box 0 on the first row, box 2 right of box 1 on the second.
    for (int i = 0; i < 6; ++i) {
        QLineEdit* box = child<QLineEdit>(qPrintable(QStringLiteral("Text1_%1").arg(i)));
        QVERIFY(box);
        QCOMPARE(m_window->copyBox(i), box);
        QCOMPARE(box->maxLength(), 1);
    }
    auto box = [this](int i) { return m_window->copyBox(i)->geometry(); };
    QCOMPARE(box(5).center().y(), box(0).center().y());
    QVERIFY(box(5).left() > box(0).right());
    QCOMPARE(box(2).center().y(), box(1).center().y());
    QVERIFY(box(2).left() > box(1).right());
    QVERIFY(box(1).top() > box(0).bottom());
    QVERIFY(box(3).top() > box(1).bottom());
    QVERIFY(box(4).top() > box(3).bottom());
    QVERIFY(child<QCheckBox>("Check2")->y() > child<QCheckBox>("Check1")->y());
    QVERIFY(child<QLineEdit>("Text2")->y() > child<QLabel>("Label6")->y());
}

void TestCopiesWindow::openingPausesWatcherAndShowsFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("check1");
    QTest::addColumn<bool>("check2");

    const QStringList ones(6, QStringLiteral("1"));
    QTest::newRow("missing file") << QByteArray() << QString() << ones << false << false;
    QTest::newRow("only the folder line")
        << QByteArray("\\\\srv\\Velarix\\Stampe\\\r\n")
        << QStringLiteral("\\\\srv\\Velarix\\Stampe\\") << ones << false << false;
    QTest::newRow("all values") << QByteArray("C:\\P\\\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n1\r\n0\r\n")
                                << QStringLiteral("C:\\P\\")
                                << QStringList{QStringLiteral("2"), QStringLiteral("3"),
                                               QStringLiteral("4"), QStringLiteral("5"),
                                               QStringLiteral("6"), QStringLiteral("7")}
                                << true << false;
    QTest::newRow("empty value keeps 1")
        << QByteArray("C:\\P\\\r\n2\r\n\r\n4\r\n") << QStringLiteral("C:\\P\\")
        << QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("4"),
                       QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}
        << false << false;
    QTest::newRow("halves to even: 0.5 and 2.5")
        << QByteArray("C:\\P\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0.5\r\n2.5\r\n")
        << QStringLiteral("C:\\P\\") << ones << false << true;
    QTest::newRow("halves to even: 1.5")
        << QByteArray("C:\\P\\\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1.5\r\n0\r\n")
        << QStringLiteral("C:\\P\\") << ones << true << false;
}

void TestCopiesWindow::openingPausesWatcherAndShowsFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(QStringList, boxes);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    if (!content.isEmpty())
        storeCopies(content);
    openWindow();
    QCOMPARE(m_host->watcherCalls, QList<bool>{false});
    QCOMPARE(child<QLineEdit>("Text2")->text(), folder);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(m_window->copyBox(i)->text(), boxes.at(i));
    QCOMPARE(child<QCheckBox>("Check1")->isChecked(), check1);
    QCOMPARE(child<QCheckBox>("Check2")->isChecked(), check2);
}

void TestCopiesWindow::saveWritesExactBytes() {
    openWindow();
    const QString folder = shareFolder(QStringLiteral("Stampe"));
    child<QLineEdit>("Text2")->setText(folder);
    m_window->copyBox(0)->selectAll();
    QTest::keyClicks(m_window->copyBox(0), QStringLiteral("27")); // one character only
    QCOMPARE(m_window->copyBox(0)->text(), QStringLiteral("2"));
    // A letter cannot be typed; one that came from the file is refused, naming its row.
    m_window->copyBox(1)->clear();
    QTest::keyClicks(m_window->copyBox(1), QStringLiteral("a"));
    QCOMPARE(m_window->copyBox(1)->text(), QString());
    m_window->copyBox(1)->setText(QStringLiteral("a"));
    click("Cmd_Salva");
    QCOMPARE(
        m_host->scripted.messages,
        QStringList{QStringLiteral("Numero di copie non valido per \"Preordini Fronte-Retro\": "
                                   "scrivere una cifra da 0 a 9.")});
    QVERIFY(m_window->isVisible());
    QCOMPARE(storedCopies(), QByteArray("<missing>"));

    m_window->copyBox(1)->setText(QStringLiteral("0"));
    m_window->copyBox(5)->setText(QStringLiteral("3"));
    m_window->copyBox(3)->setText(QStringLiteral("0"));
    // The switch captions toggle their switches too.
    QTest::mouseClick(child<QLabel>("Label11"), Qt::LeftButton);
    QVERIFY(child<QCheckBox>("Check1")->isChecked());
    // 0 copies is asked about (No keeps the window), then stored.
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.questions,
             QStringList{QStringLiteral(
                 "Con 0 copie i documenti \"Preordini Fronte-Retro\", \"Fatture/Bolle "
                 "Officina\" non vengono stampati: le postazioni li danno per stampati e il "
                 "server li cancella. Salvare comunque?")});
    QVERIFY(m_window->isVisible());
    m_host->scripted.answers = {true};
    click("Cmd_Salva");

    QCOMPARE(storedCopies(),
             QByteArray("\\\\127.0.0.1\\Velarix\\Stampe\\\r\n2\r\n0\r\n1\r\n0\r\n1\r\n"
                        "3\r\n1\r\n0\r\n"));
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QCOMPARE(m_host->printFolder(), folder);
    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Accepted));
}

void TestCopiesWindow::saveKeepsTrailingBlanks() {
    openWindow();
    const QString folder = m_root.filePath(QStringLiteral("Stampe")) + QStringLiteral("/  ");
    child<QLineEdit>("Text2")->setText(folder);
    click("Cmd_Salva");
    QVERIFY(m_host->scripted.messages.isEmpty());
    QVERIFY(storedCopies().startsWith(folder.toUtf8() + "\r\n1\r\n"));
    QCOMPARE(m_host->printFolder(), folder);
    QVERIFY(!m_window->isVisible());
}

void TestCopiesWindow::saveRefusesBlankFolder() {
    storeCopies("\\\\h\\Velarix\\Stampe\\\r\n");
    openWindow();
    child<QLineEdit>("Text2")->setText(QStringLiteral("   "));
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages, QStringList{NoFolder});
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_host->watcherCalls, QList<bool>{false});
    QCOMPARE(storedCopies(), QByteArray("\\\\h\\Velarix\\Stampe\\\r\n"));
    QVERIFY(m_host->printFolders.isEmpty());
}

void TestCopiesWindow::saveRefusesUnlistableFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("why"); // %1: the server's program folder
    QTest::newRow("missing folder")
        << shareFolder(QStringLiteral("Nessuna")) << "la cartella %1/Nessuna non esiste.";
    QTest::newRow("missing local folder") << QStringLiteral("/nonexistent/velarix/print/")
                                          << "la cartella /nonexistent/velarix/print non esiste.";
    QTest::newRow("a file, not a folder") << shareFolder(QStringLiteral("Client\\Copie.txt"))
                                          << "%1/Client/Copie.txt è un file, non una cartella.";
    const QString badShare =
        QStringLiteral("percorso di rete non valido (atteso \\\\server\\Velarix\\cartella).");
    QTest::newRow("share without host") << QStringLiteral("\\\\\\Velarix\\Stampe\\") << badShare;
    QTest::newRow("share path leaving the share")
        << QStringLiteral("\\\\h\\Velarix\\..\\..\\") << badShare;
    QTest::newRow("another computer's share")
        << QStringLiteral("\\\\10.1.1.1\\Stampe\\")
        << "non è nella condivisione Velarix di questo server.";
}

void TestCopiesWindow::saveRefusesUnlistableFolder() {
    QFETCH(QString, folder);
    storeCopies("\\\\h\\Velarix\\Stampe\\\r\n");
    openWindow();
    child<QLineEdit>("Text2")->setText(folder);
    click("Cmd_Salva");
    // Which folder, as typed, and why, naming the local folder looked at.
    QFETCH(QString, why);
    QCOMPARE(m_host->scripted.messages,
             QStringList{BadFolder + ": " + folder.trimmed() + '\n' + why.arg(serverFolder())});
    QVERIFY(m_window->isVisible());
    QCOMPARE(storedCopies(), QByteArray("\\\\h\\Velarix\\Stampe\\\r\n"));
    // The typed folder is already the watcher's, until "Annulla" or a good "Salva".
    QCOMPARE(m_host->printFolder(), folder);
    QCOMPARE(m_host->watcherCalls, QList<bool>{false});
}

void TestCopiesWindow::nonEmptyFolderAsks_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("answer");

    QTest::newRow("only a subfolder, No") << QStringLiteral("vecchi") << true << false;
    QTest::newRow("only a subfolder, Yes") << QStringLiteral("vecchi") << true << true;
    QTest::newRow("a hidden file, No") << QStringLiteral(".nascosto") << false << false;
    QTest::newRow("a print file, Yes") << QStringLiteral("X.001") << false << true;
}

void TestCopiesWindow::nonEmptyFolderAsks() {
    QFETCH(QString, entry);
    QFETCH(bool, isFolder);
    QFETCH(bool, answer);
    const QDir stampe(m_root.filePath(QStringLiteral("Stampe")));
    if (isFolder) {
        QVERIFY(stampe.mkdir(entry));
    } else {
        QFile file(stampe.filePath(entry));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    openWindow();
    child<QLineEdit>("Text2")->setText(shareFolder(QStringLiteral("Stampe")));
    m_host->scripted.answers = {answer};
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.questions, QStringList{NotEmpty});
    QVERIFY(m_host->scripted.messages.isEmpty());
    QCOMPARE(m_window->isVisible(), !answer);
    QCOMPARE(QFile::exists(copiesPath()), answer);
    QCOMPARE(m_host->watcherRunning, answer);
}

void TestCopiesWindow::failedWriteIsReportedAndWindowStays() {
    // A folder where Copie.txt should be: the file cannot be replaced.
    QVERIFY(QDir(clientFolder()).mkdir(QStringLiteral("Copie.txt")));
    openWindow();
    child<QLineEdit>("Text2")->setText(shareFolder(QStringLiteral("Stampe")));
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY2(m_host->scripted.messages.first().startsWith(
                 QStringLiteral("File non sostituibile: impostazioni non salvate (")),
             qPrintable(m_host->scripted.messages.first()));
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_host->watcherRunning);
    QCOMPARE(m_host->logged, m_host->scripted.messages);
}

void TestCopiesWindow::reportSwitchNeedsItsTemplates() {
    // Turned on without the templates, every document of the office would stop with 20501.
    const QString db = clientFolder() + QStringLiteral("/Documenti.mdb");
    QVERIFY(DocumentSchema::create(db).ok());
    QVERIFY(LetterheadStore(db).save(1, QStringList(8, QString())).ok());
    QVERIFY(LetterheadStore(db).save(7, QStringList(8, QString())).ok());
    auto addTemplates = [this](const char* names) {
        for (const QString& name : QString::fromLatin1(names).split(u' '))
            QVERIFY(QFile(clientFolder() + QLatin1Char('/') + name).open(QIODevice::WriteOnly));
    };
    addTemplates("ODL_001.rpt PRE_001.rpt FOM_001.rpt FVV_001.rpt ODL_007.rpt PRE_007.rpt");
    openWindow();
    child<QLineEdit>("Text2")->setText(shareFolder(QStringLiteral("Stampe")));
    child<QCheckBox>("Check1")->setChecked(true);
    click("Cmd_Salva");
    QCOMPARE(
        m_host->scripted.messages.value(0),
        QStringLiteral("Le stampe divise per azienda non sono state attivate: nella cartella ") +
            clientFolder() +
            QStringLiteral("/ mancano i modelli FOM_007.rpt, FVV_007.rpt. Senza i modelli i "
                           "documenti non verrebbero stampati."));
    addTemplates("FOM_007.rpt FVV_007.rpt");
    child<QCheckBox>("Check2")->setChecked(true);
    click("Cmd_Salva");
    QVERIFY(m_host->scripted.messages.value(1).contains(QStringLiteral("ODL_001-NN.rpt, ")));
    child<QCheckBox>("Check2")->setChecked(false);
    click("Cmd_Salva");
    QVERIFY(!m_window->isVisible());
    QVERIFY(storedCopies().endsWith("1\r\n0\r\n"));
}

void TestCopiesWindow::refusedSaveThenCancelRestoresStoredFolder() {
    const QString stored = shareFolder(QStringLiteral("Stampe"));
    storeCopies(stored.toLatin1() + "\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n1\r\n1\r\n");
    openWindow();
    child<QLineEdit>("Text2")->setText(shareFolder(QStringLiteral("Altrove")));
    m_window->copyBox(0)->setText(QStringLiteral("5"));
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY(m_host->scripted.messages.at(0).startsWith(BadFolder + ": "));
    QCOMPARE(m_host->printFolder(), shareFolder(QStringLiteral("Altrove")));

    click("Cmd_Esci");
    QCOMPARE(m_host->printFolder(), stored);
    QCOMPARE(m_host->printFolders.size(), 2);
    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Rejected));
    // Unsaved edits are dropped.
    QVERIFY(storedCopies().contains("\r\n2\r\n2\r\n"));
}

void TestCopiesWindow::cancelWithoutStoredFolderAsks() {
    const QString question =
        NoFolder + QStringLiteral(": finch\u00e9 non \u00e8 salvato, il server "
                                  "non stampa nessun documento. Uscire comunque?");
    openWindow();
    click("Cmd_Esci");
    QCOMPARE(m_host->scripted.questions, QStringList{question});
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_host->printFolder(), QString());

    // The close box is "Annulla" too; answered Yes, the window goes without a stored folder.
    m_host->scripted.answers = {true};
    m_window->close();
    QCOMPARE(m_host->scripted.questions, (QStringList{question, question}));
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
}

void TestCopiesWindow::everyWayOfClosingResumesWatcher_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Annulla") << QStringLiteral("button");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("Escape") << QStringLiteral("escape");
    QTest::newRow("window destroyed") << QStringLiteral("destroy");
}

void TestCopiesWindow::everyWayOfClosingResumesWatcher() {
    QFETCH(QString, how);
    const QString stored = shareFolder(QStringLiteral("Stampe"));
    storeCopies(stored.toLatin1() + "\r\n");
    openWindow();
    child<QLineEdit>("Text2")->setText(QStringLiteral("C:\\modificato\\"));
    if (how == QLatin1String("button")) {
        click("Cmd_Esci");
    } else if (how == QLatin1String("close")) {
        m_window->close();
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
    } else {
        m_window.reset();
        QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
        return;
    }
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_host->printFolder(), stored);
    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    // Destroying the closed window does not switch the watcher a second time.
    m_window.reset();
    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
}

QTEST_MAIN(TestCopiesWindow)
#include "tst_copieswindow.moc"
