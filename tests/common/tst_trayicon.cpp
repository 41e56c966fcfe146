#include "trayicon.h"
#include "userprompts.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QPixmap>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

namespace {
const QString MsgNoIcon = QStringLiteral(
    "Impossibile procedere prima di impostare un'icona da visualizzare (proprietà Icon).");
const QString MsgNoOwner = QStringLiteral(
    "Impossibile visualizzare l'icona prima di impostare un controllo (proprietà OwnerControl).");
const QString MsgOwnerWhileShown =
    QStringLiteral("Impossibile cambiare il controllo quando l'icona è gia attiva.");

struct Shown {
    QString text;
    UserPrompts::Icon icon;
};

class ScriptedPrompts : public UserPrompts {
public:
    QList<Shown> shown;
    void message(const QString& text, const QString&, Icon icon) override {
        shown.append({text, icon});
    }
    bool question(const QString&, const QString&) override { return false; }
    QString input(const QString&, const QString&) override { return QString(); }
};

// Stands in for a desktop with a notification area (the offscreen platform has none).
class DesktopTray : public TrayIcon {
public:
    using TrayIcon::TrayIcon;
    bool desktopHasTray() const override { return true; }
};

QIcon someIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

QString field(const QString& text, int length) {
    return (text + QChar(0)).leftJustified(length, QLatin1Char(' '), true);
}
} // namespace

