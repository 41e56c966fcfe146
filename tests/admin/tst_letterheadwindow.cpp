// The window "Dati Ditta" on screen against a real Documenti.mdb: the code panel, the line
// editor, the save as one transaction, the company codes and Aggiorna.txt after a save.
#include "documentschema.h"
#include "fakeadminhost.h"
#include "letterheadwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {
const QString AskCode = QStringLiteral("Inserire Cod. Ditta");
const QString SaveFailed = QStringLiteral("Salvataggio non riuscito: ");
const char* const Probe = "probe";

// Company 5 as the database holds it: blanks around, longer than 40, null and empty lines.
const QStringList StoredLines = {
    QStringLiteral("   Autofficina Bernardi S.r.l.   "),
    QStringLiteral("Via Garibaldi 12 - 20121 Milano - Italia - Europa"),
    QString(), // null
    QStringLiteral(""),
    QStringLiteral("P.IVA 01234567890"),
    QStringLiteral("Tel. 02 1234567 "),
    QStringLiteral("                                         X"),
    QStringLiteral("Citt\u00e0 di Forl\u00ec \u20ac"),
};
const QStringList ShownLines = {
    QStringLiteral("Autofficina Bernardi S.r.l."),
    QStringLiteral("Via Garibaldi 12 - 20121 Milano - Italia"),
    QString(),
    QString(),
    QStringLiteral("P.IVA 01234567890"),
    QStringLiteral("Tel. 02 1234567"),
    QString(), // the X is the 42nd character
    QStringLiteral("Citt\u00e0 di Forl\u00ec \u20ac"),
};
} // namespace

class TestLetterheadWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void linesAndPanelAsShown();
    void openingPausesWatcherAndFocusesCode();
    void refusedCodes_data();
    void refusedCodes();
    void existingCompanyShownCutAndTrimmed();
    void newCompanyStartsEmpty();
    void unreadableDatabaseKeepsPanel();
    void okMovesToNextLineAndWraps();
    void saveWithEmptyLineKeepsOneRow();
    void saveNewCompanyReachesWatcherAndClients();
    void saveAgainstLockedDatabaseKeepsOldRow();
    void failureAfterDeleteRollsBack();
    void saveAgainstReadOnlyDatabaseKeepsOldRow();
    void everyWayOfClosingResumesWatcher_data();
    void everyWayOfClosingResumesWatcher();
    void editedLinesAreNotDroppedUnasked();

private:
    QString clientFolder() const { return m_dir->filePath(QStringLiteral("Client")); }
    QString databasePath() const { return clientFolder() + QStringLiteral("/Documenti.mdb"); }
    QString flagPath() const { return clientFolder() + QStringLiteral("/Aggiorna.txt"); }
    QSqlDatabase probe() const { return QSqlDatabase::database(QLatin1String(Probe)); }
    bool makeDatabaseReadOnly();
    void insertRow(int code, const QStringList& lines);
    QList<QVariantList> rows(int code) const;
    void openWindow();
    void enterCode(const QString& code, bool byEnterKey = false);
    template <typename T> T* child(const char* name) const {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeAdminHost> m_host;
    std::unique_ptr<LetterheadWindow> m_window;
    bool m_immutable = false;
};

void TestLetterheadWindow::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Client")));
    const Failure created = DocumentSchema::create(databasePath());
    QVERIFY2(created.ok(), qPrintable(created.description));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(Probe));
    db.setDatabaseName(databasePath());
    QVERIFY(db.open());
    insertRow(5, StoredLines);
    insertRow(2, QStringList(8, QStringLiteral("Ditta due")));
    m_host = std::make_unique<FakeAdminHost>(clientFolder() + QLatin1Char('/'));
}

void TestLetterheadWindow::cleanup() {
    if (m_immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), databasePath()});
    m_immutable = false;
    m_window.reset();
    m_host.reset();
    QSqlDatabase::database(QLatin1String(Probe)).close();
    QSqlDatabase::removeDatabase(QLatin1String(Probe));
    m_dir.reset();
}

void TestLetterheadWindow::insertRow(int code, const QStringList& lines) {
    QSqlQuery query(probe());
    QVERIFY(query.prepare(QStringLiteral(
        "INSERT INTO Ditta (Codice, Intestazione1, Intestazione2, Intestazione3, Intestazione4, "
        "Intestazione5, Intestazione6, Intestazione7, Intestazione8) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")));
    query.addBindValue(code);
    for (const QString& line : lines)
        query.addBindValue(line.isNull() ? QVariant() : QVariant(line));
    QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
}

