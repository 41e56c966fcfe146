// Helper for the scripts of the report tests and benchmarks:
//   reporttool sample KIND COMPANY PAGES DATABASE     one sample document (+ sample letterheads)
//   reporttool bodyonly KIND PAGES DATABASE [TEXT]    body-only pages, company 1; TEXT gets
//                                                     the same rows as Latin-1 text lines (for
//                                                     text-to-PDF peers)
//   reporttool print FOLDER REPORT COMPANY COPIES [PDFDIR]
//                                                     printDocument as the client calls it;
//                                                     prints the list and log lines and "status N"
//   reporttool pdf TEMPLATE DATABASE COMPANY OUT.pdf  the preview
#include "reportengine.h"
#include "reportpreview.h"
#include "sampledocument.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

namespace {
// Each command returns its error text, empty when it succeeded.
QString sample(const QStringList& a) {
    QString e = SampleDocument::clear(a.at(5));
    if (e.isEmpty())
        e = SampleDocument(a.at(2), a.at(3).toInt(), a.at(4).toInt()).write(a.at(5));
    if (e.isEmpty())
        e = SampleDocument::loadLetterheads(a.at(5));
    return e;
}

QString bodyOnly(const QStringList& a) {
    const SampleDocument doc = SampleDocument::bodyOnly(a.at(2), 1, a.at(3).toInt());
    QString e = SampleDocument::clear(a.at(4));
    if (e.isEmpty())
        e = doc.write(a.at(4));
    // Without its company's letterhead a document is not printed at all.
    if (e.isEmpty())
        e = SampleDocument::loadLetterheads(a.at(4));
    if (e.isEmpty() && a.size() == 6) {
        QByteArray text;
        for (const QString& line : doc.body)
            text += line.toLatin1() + '\n';
        QFile file(a.at(5));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            e = file.errorString();
    }
    return e;
}

int print(const QStringList& a, QTextStream& out) {
    ReportEngineHooks hooks;
    hooks.listAdd = [&](const QString& t) { out << "list: " << t << Qt::endl; };
    hooks.log = [&](const QString& t) { out << "log: " << t << Qt::endl; };
    hooks.archiveFailed = [&](const Failure& f, const QString& file) {
        out << "archive: " << f.description << " - " << file << Qt::endl;
    };
    ReportEngine engine(a.at(2), a.value(6), hooks);
    // The kind is the report name without its company and branch suffixes.
    const QString kind = a.at(3).section(u'_', 0, 0).section(u'-', 0, 0);
    const PrintRequest request{a.at(4).toInt(), a.at(3), kind, a.at(5).toInt(),
                               QStringLiteral("\\\\server\\Velarix\\Stampe\\") + a.at(3) +
                                   QStringLiteral(".001.PRN")};
    const int status = engine.printDocument(request).number;
    out << "status " << status << Qt::endl;
    return status == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList a = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString cmd = a.value(1);
    QString error;
    if (cmd == u"sample" && a.size() == 6)
        error = sample(a);
    else if (cmd == u"bodyonly" && (a.size() == 5 || a.size() == 6))
        error = bodyOnly(a);
    else if (cmd == u"print" && (a.size() == 6 || a.size() == 7))
        return print(a, out);
    else if (cmd == u"pdf" && a.size() == 6) {
        if (const Failure f = renderDocumentToPdf(a.at(2), a.at(3), a.at(4).toInt(), a.at(5)))
            error = QString::number(f.number) + u' ' + f.description;
    } else {
        err << "usage: reporttool sample|bodyonly|print|pdf ..." << Qt::endl;
        return 2;
    }
    if (error.isEmpty())
        return 0;
    err << error << Qt::endl;
    return 1;
}
