#include "statementreader.h"

#include "reporterrors.h"
#include "reporttemplate.h"
#include "templatetokenizer.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <cmath>
#include <initializer_list>

namespace {

Failure bad(const QString& reason) {
    return {ReportError::BadTemplate, reason};
}

// Checks made one after the other: the first fault in the order written is the one reported.
Failure firstFailure(std::initializer_list<Failure> checks) {
    for (const Failure& f : checks)
        if (f)
            return f;
    return Failure::none();
}

// Reads one statement into the template.
class StatementReader {
public:
    StatementReader(const TemplateStatement& st, ReportTemplate& tpl, const QString& baseFolder)
        : m_st(st), m_tpl(tpl), m_baseFolder(baseFolder) {}

    Failure read(int lineNumber) {
        const QString& kw = m_st.keyword;
        m_item = TemplateItem();
        m_item.sourceLine = lineNumber;
        if (kw == u"page")
            return readPage();
        if (kw == u"margins")
            return readMargins();
        if (kw == u"font")
            return readFont();
        if (kw == u"logo")
            return readLogo();
        if (kw == u"letterhead")
            return readLines(TemplateItem::Kind::Letterhead, 8);
        if (kw == u"header")
            return readLines(TemplateItem::Kind::Header, 16);
        if (kw == u"totals")
            return readLines(TemplateItem::Kind::Totals, 14);
        if (kw == u"body")
            return readBody();
        if (kw == u"text" || kw == u"pagenumber")
            return readText();
        if (kw == u"line")
            return readLine();
        if (kw == u"box")
            return readBox();
        return bad(QStringLiteral("parola chiave sconosciuta \"%1\"").arg(kw));
    }

private:
    // Only the allowed options, flags and texts are present.
    Failure allow(const QStringList& options, const QStringList& flags = {}, int maxTexts = 0) {
        QSet<QString> seen;
        for (const auto& [key, value] : m_st.options) {
            if (!options.contains(key))
                return bad(
                    QStringLiteral("opzione sconosciuta \"%1\" per \"%2\"").arg(key, m_st.keyword));
            if (seen.contains(key))
                return bad(QStringLiteral("opzione \"%1\" ripetuta").arg(key));
            seen.insert(key);
        }
        for (const QString& f : m_st.flags) {
            if (!flags.contains(f))
                return bad(
                    QStringLiteral("parola sconosciuta \"%1\" per \"%2\"").arg(f, m_st.keyword));
        }
        if (m_st.texts.size() > maxTexts)
            return bad(
                maxTexts == 0
                    ? QStringLiteral("\"%1\" non accetta testo tra virgolette").arg(m_st.keyword)
                    : QStringLiteral("troppi testi tra virgolette"));
        return Failure::none();
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

    Failure require(const QStringList& keys) const {
        for (const QString& k : keys)
            if (!has(k))
                return bad(QStringLiteral("manca l'opzione \"%1\"").arg(k));
        return Failure::none();
    }

    // A length in millimetres (decimal point or comma).
    Failure number(const QString& key, double& out, double min, double max) const {
        if (!has(key))
            return Failure::none();
        QString v = value(key);
        v.replace(u',', u'.');
        bool ok = false;
        const double d = v.toDouble(&ok);
        // "nan" reads as a number but passes every limit test.
        if (!ok || std::isnan(d))
            return bad(
                QStringLiteral("\"%1\" non è un numero (opzione \"%2\")").arg(value(key), key));
        if (d < min || d > max)
            return bad(QStringLiteral("%1=%2 fuori dai limiti (%3 - %4)")
                           .arg(key, value(key), QString::number(min), QString::number(max)));
        out = d;
        return Failure::none();
    }

    Failure position(const QString& kx, const QString& ky, double& x, double& y) const {
        const QSizeF paper = m_tpl.paperSize();
        return firstFailure({number(kx, x, 0, paper.width()), number(ky, y, 0, paper.height())});
    }

    Failure color(const QString& key, QColor& out) const {
        if (!has(key))
            return Failure::none();
        const QColor c(value(key));
        if (!c.isValid())
            return bad(QStringLiteral("colore non valido \"%1\"").arg(value(key)));
        out = c;
        return Failure::none();
    }

    // key=one of the names (any case); a fault lists them.
    template <typename T>
    Failure choice(const QString& key, const QList<QPair<QString, T>>& names, T& out) const {
        if (!has(key))
            return Failure::none();
        const QString v = value(key).toLower();
        QStringList listed;
        for (const auto& [name, meaning] : names) {
            if (v == name) {
                out = meaning;
                return Failure::none();
            }
            listed << name;
        }
        return bad(QStringLiteral("%1=%2 non valido (%3)").arg(key, v, listed.join(u", ")));
    }

    Failure pages() {
        using P = TemplateItem::Pages;
        return choice<P>(QStringLiteral("pages"),
                         {{QStringLiteral("all"), P::All},
                          {QStringLiteral("first"), P::First},
                          {QStringLiteral("last"), P::Last},
                          {QStringLiteral("notlast"), P::NotLast}},
                         m_item.pages);
    }

    Failure alignment() {
        return choice<Qt::Alignment>(QStringLiteral("align"),
                                     {{QStringLiteral("left"), Qt::AlignLeft},
                                      {QStringLiteral("center"), Qt::AlignHCenter},
                                      {QStringLiteral("right"), Qt::AlignRight}},
                                     m_item.align);
    }

    void fontName() {
        m_item.font = has(QStringLiteral("font")) ? value(QStringLiteral("font"))
                                                  : ReportTemplate::DefaultFont;
    }

    // line=N or line=A..B, field numbers from 1 to maxField.
    Failure range(int maxField) {
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
            return bad(QStringLiteral("line=%1 non valido (un numero o un intervallo come 1..%2)")
                           .arg(v)
                           .arg(maxField));
        if (a < 1 || b > maxField || a > b)
            return bad(QStringLiteral("line=%1 fuori dai limiti 1..%2").arg(v).arg(maxField));
        m_item.first = a;
        m_item.last = b;
        return Failure::none();
    }

    // A block of lines must not run off the sheet when its step is known.
    Failure fitsVertically(int count) const {
        if (m_item.step <= 0)
            return Failure::none();
        const double bottom = m_item.y + m_item.step * count;
        if (bottom > m_tpl.paperSize().height() + 0.01)
            return bad(QStringLiteral("le %1 righe finiscono a %2 mm, oltre il fondo del foglio")
                           .arg(count)
                           .arg(bottom, 0, 'f', 1));
        return Failure::none();
    }

    Failure readPage();
    Failure readMargins();
    Failure readFont();
    Failure readLogo();
    Failure readLines(TemplateItem::Kind kind, int maxField);
    Failure readBody();
    Failure readText();
    Failure readLine();
    Failure readBox();

    // Adds the item read when every check passed.
    Failure addItem(const Failure& checks = Failure::none()) {
        if (checks)
            return checks;
        m_tpl.items << m_item;
        return Failure::none();
    }

    const TemplateStatement& m_st;
    ReportTemplate& m_tpl;
    QString m_baseFolder;
    TemplateItem m_item;
};

Failure StatementReader::readPage() {
    if (Failure f = allow({QStringLiteral("size"), QStringLiteral("orientation")}))
        return f;
    if (has(QStringLiteral("size"))) {
        const QString v = value(QStringLiteral("size")).toLower();
        static const QHash<QString, QPageSize::PageSizeId> sizes = {
            {QStringLiteral("a3"), QPageSize::A3},
            {QStringLiteral("a4"), QPageSize::A4},
            {QStringLiteral("a5"), QPageSize::A5},
            {QStringLiteral("letter"), QPageSize::Letter},
            {QStringLiteral("legal"), QPageSize::Legal}};
        if (!sizes.contains(v))
            return bad(QStringLiteral("formato \"%1\" sconosciuto (A3, A4, A5, Letter, Legal)")
                           .arg(value(QStringLiteral("size"))));
        m_tpl.pageSize = QPageSize(sizes.value(v));
    }
    return choice<QPageLayout::Orientation>(QStringLiteral("orientation"),
                                            {{QStringLiteral("portrait"), QPageLayout::Portrait},
                                             {QStringLiteral("landscape"), QPageLayout::Landscape}},
                                            m_tpl.orientation);
}

Failure StatementReader::readMargins() {
    const QMarginsF m = m_tpl.margins;
    double l = m.left(), t = m.top(), r = m.right(), b = m.bottom();
    if (Failure f = firstFailure({allow({QStringLiteral("left"), QStringLiteral("top"),
                                         QStringLiteral("right"), QStringLiteral("bottom")}),
                                  number(QStringLiteral("left"), l, 0, 100),
                                  number(QStringLiteral("top"), t, 0, 100),
                                  number(QStringLiteral("right"), r, 0, 100),
                                  number(QStringLiteral("bottom"), b, 0, 100)}))
        return f;
    const QSizeF paper = m_tpl.paperSize();
    if (l + r >= paper.width() - 20 || t + b >= paper.height() - 20)
        return bad(QStringLiteral("margini troppo grandi per il foglio"));
    m_tpl.margins = QMarginsF(l, t, r, b);
    return Failure::none();
}

Failure StatementReader::readFont() {
    TemplateFont f;
    if (Failure fault = firstFailure(
            {allow({QStringLiteral("name"), QStringLiteral("family"), QStringLiteral("size")},
                   {QStringLiteral("bold"), QStringLiteral("italic")}),
             require({QStringLiteral("name"), QStringLiteral("family"), QStringLiteral("size")}),
             number(QStringLiteral("size"), f.size, 3, 72)}))
        return fault;
    f.family = value(QStringLiteral("family"));
    f.bold = m_st.flags.contains(QStringLiteral("bold"));
    f.italic = m_st.flags.contains(QStringLiteral("italic"));
    m_tpl.fonts.insert(value(QStringLiteral("name")), f);
    return Failure::none();
}

Failure StatementReader::readLogo() {
    m_item.kind = TemplateItem::Kind::Logo;
    if (Failure f = firstFailure(
            {allow({QStringLiteral("file"), QStringLiteral("x"), QStringLiteral("y"),
                    QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("pages"),
                    QStringLiteral("align")}),
             require({QStringLiteral("file"), QStringLiteral("x"), QStringLiteral("y"),
                      QStringLiteral("width"), QStringLiteral("height")}),
             position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y),
             number(QStringLiteral("width"), m_item.width, 1, 1000),
             number(QStringLiteral("height"), m_item.height, 1, 1000), pages(), alignment()}))
        return f;
    const QString path = QDir(m_baseFolder).filePath(value(QStringLiteral("file")));
    if (!QFileInfo::exists(path))
        return bad(QStringLiteral("immagine \"%1\" non trovata").arg(path));
    if (!m_item.image.load(path))
        return bad(QStringLiteral("immagine \"%1\" non leggibile").arg(path));
    m_item.text = path;
    return addItem();
}

Failure StatementReader::readLines(TemplateItem::Kind kind, int maxField) {
    m_item.kind = kind;
    if (kind == TemplateItem::Kind::Totals)
        m_item.pages = TemplateItem::Pages::Last;
    fontName();
    if (Failure f = firstFailure(
            {allow({QStringLiteral("line"), QStringLiteral("x"), QStringLiteral("y"),
                    QStringLiteral("step"), QStringLiteral("width"), QStringLiteral("font"),
                    QStringLiteral("align"), QStringLiteral("pages"), QStringLiteral("color")}),
             require({QStringLiteral("line"), QStringLiteral("x"), QStringLiteral("y")}),
             range(maxField),
             position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y),
             number(QStringLiteral("step"), m_item.step, 0.5, 100),
             number(QStringLiteral("width"), m_item.width, 1, 1000), alignment(), pages(),
             color(QStringLiteral("color"), m_item.color)}))
        return f;
    return addItem(fitsVertically(m_item.last - m_item.first + 1));
}

