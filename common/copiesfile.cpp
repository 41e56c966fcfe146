#include "copiesfile.h"

#include "settingsvalues.h"

#include <cmath>

namespace {

constexpr int CopySlots = 6;

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Reads the value of a switch the way the caller wants it judged; a missing value counts as 0.
template <typename Judge> bool readSwitch(SettingsValues& values, Judge judge) {
    if (values.atEnd())
        return false;
    return judge(CopiesFile::numericValue(values.next()));
}

template <typename Judge> CopiesSettings read(const QString& path, Judge judge) {
    CopiesSettings settings;
    SettingsValues values = SettingsValues::fromFile(path);
    if (values.atEnd())
        return settings;
    settings.printFolder = values.next(); // the client reads it and does not use it
    for (int slot = 0; slot < CopySlots; ++slot) {
        if (values.atEnd())
            break;
        const QString value = values.next();
        // An empty value keeps the default but still uses up its slot.
        if (!value.isEmpty())
            settings.copies[slot] = value;
    }
    settings.perCompany = readSwitch(values, judge);
    settings.perBranch = readSwitch(values, judge);
    return settings;
}

QString plainNumber(double value) {
    // Whole numbers without a decimal point or exponent, as every reader expects.
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

} // namespace

namespace CopiesFile {

CopiesSettings readForClient(const QString& path) {
    return read(path, [](double value) { return value == 1.0; });
}

CopiesSettings readForWindow(const QString& path) {
    // std::nearbyint rounds halves to the even neighbour in the default rounding mode.
    return read(path, [](double value) { return std::nearbyint(value) != 0.0; });
}

QString readPrintFolder(const QString& path) {
    return readFirstSettingsValue(path);
}

QString printFolderInUse(const QString& stored) {
    return stored.trimmed();
}

Failure write(const QString& path, const CopiesSettings& settings) {
    // A comma would end the value early for every reader; enclosed in double quotes the folder
    // reads back whole (a quote cannot be part of a Windows path, so it never needs escaping).
    const bool quote = settings.printFolder.contains(QLatin1Char(',')) &&
                       !settings.printFolder.contains(QLatin1Char('"'));
    QString text =
        quote ? QLatin1Char('"') + settings.printFolder + QLatin1Char('"') : settings.printFolder;
    text += QStringLiteral("\r\n");
    for (int slot = 0; slot < CopySlots; ++slot) {
        const QString copy = slot < settings.copies.size() ? settings.copies.at(slot) : QString();
        text += plainNumber(numericValue(copy)) + QStringLiteral("\r\n");
    }
    text +=
        (settings.perCompany ? QStringLiteral("1") : QStringLiteral("0")) + QStringLiteral("\r\n");
    text +=
        (settings.perBranch ? QStringLiteral("1") : QStringLiteral("0")) + QStringLiteral("\r\n");

    return writeSettingsFile(path, text);
}

double numericValue(const QString& text, bool* isNumber) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && isBlank(text.at(pos)))
        ++pos;
    const qsizetype start = pos;
    if (pos < size && (text.at(pos) == QLatin1Char('+') || text.at(pos) == QLatin1Char('-')))
        ++pos;
    int digits = 0;
    while (pos < size && text.at(pos).isDigit() && text.at(pos).unicode() < 128) {
        ++pos;
        ++digits;
    }
    if (pos < size && text.at(pos) == QLatin1Char('.')) {
        ++pos;
        while (pos < size && text.at(pos).unicode() < 128 && text.at(pos).isDigit()) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        if (isNumber)
            *isNumber = false;
        return 0.0;
    }
    qsizetype end = pos;
    // An exponent counts only when digits follow it ("2E" is 2, "2E1" is 20).
    if (pos < size && (text.at(pos) == QLatin1Char('e') || text.at(pos) == QLatin1Char('E'))) {
        qsizetype exp = pos + 1;
        if (exp < size && (text.at(exp) == QLatin1Char('+') || text.at(exp) == QLatin1Char('-')))
            ++exp;
        qsizetype expDigits = exp;
        while (expDigits < size && text.at(expDigits).unicode() < 128 &&
               text.at(expDigits).isDigit())
            ++expDigits;
        if (expDigits > exp)
            end = expDigits;
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    if (isNumber)
        *isNumber = ok;
    return ok ? value : 0.0;
}

} // namespace CopiesFile
