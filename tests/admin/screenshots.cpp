// admin-screenshots OUTPUT_FOLDER: shows the windows Copie and Dati Ditta with sample data and
// saves a picture of each, for a look at the layout. Run it under a real X server, for example
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bin/admin-screenshots /tmp/shots
#include "copieswindow.h"
#include "documentschema.h"
#include "fakeadminhost.h"
#include "letterheadwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
bool snap(QWidget* window, const QString& path) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    // grab() paints the widget itself; nothing to wait for once it is laid out and shown.
    return window->grab().save(path);
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Uso: admin-screenshots CARTELLA\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    QTemporaryDir program;
    QDir(program.path()).mkdir(QStringLiteral("Client"));
    QFile copies(program.filePath(QStringLiteral("Client/Copie.txt")));
    if (!copies.open(QIODevice::WriteOnly))
        return 1;
    copies.write("\\\\192.168.1.10\\Velarix\\Stampe\\\r\n2\r\n1\r\n1\r\n3\r\n1\r\n2\r\n1\r\n0\r\n");
    copies.close();
    if (DocumentSchema::create(program.filePath(QStringLiteral("Client/Documenti.mdb"))))
        return 1;
    FakeAdminHost host(program.filePath(QStringLiteral("Client")) + QLatin1Char('/'));

    bool ok = true;
    {
        CopiesWindow window(host, nullptr);
        ok &= snap(&window, out.filePath(QStringLiteral("copie.png")));
    }
    {
        LetterheadWindow window(host, nullptr);
        ok &= snap(&window, out.filePath(QStringLiteral("ditta-codice.png")));
        window.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("5"));
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        const QStringList lines = {QStringLiteral("Autofficina Bernardi S.r.l."),
                                   QStringLiteral("Via Garibaldi 12 - 20121 Milano - Italia"),
                                   QStringLiteral("20121 Milano (MI)"),
                                   QStringLiteral("P.IVA 01234567890"),
                                   QStringLiteral("Tel. 02 1234567"),
                                   QString(),
                                   QStringLiteral("Citt\u00e0 di Forl\u00ec \u20ac"),
                                   QString()};
        for (int i = 0; i < lines.size(); ++i)
            window.lineBox(i)->setText(lines.at(i));
        // A full line, typed: the window says it takes no more.
        QTest::keyClicks(window.lineBox(5),
                         QStringLiteral("Cod. Fisc. e P.IVA 01234567890 - REA MI-1"));
        ok &= snap(&window, out.filePath(QStringLiteral("ditta-righe.png")));
    }
    return ok ? 0 : 1;
}
