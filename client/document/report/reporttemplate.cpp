#include "reporttemplate.h"

#include "reporterrors.h"
#include "templatetokenizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <cmath>
#include <functional>

namespace {

const QString DefaultFont = QStringLiteral("default");

struct Range {
    int first = 0;
    int last = 0;
};

// Reads one statement into the template; every fault becomes a message for "<file>:<line>: ".
class StatementReader {
public:
    StatementReader(const TemplateStatement& st, ReportTemplate& tpl, const QString& baseFolder)
        : m_st(st), m_tpl(tpl), m_baseFolder(baseFolder) {}

    QString error;

    bool read(int lineNumber) {
        const QString& kw = m_st.keyword;
        m_item = TemplateItem();
        m_item.sourceLine = lineNumber;
        bool ok = false;
        if (kw == u"page")
            ok = readPage();
        else if (kw == u"margins")
            ok = readMargins();
        else if (kw == u"font")
            ok = readFont();
        else if (kw == u"logo")
            ok = readLogo();
        else if (kw == u"letterhead")
            ok = readLines(TemplateItem::Kind::Letterhead, 8);
        else if (kw == u"header")
            ok = readLines(TemplateItem::Kind::Header, 16);
        else if (kw == u"totals")
            ok = readLines(TemplateItem::Kind::Totals, 14);
        else if (kw == u"body")
            ok = readBody();
        else if (kw == u"text" || kw == u"pagenumber")
            ok = readText();
        else if (kw == u"line")
            ok = readLine();
        else if (kw == u"box")
            ok = readBox();
        else
            return fail(QStringLiteral("parola chiave sconosciuta \"%1\"").arg(kw));
        return ok;
    }

private:
    bool fail(const QString& message) {
        error = message;
        return false;
    }

    // Checks that only the allowed options, flags and texts are present.
    bool allow(const QStringList& options, const QStringList& flags = {}, int maxTexts = 0) {
        QSet<QString> seen;
        for (const auto& [key, value] : m_st.options) {
            if (!options.contains(key))
                return fail(
                    QStringLiteral("opzione sconosciuta \"%1\" per \"%2\"").arg(key, m_st.keyword));
            if (seen.contains(key))
                return fail(QStringLiteral("opzione \"%1\" ripetuta").arg(key));
            seen.insert(key);
        }
        for (const QString& f : m_st.flags) {
            if (!flags.contains(f))
                return fail(
                    QStringLiteral("parola sconosciuta \"%1\" per \"%2\"").arg(f, m_st.keyword));
        }
        if (m_st.texts.size() > maxTexts)
            return fail(
                maxTexts == 0
                    ? QStringLiteral("\"%1\" non accetta testo tra virgolette").arg(m_st.keyword)
                    : QStringLiteral("troppi testi tra virgolette"));
        return true;
    }

    bool has(const QString& key) const {
        for (const auto& kv : m_st.options)
            if (kv.first == key)
                return true;
        return false;
    }

    QString value(const QString& key) const {
        for (const auto& kv : m_st.options)
            if (kv.first == key)
                return kv.second;
        return {};
    }

    bool require(const QStringList& keys) {
        for (const QString& k : keys)
            if (!has(k))
                return fail(QStringLiteral("manca l'opzione \"%1\"").arg(k));
        return true;
    }

    // A length in millimetres (decimal point or comma).
    bool number(const QString& key, double& out, double min, double max) {
        if (!has(key))
            return true;
        QString v = value(key);
        v.replace(u',', u'.');
        bool ok = false;
        const double d = v.toDouble(&ok);
        // "nan" reads as a number but passes every limit test.
        if (!ok || std::isnan(d))
            return fail(
                QStringLiteral("\"%1\" non è un numero (opzione \"%2\")").arg(value(key), key));
        if (d < min || d > max)
            return fail(QStringLiteral("%1=%2 fuori dai limiti (%3 - %4)")
                            .arg(key, value(key), QString::number(min), QString::number(max)));
        out = d;
        return true;
    }