class TestClsSysTray : public QObject {
    Q_OBJECT

private slots:
    void fixedField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxText");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short title") << "Messaggio" << 64 << 64 << field("Messaggio", 64);
        QTest::newRow("empty is the NUL alone") << "" << 64 << 64 << QString(QChar(0));
        QTest::newRow("title of 64 loses its NUL")
            << QString(64, 'a') << 64 << 64 << QString(64, 'a');
        QTest::newRow("title cut to 64") << QString(70, 'b') << 64 << 64 << QString(64, 'b');
        QTest::newRow("balloon text of 300")
            << QString(300, 'c') << 255 << 256 << QString(255, 'c') + QChar(0);
    }
    void fixedField() {
        QFETCH(QString, text);
        QFETCH(int, maxText);
        QFETCH(int, length);
        QFETCH(QString, expected);
        QCOMPARE(TrayIcon::fixedField(text, maxText, length), expected);
    }

    void tooltipField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString long130 = QString(100, 'x') + QString(30, 'y');
        QTest::newRow("short") << "Apri Programma" << field(" Apri Programma ", 128);
        QTest::newRow("130 characters: blank and the first 127, no terminator")
            << long130 << QLatin1Char(' ') + long130.left(127);
        QTest::newRow("126: both blanks, no terminator")
            << QString(126, 'z') << QLatin1Char(' ') + QString(126, 'z') + QLatin1Char(' ');
        QTest::newRow("125: just fits the terminator")
            << QString(125, 'z')
            << QLatin1Char(' ') + QString(125, 'z') + QLatin1Char(' ') + QChar(0);
        QTest::newRow("empty") << "" << QString(QChar(0));
    }
    void tooltipField() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        ScriptedPrompts prompts;
        TrayIcon tray(&prompts);
        tray.setToolTipText(text);
        QCOMPARE(tray.toolTipText(), expected);
        QCOMPARE(tray.toolTipText().size(), expected.size());
    }

    void balloonProperties() {
        ScriptedPrompts prompts;
        TrayIcon tray(&prompts);
        tray.setBalloonTitle(QString(65, 't'));
        tray.setBalloonToolTip(QStringLiteral("Questo è il contenuto del messaggio"));
        tray.setBalloonIcon(3);
        QCOMPARE(tray.balloonTitle(), QString(64, 't'));
        QCOMPARE(tray.balloonToolTip(),
                 field(QStringLiteral("Questo è il contenuto del messaggio"), 256));
        QCOMPARE(tray.balloonIcon(), 3);
        QVERIFY(prompts.shown.isEmpty());
    }

    void addNeedsIconThenOwner() {
        ScriptedPrompts prompts;
        QWidget owner;
        DesktopTray tray(&prompts);
        QVERIFY(!tray.add());
        tray.setOwnerControl(&owner);
        QVERIFY(!tray.add()); // the icon is checked first
        DesktopTray noOwner(&prompts);
        noOwner.setIcon(someIcon());
        QVERIFY(!noOwner.add());

        QCOMPARE(prompts.shown.size(), 3);
        QCOMPARE(prompts.shown[0].text, MsgNoIcon);
        QCOMPARE(prompts.shown[1].text, MsgNoIcon);
        QCOMPARE(prompts.shown[2].text, MsgNoOwner);
        for (const Shown& s : prompts.shown)
            QCOMPARE(s.icon, UserPrompts::Icon::Exclamation);
        QVERIFY(!tray.isShown() && !noOwner.isShown());
    }

    void ownerCannotChangeWhileShown() {
        ScriptedPrompts prompts;
        QWidget first, second;
        DesktopTray tray(&prompts);
        tray.setIcon(someIcon());
        tray.setOwnerControl(&first);
        QVERIFY(tray.add());
        QVERIFY(tray.isShown());

        tray.setOwnerControl(&second);
        QCOMPARE(tray.ownerControl(), &first);
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].text, MsgOwnerWhileShown);
        QCOMPARE(prompts.shown[0].icon, UserPrompts::Icon::Exclamation);

        QVERIFY(tray.add()); // a second add() keeps it counted as shown
        QVERIFY(tray.remove());
        QVERIFY(!tray.isShown());
        tray.setOwnerControl(&second);
        QCOMPARE(tray.ownerControl(), &second);
        QCOMPARE(prompts.shown.size(), 1);
    }

    void removeWhenNotShown() {
        ScriptedPrompts prompts;
        TrayIcon tray(&prompts);
        QVERIFY(tray.remove());
        QVERIFY(tray.remove());
        QVERIFY(prompts.shown.isEmpty());
        QVERIFY(!tray.findChild<QSystemTrayIcon*>()); // nothing was asked of the desktop
    }

    void changesWhileHiddenAppearAtNextShow() {
        ScriptedPrompts prompts;
        QWidget owner;
        DesktopTray tray(&prompts);
        tray.setIcon(someIcon());
        tray.setOwnerControl(&owner);
        tray.setToolTipText(QStringLiteral("prima"));
        QVERIFY(tray.add());
        auto* icon = tray.findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        QCOMPARE(icon->toolTip(), QStringLiteral("prima"));
        QVERIFY(icon->isVisible());

        tray.setToolTipText(QStringLiteral("subito")); // shown: applied at once
        QCOMPARE(icon->toolTip(), QStringLiteral("subito"));
        QVERIFY(tray.remove());
        QVERIFY(!icon->isVisible());
        tray.setToolTipText(QStringLiteral("dopo"));
        QCOMPARE(icon->toolTip(), QStringLiteral("subito"));
        QVERIFY(tray.add());
        QCOMPARE(icon->toolTip(), QStringLiteral("dopo"));
    }

    void onlyDoubleClickRestores_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("emitted");
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << 1;
        QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << 0;
        QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << 0;
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0;
    }
    void onlyDoubleClickRestores() {
        QFETCH(int, reason);
        QFETCH(int, emitted);
        ScriptedPrompts prompts;
        QWidget owner;
        DesktopTray tray(&prompts);
        tray.setIcon(someIcon());
        tray.setOwnerControl(&owner);
        QVERIFY(tray.add());
        QSignalSpy spy(&tray, &TrayIcon::doubleClicked);
        emit tray.findChild<QSystemTrayIcon*>()->activated(
            QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(spy.count(), emitted);
    }

    void withoutNotificationAreaTheWindowMinimises() {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("this desktop has a notification area");
        ScriptedPrompts prompts;
        QWidget window;
        window.setWindowIcon(someIcon());
        window.show();
        TrayIcon* tray = nullptr;
        hideToTray(tray, &window, nullptr, QStringLiteral("Apri il programma (Velarix CL)"),
                   &prompts);
        QVERIFY(tray);
        QVERIFY(!tray->isShown());
        QVERIFY(window.isMinimized());
        QVERIFY(!window.isHidden()); // still reachable from the task bar
        QVERIFY(prompts.shown.isEmpty());
        restoreFromTray(tray, &window, &prompts);
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
    }

    void hideAndRestoreSequence() {
        ScriptedPrompts prompts;
        QWidget window;
        window.setWindowIcon(someIcon());
        QWidget picture(&window);
        window.show();
        TrayIcon* tray = new DesktopTray(&prompts, &window);
        hideToTray(tray, &window, &picture, QStringLiteral("Apri Programma (Velarix CL)"),
                   &prompts);
        QVERIFY(tray->isShown());
        QVERIFY(window.isHidden());
        QCOMPARE(tray->ownerControl(), &picture);
        QCOMPARE(tray->toolTipText(), field(QStringLiteral(" Apri Programma (Velarix CL) "), 128));
        QCOMPARE(tray->balloonTitle(), field(QStringLiteral("Messaggio"), 64));
        QCOMPARE(tray->balloonIcon(), 3);

        restoreFromTray(tray, &window, &prompts);
        QVERIFY(!tray->isShown());
        QVERIFY(window.isVisible());

        // Hiding again works: the owner may be set once the icon is gone.
        hideToTray(tray, &window, &picture, QStringLiteral("x"), &prompts);
        QVERIFY(tray->isShown());
        QVERIFY(prompts.shown.isEmpty());

        // A second hand-off while the icon is already shown (the server's one-shot timer after
        // the user minimised the window) changes the tooltip and shows no message box.
        hideToTray(tray, &window, &picture, QStringLiteral("y"), &prompts);
        QVERIFY(tray->isShown());
        QVERIFY(window.isHidden());
        QCOMPARE(tray->toolTipText(), field(QStringLiteral(" y "), 128));
        QVERIFY(prompts.shown.isEmpty());
    }

    void unattendedRunsNeverShowBoxes() {
        // ctest runs every test with VELARIX_UNATTENDED=1.
        QVERIFY(qEnvironmentVariable("VELARIX_UNATTENDED") == QLatin1String("1"));
        QVERIFY(dynamic_cast<UnattendedPrompts*>(&WidgetPrompts::forProgram()));
        QCOMPARE(&WidgetPrompts::forProgram(), &WidgetPrompts::forProgram());
    }

    void windowWithoutIconIsNeverLost() {
        ScriptedPrompts prompts;
        QWidget window;
        window.show();
        TrayIcon* tray = new DesktopTray(&prompts, &window);
        QApplication::setWindowIcon(QIcon());
        hideToTray(tray, &window, nullptr, QStringLiteral("x"), &prompts);
        if (!window.windowIcon().isNull())
            QSKIP("the style gives every window an icon");
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].text, MsgNoIcon);
        QVERIFY(window.isMinimized());
    }
};

QTEST_MAIN(TestClsSysTray)
#include "tst_trayicon.moc"
