#include "templatetokenizer.h"

#include "reporterrors.h"

namespace {

Failure malformed(const QString& reason) {
    return {ReportError::BadTemplate, reason};
}

// Walks one line from left to right and fills the statement word by word.
class LineScanner {
public:
    LineScanner(const QString& line, TemplateStatement& out) : m_line(line), m_out(out) {}

    Failure scan() {
        while (!atEnd()) {
            if (current().isSpace()) {
                ++m_pos;
                continue;
            }
            if (current() == u'#')
                break;
            const Failure f = current() == u'"' ? readText() : readWord();
            if (f)
                return f;
        }
        return Failure::none();
    }

private:
    bool atEnd() const { return m_pos >= m_line.size(); }
    QChar current() const { return m_line.at(m_pos); }
    bool keywordRead() const { return !m_out.keyword.isEmpty(); }

    // Reads from the opening quote to the closing one.
    Failure readQuoted(QString& out) {
        ++m_pos;
        while (!atEnd()) {
            const QChar ch = current();
            if (ch == u'\\' && m_pos + 1 < m_line.size()) {
                const QChar next = m_line.at(m_pos + 1);
                if (next == u'"' || next == u'\\') {
                    out += next;
                    m_pos += 2;
                    continue;
                }
            }
            ++m_pos;
            if (ch == u'"')
                return Failure::none();
            out += ch;
        }
        return malformed(QStringLiteral("virgolette non chiuse"));
    }

    Failure readText() {
        QString text;
        if (Failure f = readQuoted(text))
            return f;
        if (!keywordRead())
            return malformed(QStringLiteral("la riga deve cominciare con una parola chiave"));
        m_out.texts << text;
        if (!atEnd() && !current().isSpace())
            return malformed(QStringLiteral("manca uno spazio dopo il testo tra virgolette"));
        return Failure::none();
    }

    // The keyword, a flag, or the name of a key=value option.
    Failure readWord() {
        QString word;
        while (!atEnd() && !current().isSpace() && current() != u'=' && current() != u'"') {
            word += current();
            ++m_pos;
        }
        if (!atEnd() && current() == u'"')
            return malformed(QStringLiteral("virgolette in mezzo alla parola \"%1\"").arg(word));
        if (!atEnd() && current() == u'=')
            return readOption(word);
        if (keywordRead())
            m_out.flags << word.toLower();
        else
            m_out.keyword = word.toLower();
        return Failure::none();
    }

    // The value after "key=": quoted, or up to the next blank.
    Failure readOption(const QString& key) {
        if (!keywordRead() || key.isEmpty())
            return malformed(QStringLiteral("\"=\" senza nome di opzione"));
        ++m_pos;
        QString value;
        if (!atEnd() && current() == u'"') {
            if (Failure f = readQuoted(value))
                return f;
        } else {
            for (; !atEnd() && !current().isSpace(); ++m_pos) {
                if (current() == u'"' || current() == u'=')
                    return malformed(
                        QStringLiteral("valore non valido per l'opzione \"%1\"").arg(key));
                value += current();
            }
        }
        if (value.isEmpty())
            return malformed(QStringLiteral("l'opzione \"%1\" non ha valore").arg(key));
        m_out.options.append({key.toLower(), value});
        return Failure::none();
    }

    const QString& m_line;
    TemplateStatement& m_out;
    qsizetype m_pos = 0;
};

} // namespace

Failure TemplateTokenizer::split(const QString& line, TemplateStatement& out) {
    out = TemplateStatement();
    return LineScanner(line, out).scan();
}