    bool position(const QString& kx, const QString& ky, double& x, double& y) {
        const QSizeF paper = m_tpl.paperSize();
        return number(kx, x, 0, paper.width()) && number(ky, y, 0, paper.height());
    }

    bool color(const QString& key, QColor& out) {
        if (!has(key))
            return true;
        const QColor c(value(key));
        if (!c.isValid())
            return fail(QStringLiteral("colore non valido \"%1\"").arg(value(key)));
        out = c;
        return true;
    }

    bool pages() {
        if (!has(QStringLiteral("pages")))
            return true;
        const QString v = value(QStringLiteral("pages")).toLower();
        if (v == u"all")
            m_item.pages = TemplateItem::Pages::All;
        else if (v == u"first")
            m_item.pages = TemplateItem::Pages::First;
        else if (v == u"last")
            m_item.pages = TemplateItem::Pages::Last;
        else if (v == u"notlast")
            m_item.pages = TemplateItem::Pages::NotLast;
        else
            return fail(QStringLiteral("pages=%1 non valido (all, first, last, notlast)").arg(v));
        return true;
    }

    bool alignment() {
        if (!has(QStringLiteral("align")))
            return true;
        const QString v = value(QStringLiteral("align")).toLower();
        if (v == u"left")
            m_item.align = Qt::AlignLeft;
        else if (v == u"center")
            m_item.align = Qt::AlignHCenter;
        else if (v == u"right")
            m_item.align = Qt::AlignRight;
        else
            return fail(QStringLiteral("align=%1 non valido (left, center, right)").arg(v));
        return true;
    }

    bool fontName() {
        m_item.font = has(QStringLiteral("font")) ? value(QStringLiteral("font")) : DefaultFont;
        return true;
    }

    bool range(int maxField) {
        const QString v = value(QStringLiteral("line"));
        const QStringList parts = v.split(QStringLiteral(".."));
        bool ok1 = false, ok2 = false;
        int a = 0, b = 0;
        if (parts.size() == 1) {
            a = b = parts.at(0).toInt(&ok1);
            ok2 = ok1;
        } else if (parts.size() == 2) {
            a = parts.at(0).toInt(&ok1);
            b = parts.at(1).toInt(&ok2);
        }
        if (!ok1 || !ok2)
            return fail(QStringLiteral("line=%1 non valido (un numero o un intervallo come 1..%2)")
                            .arg(v)
                            .arg(maxField));
        if (a < 1 || b > maxField || a > b)
            return fail(QStringLiteral("line=%1 fuori dai limiti 1..%2").arg(v).arg(maxField));
        m_item.first = a;
        m_item.last = b;
        return true;
    }

    // A block of lines must not run off the sheet when its step is known.
    bool fitsVertically(int count) {
        if (m_item.step <= 0)
            return true;
        const double bottom = m_item.y + m_item.step * count;
        if (bottom > m_tpl.paperSize().height() + 0.01)
            return fail(QStringLiteral("le %1 righe finiscono a %2 mm, oltre il fondo del foglio")
                            .arg(count)
                            .arg(bottom, 0, 'f', 1));
        return true;
    }

