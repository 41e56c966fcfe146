#pragma once

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The optional list of workstations, "Postazioni.txt" in the server folder: one line per name,
// NOME=indirizzo[,indirizzo...], each address an IPv4 or IPv6 address or a network such as
// 192.168.1.0/24; "#" starts a comment, blank lines are ignored, names compare as the registry
// compares them (blanks trimmed, any case). Without the file every name may register from
// anywhere; with it, a name registers only from its own addresses and a name not listed not at all.
// A line that cannot be read admits nobody (problems() says which); a file that exists but cannot
// be read keeps the list last read, or admits nobody when there was none.
class WorkstationList {
public:
    static const QString FileName; // "Postazioni.txt"
    using Network = QPair<QHostAddress, int>;
    struct Entry {
        QString name; // as written
        QStringList addresses;
    };
    enum class Verdict { Admitted, NotListed, OtherAddress };

    explicit WorkstationList(QString path);

    // Reads the file again when it appeared, changed or went away since the last look; true
    // when the list changed.
    bool refresh();
    bool inForce() const { return m_inForce; }
    Verdict admits(const QString& name, const QString& address) const;
    const QList<Entry>& entries() const { return m_entries; }
    // "riga N: ..." for every line that could not be read, in Italian.
    const QStringList& problems() const { return m_problems; }

    // The file's text with the name's line replaced (or added at the end), or without it; other
    // lines and comments stay as they were.
    static QString withEntry(const QString& text, const QString& name,
                             const QStringList& addresses);
    static QString withoutEntry(const QString& text, const QString& name);
    // An address or network as the file may hold it; false when it is neither.
    static bool parseNetwork(const QString& text, Network* network = nullptr);

private:
    void parse(const QString& text);
    static QString key(const QString& name);
    static QString lineName(const QString& line);

    QString m_path;
    bool m_inForce = false;
    bool m_seen = false;
    QDateTime m_modified;
    qint64 m_size = -1;
    QList<Entry> m_entries;
    QHash<QString, QList<Network>> m_networks; // by key(name)
    QStringList m_problems;
};