QList<QVariantList> TestLetterheadWindow::rows(int code) const {
    QList<QVariantList> result;
    QSqlQuery query(probe());
    if (!query.exec(QStringLiteral("SELECT * FROM Ditta WHERE Codice = %1").arg(code)))
        return result;
    while (query.next()) {
        QVariantList row;
        for (int i = 1; i <= 8; ++i)
            row.append(query.value(QStringLiteral("Intestazione%1").arg(i)));
        result.append(row);
    }
    return result;
}

void TestLetterheadWindow::openWindow() {
    m_window = std::make_unique<LetterheadWindow>(*m_host, nullptr);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestLetterheadWindow::enterCode(const QString& code, bool byEnterKey) {
    QLineEdit* text2 = child<QLineEdit>("Text2");
    text2->clear();
    QTest::keyClicks(text2, code);
    if (byEnterKey)
        QTest::keyClick(text2, Qt::Key_Return); // the panel's OK is the default button
    else
        click("Command2");
}

void TestLetterheadWindow::linesAndPanelAsShown() {
    // Lines top to bottom in letterhead order, in a fixed-pitch font as the reports print them;
    // at opening only the code can be typed.
    openWindow();
    for (int i = 0; i < 8; ++i) {
        QLineEdit* box = child<QLineEdit>(qPrintable(QStringLiteral("Text1_%1").arg(i)));
        QCOMPARE(m_window->lineBox(i), box);
        QCOMPARE(box->maxLength(), 40);
        QVERIFY(QFontInfo(box->font()).fixedPitch());
        if (i > 0)
            QVERIFY(box->y() > m_window->lineBox(i - 1)->y());
    }
    // The code panel covers the whole window.
    QFrame* panel = child<QFrame>("Frame1");
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry(), m_window->rect());
}

void TestLetterheadWindow::openingPausesWatcherAndFocusesCode() {
    openWindow();
    QCOMPARE(m_host->watcherCalls, QList<bool>{false});
    QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>("Text2"));
}

void TestLetterheadWindow::refusedCodes_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("   ");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("digits then letters") << QStringLiteral("5a");
    // Not whole numbers of a print file name: 5.5 would be stored as another code.
    QTest::newRow("decimal") << QStringLiteral("5.5");
    QTest::newRow("negative") << QStringLiteral("-1");
    QTest::newRow("four digits") << QStringLiteral("1000");
}

void TestLetterheadWindow::refusedCodes() {
    QFETCH(QString, code);
    openWindow();
    enterCode(code);
    QCOMPARE(m_host->scripted.messages, QStringList{AskCode});
    QVERIFY(child<QFrame>("Frame1")->isVisible());
    // "Salva" does nothing while no code is chosen.
    click("Cmd_Salva");
    QCOMPARE(rows(5).size(), 1);
    QVERIFY(m_window->isVisible());
}

void TestLetterheadWindow::existingCompanyShownCutAndTrimmed() {
    openWindow();
    enterCode(QStringLiteral(" 5 "), true);
    QVERIFY(m_host->scripted.messages.isEmpty());
    QVERIFY(!child<QFrame>("Frame1")->isVisible());
    for (int i = 0; i < 8; ++i)
        QCOMPARE(m_window->lineBox(i)->text(), ShownLines.at(i));
    QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(0));
    QCOMPARE(m_window->currentLine(), 0);
}

void TestLetterheadWindow::newCompanyStartsEmpty() {
    openWindow();
    enterCode(QStringLiteral("7"));
    QVERIFY(m_host->scripted.messages.isEmpty());
    for (int i = 0; i < 8; ++i)
        QVERIFY(m_window->lineBox(i)->text().isEmpty());
    QVERIFY(rows(7).isEmpty());
}

void TestLetterheadWindow::unreadableDatabaseKeepsPanel() {
    QSqlDatabase::database(QLatin1String(Probe)).close();
    QVERIFY(QFile::remove(databasePath()));
    openWindow();
    enterCode(QStringLiteral("5"));
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY2(m_host->scripted.messages.first().startsWith(
                 QStringLiteral("Lettura dati ditta non riuscita: ")),
             qPrintable(m_host->scripted.messages.first()));
    QVERIFY(child<QFrame>("Frame1")->isVisible());
    // No database is created by looking.
    QVERIFY(!QFile::exists(databasePath()));
}

