// The message boxes a person meets: over their own window, in Italian, and a question that Enter
// answers with No.
#include "italiantranslation.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestWidgetPrompts : public QObject {
    Q_OBJECT

    QWidget* m_parent = nullptr;
    QStringList m_buttons; // the default one first

    // Waits for the next box to open, notes its parent and buttons, and presses Enter on it.
    void pressEnterOnNextBox() {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, poll, [this, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll->deleteLater();
            m_parent = box->parentWidget();
            m_buttons = {box->defaultButton()->text().remove(u'&')};
            for (QAbstractButton* b : box->buttons())
                m_buttons << b->text().remove(u'&');
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll->start(10);
    }

private slots:
    void boxesAreItalianOverTheirWindowAndEnterSaysNo() {
        QVERIFY2(installItalianTranslation(*qApp), "qtbase_it.qm (qt6-translations-l10n) missing");
        QWidget window;
        window.show();
        WidgetPrompts prompts(&window);
        pressEnterOnNextBox();
        QVERIFY(!prompts.question(QStringLiteral("La cartella non è vuota, Continuare?"), {}));
        QCOMPARE(m_parent, &window);
        QCOMPARE(m_buttons.takeFirst(), QStringLiteral("No"));
        m_buttons.sort();
        QCOMPARE(m_buttons, QStringList({"No", "Sì"}));
    }
};

QTEST_MAIN(TestWidgetPrompts)
#include "tst_widgetprompts.moc"
