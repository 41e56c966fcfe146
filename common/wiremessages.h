#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The messages between VelarixCL and VelarixSrv. Each ends with one carriage return; keywords are
// case-sensitive at the very start of the text.
namespace Wire {
constexpr char CR = '\r';

QString registration(const QString& workstation); // "PC:" + name + CR
QString versionReply(int revision);               // "Velarix 1.0 rev. " + revision + CR
QString versionReplyText(int revision);           // the same without the CR
QString printRequest(const QString& path);        // "DIR:" + path + CR
QString completion(const QString& path);          // "DEL:" + path + CR

// A workstation that could not print a document tells its server why, so the server's queue
// shows it: "ERR:" + number + "|" + reason + "|" + the path of the print request + CR. A server
// that does not know the keyword logs it and does nothing else, as with any other text; it begins
// with neither "PC:" nor "DEL:". The reason loses any "|" and line break; the path comes last, so
// it may hold anything but a carriage return.
struct FailureReport {
    int number = 0;
    QString reason;
    QString path;
};
constexpr int FailureReasonLimit = 200; // characters of the reason a server keeps
QString failureReport(const FailureReport& report);
bool isFailureReport(const QString& text); // starts with "ERR:"
// Server: false when the text is no well-formed report. The reason comes back without control
// characters and cut to FailureReasonLimit; the path is trimmed as a completion's is.
bool parseFailureReport(const QString& text, FailureReport* report);

bool isRegistration(const QString& text); // starts with "PC:"
bool isCompletion(const QString& text);   // starts with "DEL:"
bool isPrintRequest(const QString& text); // starts with "DIR:"

// Server: drop the keyword, trim blanks, cut before the first CR, trim again.
QString serverPayload(const QString& text, int keywordLength);
// Client: drop the keyword, trim blanks, cut before the first CR (no second trim).
QString clientPayload(const QString& text, int keywordLength);
// Blanks only (spaces), at both ends; the carriage return is not a blank.
QString trimBlanks(const QString& text);
} // namespace Wire

// Splits what a socket delivers into messages at each carriage return, keeping a message whose
// carriage return has not arrived yet for the next delivery. A peer that sends more than
// MaxPending bytes without a carriage return has the excess discarded: that over-long message is
// dropped whole, up to and including its carriage return (a cut message could name the wrong
// file), and framing resumes after it. takeOverflow() tells once per dropped message, so the
// caller can log it. Memory stays bounded by MaxPending whatever the peer sends.
class MessageFramer {
public:
    static constexpr qsizetype MaxPending = 64 * 1024;

    // Complete messages, each with its trailing CR, decoded as 8-bit text.
    QList<QString> feed(const QByteArray& bytes);
    // True once after feed() had to discard bytes; reading clears it.
    bool takeOverflow();
    qsizetype pendingSize() const { return m_pending.size(); }
    void clear();

private:
    QByteArray m_pending;
    bool m_overflow = false;
    bool m_discarding = false;
};