Failure StatementReader::readBody() {
    m_item.kind = TemplateItem::Kind::Body;
    fontName();
    double rows = 0;
    if (Failure f = firstFailure(
            {allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("rows"),
                    QStringLiteral("step"), QStringLiteral("width"), QStringLiteral("font"),
                    QStringLiteral("color"), QStringLiteral("stripe")}),
             require({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("rows")})}))
        return f;
    if (m_tpl.bodyItem >= 0)
        return bad(QStringLiteral("\"body\" ripetuto (già alla riga %1)")
                       .arg(m_tpl.items.at(m_tpl.bodyItem).sourceLine));
    if (Failure f =
            firstFailure({position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y),
                          number(QStringLiteral("rows"), rows, 1, 500),
                          number(QStringLiteral("step"), m_item.step, 0.5, 100),
                          number(QStringLiteral("width"), m_item.width, 1, 1000),
                          color(QStringLiteral("color"), m_item.color),
                          color(QStringLiteral("stripe"), m_item.fill)}))
        return f;
    if (rows != static_cast<int>(rows))
        return bad(QStringLiteral("rows=%1 deve essere un numero intero")
                       .arg(value(QStringLiteral("rows"))));
    m_item.rows = static_cast<int>(rows);
    if (Failure f = fitsVertically(m_item.rows))
        return f;
    m_tpl.bodyItem = static_cast<int>(m_tpl.items.size());
    return addItem();
}

