#include "connectiongate.h"

#include "runtimeenv.h"
#include "wiremessages.h"

ConnectionGate::ConnectionGate(Log log)
    : m_log(std::move(log)), m_quiet(RuntimeEnv::get().interval(int(QuietMs))) {}

void ConnectionGate::setListFile(const QString& path) {
    m_list = std::make_unique<WorkstationList>(path);
    takeUpList();
}

void ConnectionGate::takeUpList() {
    if (!m_list || !m_list->refresh())
        return;
    if (!m_list->inForce()) {
        m_log(QStringLiteral("Nessun elenco ") + WorkstationList::FileName +
              QStringLiteral(": ogni postazione può registrarsi"));
        return;
    }
    m_log(QStringLiteral("Elenco ") + WorkstationList::FileName + QStringLiteral(" letto: ") +
          QString::number(m_list->entries().size()) + QStringLiteral(" postazioni"));
    for (const QString& problem : m_list->problems())
        m_log(WorkstationList::FileName + QStringLiteral(", ") + problem);
}

bool ConnectionGate::admitConnection(const QString& address, int held, quint16 port) {
    if (held < m_perAddress)
        return true;
    if (!m_quiet.quietFor(QStringLiteral("limit ") + address))
        m_log(QStringLiteral("Connessione da ") + address + QStringLiteral(" sulla porta ") +
              QString::number(port) + QStringLiteral(" rifiutata: già ") + QString::number(held) +
              QStringLiteral(" connessioni da questo indirizzo"));
    return false;
}

bool ConnectionGate::admitRegistration(const QString& name, const QString& address, quint16 port) {
    takeUpList();
    if (!m_list)
        return true;
    const WorkstationList::Verdict verdict = m_list->admits(name, address);
    if (verdict == WorkstationList::Verdict::Admitted)
        return true;
    const QString shown = Wire::trimBlanks(name);
    if (!m_quiet.quietFor(QStringLiteral("name ") + shown.toUpper() + QLatin1Char(' ') + address))
        m_log(QStringLiteral("Postazione ") + shown + QStringLiteral(" rifiutata sulla porta ") +
              QString::number(port) + QStringLiteral(" da ") + address +
              (verdict == WorkstationList::Verdict::NotListed
                   ? QStringLiteral(": non è in ")
                   : QStringLiteral(": indirizzo non previsto in ")) +
              WorkstationList::FileName);
    return false;
}

bool ConnectionGate::mayStay(const QString& name, const QString& address) {
    takeUpList();
    return !m_list || m_list->admits(name, address) == WorkstationList::Verdict::Admitted;
}
