// "Impostazioni → Stampanti" as a person uses it: what it shows of the workstation's Stampanti.txt
// (a queue that has gone stays, marked), what "Salva" writes, and a folder it refuses.
#include "printerswindow.h"
#include "scriptedprompts.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestPrintersWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("Stampanti.txt"); }
    QByteArray content() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void put(const QByteArray& bytes) {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    template <typename W> static W* child(QWidget& w, const char* name) {
        auto* c = w.findChild<W*>(name);
        if (!c)
            qFatal("%s missing", name);
        return c;
    }

private slots:
    void showsAndSavesTheChoices() {
        put("ODL=Laser_Officina\r\nFVV=Vecchia_Laser\r\nARCHIVIO=" + m_dir.path().toLocal8Bit() +
            "\r\n");
        ScriptedPrompts prompts;
        PrintersWindow window(path(), {"Laser_Officina", "Ufficio"}, prompts);
        auto* odl = child<QComboBox>(window, "Cmb_ODL");
        auto* pre = child<QComboBox>(window, "Cmb_PRE");
        auto* fvv = child<QComboBox>(window, "Cmb_FVV");
        QCOMPARE(odl->currentText(), QString("Laser_Officina"));
        QCOMPARE(pre->currentText(), QString("(stampante predefinita)"));
        QCOMPARE(fvv->currentText(), QString("Vecchia_Laser (non trovata)"));
        QCOMPARE(pre->count(), 3); // the default printer and the two queues
        QCOMPARE(child<QLineEdit>(window, "Txt_Archivio")->text(), m_dir.path());

        // Saving untouched keeps the vanished queue; then PRE goes to Ufficio, ODL back to the
        // default printer, and the archive is switched off.
        QTest::mouseClick(child<QPushButton>(window, "Cmd_Salva"), Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(content(), "ODL=Laser_Officina\r\nFVV=Vecchia_Laser\r\nARCHIVIO=" +
                                m_dir.path().toLocal8Bit() + "\r\n");
        pre->setCurrentIndex(pre->findText("Ufficio"));
        odl->setCurrentIndex(0);
        child<QLineEdit>(window, "Txt_Archivio")->clear();
        QTest::mouseClick(child<QPushButton>(window, "Cmd_Salva"), Qt::LeftButton);
        QCOMPARE(content(), QByteArray("PRE=Ufficio\r\nFVV=Vecchia_Laser\r\n"));
        QVERIFY(prompts.messages.isEmpty());
    }

    void refusesAFolderThatDoesNotExist() {
        put("ODL=Ufficio\r\n");
        ScriptedPrompts prompts;
        PrintersWindow window(path(), {"Ufficio"}, prompts);
        child<QLineEdit>(window, "Txt_Archivio")->setText(m_dir.filePath("non/esiste"));
        QTest::mouseClick(child<QPushButton>(window, "Cmd_Salva"), Qt::LeftButton);
        QCOMPARE(prompts.messages, QStringList{"|Cartella archivio non valida"});
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QCOMPARE(content(), QByteArray("ODL=Ufficio\r\n"));
        // "Annulla" leaves the file as it was.
        QTest::mouseClick(child<QPushButton>(window, "Cmd_Esci"), Qt::LeftButton);
        QCOMPARE(content(), QByteArray("ODL=Ufficio\r\n"));
    }
};

QTEST_MAIN(TestPrintersWindow)
#include "tst_printerswindow.moc"