    bool readPage() {
        if (!allow({QStringLiteral("size"), QStringLiteral("orientation")}))
            return false;
        if (has(QStringLiteral("size"))) {
            const QString v = value(QStringLiteral("size")).toLower();
            static const QHash<QString, QPageSize::PageSizeId> sizes = {
                {QStringLiteral("a3"), QPageSize::A3},
                {QStringLiteral("a4"), QPageSize::A4},
                {QStringLiteral("a5"), QPageSize::A5},
                {QStringLiteral("letter"), QPageSize::Letter},
                {QStringLiteral("legal"), QPageSize::Legal}};
            if (!sizes.contains(v))
                return fail(QStringLiteral("formato \"%1\" sconosciuto (A3, A4, A5, Letter, Legal)")
                                .arg(value(QStringLiteral("size"))));
            m_tpl.pageSize = QPageSize(sizes.value(v));
        }
        if (has(QStringLiteral("orientation"))) {
            const QString v = value(QStringLiteral("orientation")).toLower();
            if (v == u"portrait")
                m_tpl.orientation = QPageLayout::Portrait;
            else if (v == u"landscape")
                m_tpl.orientation = QPageLayout::Landscape;
            else
                return fail(
                    QStringLiteral("orientation=%1 non valido (portrait, landscape)").arg(v));
        }
        return true;
    }

    bool readMargins() {
        if (!allow({QStringLiteral("left"), QStringLiteral("top"), QStringLiteral("right"),
                    QStringLiteral("bottom")}))
            return false;
        QMarginsF m = m_tpl.margins;
        double l = m.left(), t = m.top(), r = m.right(), b = m.bottom();
        if (!number(QStringLiteral("left"), l, 0, 100) ||
            !number(QStringLiteral("top"), t, 0, 100) ||
            !number(QStringLiteral("right"), r, 0, 100) ||
            !number(QStringLiteral("bottom"), b, 0, 100))
            return false;
        const QSizeF paper = m_tpl.paperSize();
        if (l + r >= paper.width() - 20 || t + b >= paper.height() - 20)
            return fail(QStringLiteral("margini troppo grandi per il foglio"));
        m_tpl.margins = QMarginsF(l, t, r, b);
        return true;
    }

    bool readFont() {
        if (!allow({QStringLiteral("name"), QStringLiteral("family"), QStringLiteral("size")},
                   {QStringLiteral("bold"), QStringLiteral("italic")}) ||
            !require({QStringLiteral("name"), QStringLiteral("family"), QStringLiteral("size")}))
            return false;
        TemplateFont f;
        f.family = value(QStringLiteral("family"));
        if (!number(QStringLiteral("size"), f.size, 3, 72))
            return false;
        f.bold = m_st.flags.contains(QStringLiteral("bold"));
        f.italic = m_st.flags.contains(QStringLiteral("italic"));
        m_tpl.fonts.insert(value(QStringLiteral("name")), f);
        return true;
    }

    bool readLogo() {
        if (!allow({QStringLiteral("file"), QStringLiteral("x"), QStringLiteral("y"),
                    QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("pages"),
                    QStringLiteral("align")}) ||
            !require({QStringLiteral("file"), QStringLiteral("x"), QStringLiteral("y"),
                      QStringLiteral("width"), QStringLiteral("height")}))
            return false;
        m_item.kind = TemplateItem::Kind::Logo;
        if (!position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y) ||
            !number(QStringLiteral("width"), m_item.width, 1, 1000) ||
            !number(QStringLiteral("height"), m_item.height, 1, 1000) || !pages() || !alignment())
            return false;
        const QString file = value(QStringLiteral("file"));
        const QString path = QDir(m_baseFolder).filePath(file);
        if (!QFileInfo::exists(path))
            return fail(QStringLiteral("immagine \"%1\" non trovata").arg(path));
        if (!m_item.image.load(path))
            return fail(QStringLiteral("immagine \"%1\" non leggibile").arg(path));
        m_item.text = path;
        m_tpl.items << m_item;
        return true;
    }

