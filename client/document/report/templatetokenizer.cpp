#include "templatetokenizer.h"

namespace {

bool readQuoted(const QString& line, qsizetype& i, QString& out, QString& error) {
    // i stands on the opening quote
    ++i;
    while (i < line.size()) {
        const QChar ch = line.at(i);
        if (ch == u'\\' && i + 1 < line.size()) {
            const QChar next = line.at(i + 1);
            if (next == u'"' || next == u'\\') {
                out += next;
                i += 2;
                continue;
            }
        }
        if (ch == u'"') {
            ++i;
            return true;
        }
        out += ch;
        ++i;
    }
    error = QStringLiteral("virgolette non chiuse");
    return false;
}

} // namespace

bool TemplateTokenizer::split(const QString& line, TemplateStatement& out, QString& error) {
    out = TemplateStatement();
    qsizetype i = 0;
    const qsizetype n = line.size();
    bool first = true;
    while (i < n) {
        const QChar ch = line.at(i);
        if (ch.isSpace()) {
            ++i;
            continue;
        }
        if (ch == u'#')
            break;
        if (ch == u'"') {
            QString text;
            if (!readQuoted(line, i, text, error))
                return false;
            if (first) {
                error = QStringLiteral("la riga deve cominciare con una parola chiave");
                return false;
            }
            out.texts << text;
            if (i < n && !line.at(i).isSpace()) {
                error = QStringLiteral("manca uno spazio dopo il testo tra virgolette");
                return false;
            }
            continue;
        }
        // a word, possibly key=value
        QString word;
        while (i < n && !line.at(i).isSpace() && line.at(i) != u'=' && line.at(i) != u'"') {
            word += line.at(i);
            ++i;
        }
        if (i < n && line.at(i) == u'"') {
            error = QStringLiteral("virgolette in mezzo alla parola \"%1\"").arg(word);
            return false;
        }
        if (i < n && line.at(i) == u'=') {
            if (first || word.isEmpty()) {
                error = QStringLiteral("\"=\" senza nome di opzione");
                return false;
            }
            ++i;
            QString value;
            if (i < n && line.at(i) == u'"') {
                if (!readQuoted(line, i, value, error))
                    return false;
            } else {
                while (i < n && !line.at(i).isSpace()) {
                    if (line.at(i) == u'"' || line.at(i) == u'=') {
                        error = QStringLiteral("valore non valido per l'opzione \"%1\"").arg(word);
                        return false;
                    }
                    value += line.at(i);
                    ++i;
                }
            }
            if (value.isEmpty()) {
                error = QStringLiteral("l'opzione \"%1\" non ha valore").arg(word);
                return false;
            }
            out.options.append({word.toLower(), value});
            continue;
        }
        if (first) {
            out.keyword = word.toLower();
            first = false;
        } else {
            out.flags << word.toLower();
        }
    }
    return true;
}
