#pragma once

#include <QList>
#include <QString>

// Which failures of a document reach the person at the workstation. The server offers a document
// that did not print again every minute, for up to a day: only the first failure of each document
// and cause is shown, a retry that fails the same way is only logged, and a document that prints
// after failing is told once, with the tries it took. Kept in memory, for the newest Limit
// documents; a client restarted shows a failure that goes on once more.
class PrintNotices {
public:
    static constexpr int Limit = 64;

    // One more failed try of the document at path, with this error number. True when the person
    // is to be told: the document had not failed this way before.
    bool failed(const QString& path, int number);
    // The document at path printed: the tries it took when it had failed before (the last one
    // counted), 0 when it printed at its first. Either way it is forgotten.
    int printed(const QString& path);

private:
    struct Document {
        QString path;
        QList<int> shown; // the error numbers already told
        int tries = 0;
    };
    QList<Document> m_documents;
};
