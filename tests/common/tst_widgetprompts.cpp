// The message boxes a person meets: over their own window, in Italian, and a question that Enter
// answers with No.
#include "italiantranslation.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

struct SeenBox {
    QWidget* parent = nullptr;
    QString defaultButton;
    QStringList buttons;
};

// Waits for the next message box to open, notes what it shows and presses Enter on it.
void pressEnterOnNextBox(SeenBox* seen) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        seen->parent = box->parentWidget();
        if (box->defaultButton())
            seen->defaultButton = box->defaultButton()->text().remove(u'&');
        for (QAbstractButton* b : box->buttons())
            seen->buttons << b->text().remove(u'&');
        QTest::keyClick(box, Qt::Key_Return);
    });
    poll->start(10);
}

} // namespace

class TestWidgetPrompts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(installItalianTranslation(*qApp),
                 "Qt's Italian translation is missing (qt6-translations-l10n)");
    }

    void questionIsItalianAndEnterSaysNo() {
        QWidget window;
        window.show();
        WidgetPrompts prompts(&window);
        SeenBox seen;
        pressEnterOnNextBox(&seen);
        QVERIFY(!prompts.question(
            QStringLiteral("Attenzione!! La cartella non è vuota, Continuare?"), QString()));
        QCOMPARE(seen.parent, &window);
        QCOMPARE(seen.defaultButton, QStringLiteral("No"));
        QVERIFY2(seen.buttons.contains(QStringLiteral("Sì")), qPrintable(seen.buttons.join(u',')));
    }

    void boxOpensOverTheDialogInFront() {
        QWidget window;
        window.show();
        QDialog settings(&window);
        settings.setModal(true);
        settings.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &settings);
        WidgetPrompts prompts(&window);
        SeenBox seen;
        pressEnterOnNextBox(&seen);
        prompts.message(QStringLiteral("Cartella non valida"), QString(), UserPrompts::Icon::None);
        QCOMPARE(seen.parent, &settings);
        settings.close();

        // With nothing in front, the program's window; the window gone, no parent at all.
        auto* mainWindow = new QWidget;
        prompts.setWindow(mainWindow);
        QCOMPARE(prompts.boxParent(), mainWindow);
        delete mainWindow;
        QCOMPARE(prompts.boxParent(), nullptr);
    }
};

QTEST_MAIN(TestWidgetPrompts)
#include "tst_widgetprompts.moc"