    bool readLines(TemplateItem::Kind kind, int maxField) {
        if (!allow({QStringLiteral("line"), QStringLiteral("x"), QStringLiteral("y"),
                    QStringLiteral("step"), QStringLiteral("width"), QStringLiteral("font"),
                    QStringLiteral("align"), QStringLiteral("pages"), QStringLiteral("color")}) ||
            !require({QStringLiteral("line"), QStringLiteral("x"), QStringLiteral("y")}))
            return false;
        m_item.kind = kind;
        if (kind == TemplateItem::Kind::Totals)
            m_item.pages = TemplateItem::Pages::Last;
        if (!range(maxField) ||
            !position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y) ||
            !number(QStringLiteral("step"), m_item.step, 0.5, 100) ||
            !number(QStringLiteral("width"), m_item.width, 1, 1000) || !fontName() ||
            !alignment() || !pages() || !color(QStringLiteral("color"), m_item.color) ||
            !fitsVertically(m_item.last - m_item.first + 1))
            return false;
        m_tpl.items << m_item;
        return true;
    }

    bool readBody() {
        if (!allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("rows"),
                    QStringLiteral("step"), QStringLiteral("width"), QStringLiteral("font"),
                    QStringLiteral("color"), QStringLiteral("stripe")}) ||
            !require({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("rows")}))
            return false;
        if (m_tpl.bodyItem >= 0)
            return fail(QStringLiteral("\"body\" ripetuto (già alla riga %1)")
                            .arg(m_tpl.items.at(m_tpl.bodyItem).sourceLine));
        m_item.kind = TemplateItem::Kind::Body;
        double rows = 0;
        if (!position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y) ||
            !number(QStringLiteral("rows"), rows, 1, 500) ||
            !number(QStringLiteral("step"), m_item.step, 0.5, 100) ||
            !number(QStringLiteral("width"), m_item.width, 1, 1000) || !fontName() ||
            !color(QStringLiteral("color"), m_item.color) ||
            !color(QStringLiteral("stripe"), m_item.fill))
            return false;
        if (rows != static_cast<int>(rows))
            return fail(QStringLiteral("rows=%1 deve essere un numero intero")
                            .arg(value(QStringLiteral("rows"))));
        m_item.rows = static_cast<int>(rows);
        if (!fitsVertically(m_item.rows))
            return false;
        m_tpl.bodyItem = static_cast<int>(m_tpl.items.size());
        m_tpl.items << m_item;
        return true;
    }

    bool readText() {
        const bool pageNumber = m_st.keyword == u"pagenumber";
        if (!allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                    QStringLiteral("font"), QStringLiteral("align"), QStringLiteral("pages"),
                    QStringLiteral("color")},
                   {}, 1) ||
            !require({QStringLiteral("x"), QStringLiteral("y")}))
            return false;
        if (m_st.texts.isEmpty() && !pageNumber)
            return fail(QStringLiteral("\"text\" senza testo tra virgolette"));
        m_item.kind = TemplateItem::Kind::Text;
        m_item.text = m_st.texts.isEmpty() ? QStringLiteral("Pagina {page} di {pages}")
                                           : m_st.texts.constFirst();
        if (!position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y) ||
            !number(QStringLiteral("width"), m_item.width, 1, 1000) || !fontName() ||
            !alignment() || !pages() || !color(QStringLiteral("color"), m_item.color))
            return false;
        m_tpl.items << m_item;
        return true;
    }

    bool readLine() {
        if (!allow({QStringLiteral("x1"), QStringLiteral("y1"), QStringLiteral("x2"),
                    QStringLiteral("y2"), QStringLiteral("pen"), QStringLiteral("color"),
                    QStringLiteral("pages")}) ||
            !require({QStringLiteral("x1"), QStringLiteral("y1"), QStringLiteral("x2"),
                      QStringLiteral("y2")}))
            return false;
        m_item.kind = TemplateItem::Kind::Line;
        if (!position(QStringLiteral("x1"), QStringLiteral("y1"), m_item.x, m_item.y) ||
            !position(QStringLiteral("x2"), QStringLiteral("y2"), m_item.x2, m_item.y2) ||
            !number(QStringLiteral("pen"), m_item.pen, 0.05, 10) ||
            !color(QStringLiteral("color"), m_item.color) || !pages())
            return false;
        m_tpl.items << m_item;
        return true;
    }

    bool readBox() {
        if (!allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                    QStringLiteral("height"), QStringLiteral("pen"), QStringLiteral("color"),
                    QStringLiteral("fill"), QStringLiteral("radius"), QStringLiteral("pages")}) ||
            !require({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                      QStringLiteral("height")}))
            return false;
        m_item.kind = TemplateItem::Kind::Box;
        if (!position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y) ||
            !number(QStringLiteral("width"), m_item.width, 0.1, 1000) ||
            !number(QStringLiteral("height"), m_item.height, 0.1, 1000) ||
            !number(QStringLiteral("pen"), m_item.pen, 0, 10) ||
            !number(QStringLiteral("radius"), m_item.radius, 0, 50) ||
            !color(QStringLiteral("color"), m_item.color) ||
            !color(QStringLiteral("fill"), m_item.fill) || !pages())
            return false;
        m_tpl.items << m_item;
        return true;
    }

    const TemplateStatement& m_st;
    ReportTemplate& m_tpl;
    QString m_baseFolder;
    TemplateItem m_item;
};