void TestLetterheadWindow::okMovesToNextLineAndWraps() {
    openWindow();
    enterCode(QStringLiteral("5"));
    QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(0));
    for (int expected = 1; expected < 8; ++expected) {
        click("Command1");
        QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(expected));
        QCOMPARE(m_window->currentLine(), expected);
    }
    // From line 8 back to line 1.
    click("Command1");
    QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(0));

    // Enter on a line is the next-line OK once the panel is gone.
    QTest::keyClick(m_window->lineBox(0), Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(1));
    QVERIFY(m_window->isVisible());

    // A line that gets the focus by a click becomes the current one.
    QTest::mouseClick(m_window->lineBox(4), Qt::LeftButton);
    QTRY_COMPARE(m_window->currentLine(), 4);
    click("Command1");
    QTRY_COMPARE(QApplication::focusWidget(), m_window->lineBox(5));
}

void TestLetterheadWindow::saveWithEmptyLineKeepsOneRow() {
    openWindow();
    enterCode(QStringLiteral("5"));
    m_window->lineBox(2)->clear();
    m_window->lineBox(1)->setText(QStringLiteral("  Via Roma 1  "));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    click("Cmd_Salva");

    QVERIFY(m_host->scripted.messages.isEmpty());
    const QList<QVariantList> stored = rows(5);
    QCOMPARE(stored.size(), 1);
    const QVariantList& row = stored.first();
    QCOMPARE(row.at(0).toString(), QStringLiteral("Autofficina Bernardi S.r.l."));
    QCOMPARE(row.at(1).toString(), QStringLiteral("Via Roma 1"));
    QVERIFY2(!row.at(2).isNull(), "an empty line is stored as empty text, not null");
    QCOMPARE(row.at(2).toString(), QString());
    QCOMPARE(row.at(7).toString(), ShownLines.at(7));
    QCOMPARE(rows(2).size(), 1);

    QFile flag(flagPath());
    QVERIFY(flag.open(QIODevice::ReadOnly));
    QCOMPARE(flag.readAll(), QByteArray("SI\r\n"));
    QVERIFY(QFileInfo(flagPath()).lastModified() >= before);

    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Accepted));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestLetterheadWindow::saveNewCompanyReachesWatcherAndClients() {
    // An older flag that the save must replace with a newer one.
    {
        QFile old(flagPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("vecchio");
        old.setFileTime(QDateTime::currentDateTime().addDays(-3),
                        QFileDevice::FileModificationTime);
    }
    QVERIFY(m_host->codes.load(QStringLiteral("Data Source=") + databasePath(), true).ok());
    QVERIFY(!m_host->codes.matches(12));
    openWindow();
    enterCode(QStringLiteral("12"));
    m_window->lineBox(0)->setText(QStringLiteral("Nuova Ditta"));
    click("Cmd_Salva");
    QVERIFY(m_host->scripted.messages.isEmpty());
    QVERIFY(m_host->codes.matches(12));
    QVERIFY(m_host->codes.matches(5));
    QCOMPARE(rows(12).size(), 1);
    QCOMPARE(rows(12).first().at(0).toString(), QStringLiteral("Nuova Ditta"));
    QVERIFY(QFileInfo(flagPath()).lastModified() > QDateTime::currentDateTime().addSecs(-60));
    QFile flag(flagPath());
    QVERIFY(flag.open(QIODevice::ReadOnly));
    QCOMPARE(flag.readAll(), QByteArray("SI\r\n"));
}

void TestLetterheadWindow::saveAgainstLockedDatabaseKeepsOldRow() {
    openWindow();
    enterCode(QStringLiteral("5"));
    m_window->lineBox(0)->setText(QStringLiteral("Cambiata"));

    // Another program holds the database for writing for longer than the busy timeout.
    QSqlQuery lock(probe());
    QVERIFY2(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(lock.lastError().text()));
    click("Cmd_Salva");
    QVERIFY(lock.exec(QStringLiteral("COMMIT")));

    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY2(m_host->scripted.messages.first().startsWith(SaveFailed),
             qPrintable(m_host->scripted.messages.first()));
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_host->watcherRunning);
    QVERIFY(!QFile::exists(flagPath()));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    const QList<QVariantList> stored = rows(5);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().at(0).toString(), StoredLines.at(0));

    // Once the other program lets go, the same window saves.
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QCOMPARE(rows(5).first().at(0).toString(), QStringLiteral("Cambiata"));
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_host->watcherRunning);
}

