#include "workstationlist.h"

#include "platform/systemerror.h"
#include "wiremessages.h"

#include <QFile>
#include <QFileInfo>

const QString WorkstationList::FileName = QStringLiteral("Postazioni.txt");

WorkstationList::WorkstationList(QString path) : m_path(std::move(path)) {}

QString WorkstationList::key(const QString& name) {
    return Wire::trimBlanks(name).toUpper();
}

// The name part of a line, "" for a blank or comment-only line.
QString WorkstationList::lineName(const QString& line) {
    const QString content = line.section(QLatin1Char('#'), 0, 0);
    return content.section(QLatin1Char('='), 0, 0).trimmed();
}

bool WorkstationList::parseNetwork(const QString& text, Network* network) {
    const QString trimmed = text.trimmed();
    Network parsed;
    if (trimmed.contains(QLatin1Char('/'))) {
        parsed = QHostAddress::parseSubnet(trimmed);
    } else {
        parsed.first = QHostAddress(trimmed);
        parsed.second = parsed.first.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32;
    }
    if (parsed.first.isNull() || parsed.second < 0)
        return false;
    if (network)
        *network = parsed;
    return true;
}

void WorkstationList::parse(const QString& text) {
    m_entries.clear();
    m_networks.clear();
    m_problems.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString content = lines[i].section(QLatin1Char('#'), 0, 0).trimmed();
        if (content.isEmpty())
            continue;
        const QString where = QStringLiteral("riga %1: ").arg(i + 1);
        const qsizetype equals = content.indexOf(QLatin1Char('='));
        const QString name = content.left(equals).trimmed();
        if (equals <= 0 || name.isEmpty()) {
            m_problems.append(where + QStringLiteral("manca NOME=indirizzo"));
            continue;
        }
        Entry entry{name, {}};
        QList<Network>& networks = m_networks[key(name)]; // listed even when nothing is valid
        for (const QString& part : content.mid(equals + 1).split(QLatin1Char(','))) {
            Network network;
            if (parseNetwork(part, &network)) {
                networks.append(network);
                entry.addresses.append(part.trimmed());
            } else {
                m_problems.append(where + QStringLiteral("indirizzo non valido \"") +
                                  part.trimmed() + QStringLiteral("\""));
            }
        }
        m_entries.append(entry);
    }
}

bool WorkstationList::refresh() {
    const QFileInfo info(m_path);
    const bool exists = info.exists();
    if (m_seen && exists == m_inForce &&
        (!exists || (info.lastModified() == m_modified && info.size() == m_size)))
        return false;
    m_seen = true;
    m_modified = info.lastModified();
    m_size = info.size();
    if (!exists) {
        m_inForce = false;
        parse(QString());
        return true;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        // The list last read stays; a first read that fails admits nobody.
        m_problems = {QStringLiteral("file illeggibile: ") + fileErrorText(file)};
        m_inForce = true;
        return true;
    }
    m_inForce = true;
    parse(QString::fromUtf8(file.readAll()));
    return true;
}

WorkstationList::Verdict WorkstationList::admits(const QString& name,
                                                 const QString& address) const {
    if (!m_inForce)
        return Verdict::Admitted;
    const auto listed = m_networks.constFind(key(name));
    if (listed == m_networks.constEnd())
        return Verdict::NotListed;
    QHostAddress peer(address);
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4); // an IPv4 peer seen through an IPv6 socket
    if (isV4)
        peer = QHostAddress(v4);
    for (const Network& network : *listed) {
        if (peer.isInSubnet(network))
            return Verdict::Admitted;
    }
    return Verdict::OtherAddress;
}

QString WorkstationList::withEntry(const QString& text, const QString& name,
                                   const QStringList& addresses) {
    const QString line = name.trimmed() + QLatin1Char('=') + addresses.join(QLatin1Char(','));
    QStringList lines = withoutEntry(text, name).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    lines.append(line);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString WorkstationList::withoutEntry(const QString& text, const QString& name) {
    QStringList kept;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (key(lineName(line)) != key(name) || lineName(line).isEmpty())
            kept.append(line);
    }
    return kept.join(QLatin1Char('\n'));
}