Failure StatementReader::readText() {
    const bool pageNumber = m_st.keyword == u"pagenumber";
    m_item.kind = TemplateItem::Kind::Text;
    m_item.text =
        m_st.texts.isEmpty() ? QStringLiteral("Pagina {page} di {pages}") : m_st.texts.constFirst();
    fontName();
    const Failure textMissing = m_st.texts.isEmpty() && !pageNumber
                                    ? bad(QStringLiteral("\"text\" senza testo tra virgolette"))
                                    : Failure::none();
    return addItem(
        firstFailure({allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                             QStringLiteral("font"), QStringLiteral("align"),
                             QStringLiteral("pages"), QStringLiteral("color")},
                            {}, 1),
                      require({QStringLiteral("x"), QStringLiteral("y")}), textMissing,
                      position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y),
                      number(QStringLiteral("width"), m_item.width, 1, 1000), alignment(), pages(),
                      color(QStringLiteral("color"), m_item.color)}));
}

Failure StatementReader::readLine() {
    m_item.kind = TemplateItem::Kind::Line;
    return addItem(
        firstFailure({allow({QStringLiteral("x1"), QStringLiteral("y1"), QStringLiteral("x2"),
                             QStringLiteral("y2"), QStringLiteral("pen"), QStringLiteral("color"),
                             QStringLiteral("pages")}),
                      require({QStringLiteral("x1"), QStringLiteral("y1"), QStringLiteral("x2"),
                               QStringLiteral("y2")}),
                      position(QStringLiteral("x1"), QStringLiteral("y1"), m_item.x, m_item.y),
                      position(QStringLiteral("x2"), QStringLiteral("y2"), m_item.x2, m_item.y2),
                      number(QStringLiteral("pen"), m_item.pen, 0.05, 10),
                      color(QStringLiteral("color"), m_item.color), pages()}));
}

Failure StatementReader::readBox() {
    m_item.kind = TemplateItem::Kind::Box;
    return addItem(firstFailure(
        {allow({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                QStringLiteral("height"), QStringLiteral("pen"), QStringLiteral("color"),
                QStringLiteral("fill"), QStringLiteral("radius"), QStringLiteral("pages")}),
         require({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                  QStringLiteral("height")}),
         position(QStringLiteral("x"), QStringLiteral("y"), m_item.x, m_item.y),
         number(QStringLiteral("width"), m_item.width, 0.1, 1000),
         number(QStringLiteral("height"), m_item.height, 0.1, 1000),
         number(QStringLiteral("pen"), m_item.pen, 0, 10),
         number(QStringLiteral("radius"), m_item.radius, 0, 50),
         color(QStringLiteral("color"), m_item.color), color(QStringLiteral("fill"), m_item.fill),
         pages()}));
}

} // namespace

Failure readStatement(const TemplateStatement& statement, int lineNumber, const QString& baseFolder,
                      ReportTemplate& tpl) {
    return StatementReader(statement, tpl, baseFolder).read(lineNumber);
}