void TestLetterheadWindow::failureAfterDeleteRollsBack() {
    // The delete succeeds, the insert is refused: the old row must come back.
    QSqlQuery trigger(probe());
    QVERIFY(trigger.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON Ditta BEGIN SELECT RAISE(ABORT, 'rifiutato'); "
        "END")));
    openWindow();
    enterCode(QStringLiteral("5"));
    m_window->lineBox(0)->setText(QStringLiteral("Cambiata"));
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY(m_host->scripted.messages.first().startsWith(SaveFailed));
    QCOMPARE(m_host->logged.size(), 1);
    const QList<QVariantList> stored = rows(5);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().at(0).toString(), StoredLines.at(0));
    QVERIFY(m_window->isVisible());
}

// Permissions do not stop root; the immutable attribute does, where the file system has it.
bool TestLetterheadWindow::makeDatabaseReadOnly() {
    if (geteuid() != 0)
        return QFile::setPermissions(databasePath(),
                                     QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    m_immutable =
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), databasePath()}) == 0;
    return m_immutable;
}

void TestLetterheadWindow::saveAgainstReadOnlyDatabaseKeepsOldRow() {
    openWindow();
    enterCode(QStringLiteral("5"));
    m_window->lineBox(0)->setText(QStringLiteral("Cambiata"));
    if (!makeDatabaseReadOnly())
        QSKIP("no way to make a file read-only for this user here");
    click("Cmd_Salva");
    QCOMPARE(m_host->scripted.messages.size(), 1);
    QVERIFY2(m_host->scripted.messages.first().startsWith(SaveFailed),
             qPrintable(m_host->scripted.messages.first()));
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_host->watcherRunning);
    QVERIFY(!QFile::exists(flagPath()));
    const QList<QVariantList> stored = rows(5);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().at(0).toString(), StoredLines.at(0));
}

void TestLetterheadWindow::everyWayOfClosingResumesWatcher_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("panel Annulla") << QStringLiteral("Command3");
    QTest::newRow("editor Annulla") << QStringLiteral("Cmd_Esci");
    QTest::newRow("close box on the panel") << QStringLiteral("close");
    QTest::newRow("close box in the editor") << QStringLiteral("editor-close");
    QTest::newRow("Escape") << QStringLiteral("escape");
    QTest::newRow("window destroyed") << QStringLiteral("destroy");
}

void TestLetterheadWindow::everyWayOfClosingResumesWatcher() {
    QFETCH(QString, how);
    openWindow();
    if (how == QLatin1String("Cmd_Esci") || how == QLatin1String("editor-close")) {
        enterCode(QStringLiteral("5"));
        m_window->lineBox(0)->setText(QStringLiteral("non salvata"));
    }
    // Closed with its close box, the editor asks before dropping the edited line.
    m_host->scripted.answers = {true};
    if (how == QLatin1String("Command3") || how == QLatin1String("Cmd_Esci"))
        click(qPrintable(how));
    else if (how == QLatin1String("escape"))
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
    else if (how == QLatin1String("destroy"))
        m_window.reset();
    else
        m_window->close();

    QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    if (m_window) {
        QVERIFY(!m_window->isVisible());
        m_window.reset();
        QCOMPARE(m_host->watcherCalls, (QList<bool>{false, true}));
    }
    QCOMPARE(rows(5).first().at(0).toString(), StoredLines.at(0));
    QVERIFY(!QFile::exists(flagPath()));
    QCOMPARE(m_host->scripted.questions.size(), how == QLatin1String("editor-close") ? 1 : 0);
}

void TestLetterheadWindow::editedLinesAreNotDroppedUnasked() {
    openWindow();
    enterCode(QStringLiteral("5"));
    // The 41st character is refused with a word, not silently.
    m_window->lineBox(2)->clear();
    QTest::keyClicks(m_window->lineBox(2), QString(41, QLatin1Char('x')));
    QCOMPARE(m_window->lineBox(2)->text().size(), 40);
    QCOMPARE(child<QLabel>("Lbl_Limite")->text(),
             QStringLiteral("La riga 3 \u00e8 piena: ogni riga tiene al massimo 40 caratteri."));
    // Answered No, the close box leaves the window and the edit where they were.
    m_window->close();
    QCOMPARE(m_host->scripted.questions,
             QStringList{QStringLiteral(
                 "Le righe modificate non sono state salvate. Uscire senza salvarle?")});
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->lineBox(2)->text(), QString(40, QLatin1Char('x')));
    QCOMPARE(m_host->watcherCalls, QList<bool>{false});
}

QTEST_MAIN(TestLetterheadWindow)
#include "tst_letterheadwindow.moc"