Failure templateError(const QString& fileName, int line, const QString& message) {
    return {ReportError::BadTemplate,
            QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(message)};
}

} // namespace

QSizeF ReportTemplate::paperSize() const {
    const QSizeF s = pageSize.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}

QRectF ReportTemplate::printableArea() const {
    return QRectF(QPointF(0, 0), paperSize()).marginsRemoved(margins);
}

Failure ReportTemplate::load(const QString& path, ReportTemplate& out) {
    QFile file(path);
    if (!file.exists())
        return {ReportError::MissingTemplate,
                QStringLiteral("Modello di stampa non trovato: %1").arg(path)};
    if (!file.open(QIODevice::ReadOnly))
        return {ReportError::BadTemplate,
                QStringLiteral("%1: non leggibile (%2)").arg(path, file.errorString())};
    const QByteArray bytes = file.readAll();
    file.close();

    // Templates are UTF-8; a file saved in another encoding is named by its first bad line.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        const QList<QByteArray> lines = bytes.split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            QStringDecoder lineDecoder(QStringDecoder::Utf8);
            (void)lineDecoder(lines.at(i)).operator QString();
            if (lineDecoder.hasError())
                return templateError(
                    path, i + 1, QStringLiteral("testo non in UTF-8 (salvare il file come UTF-8)"));
        }
        return templateError(path, 1, QStringLiteral("testo non in UTF-8"));
    }
    return parse(text, path, QFileInfo(path).absolutePath(), out);
}

Failure ReportTemplate::parse(const QString& text, const QString& fileName,
                              const QString& baseFolder, ReportTemplate& out) {
    ReportTemplate tpl;
    tpl.fonts.insert(DefaultFont,
                     TemplateFont{QStringLiteral("Liberation Mono"), 9.0, false, false});

    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QStringList lines = body.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        TemplateStatement st;
        QString error;
        if (!TemplateTokenizer::split(line, st, error))
            return templateError(fileName, i + 1, error);
        if (st.keyword.isEmpty())
            continue;
        StatementReader reader(st, tpl, baseFolder);
        if (!reader.read(i + 1))
            return templateError(fileName, i + 1, reader.error);
    }

    for (const TemplateItem& item : std::as_const(tpl.items)) {
        if (!item.font.isEmpty() && !tpl.fonts.contains(item.font))
            return templateError(
                fileName, item.sourceLine,
                QStringLiteral("carattere \"%1\" non dichiarato (manca la riga font name=%1)")
                    .arg(item.font));
    }
    int lastLine = static_cast<int>(lines.size());
    if (lastLine > 1 && lines.constLast().isEmpty())
        --lastLine; // the newline that ends the file starts no line
    if (tpl.bodyItem < 0)
        return templateError(fileName, lastLine,
                             QStringLiteral("manca la riga \"body\" (posizione delle righe)"));
    out = tpl;
    return Failure::none();
}
