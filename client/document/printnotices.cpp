#include "printnotices.h"

#include <algorithm>

bool PrintNotices::failed(const QString& path, int number) {
    auto it = std::find_if(m_documents.begin(), m_documents.end(),
                           [&](const Document& d) { return d.path == path; });
    if (it == m_documents.end()) {
        if (m_documents.size() >= Limit)
            m_documents.removeFirst();
        m_documents.append({path, {}, 0});
        it = m_documents.end() - 1;
    }
    ++it->tries;
    if (it->shown.contains(number))
        return false;
    it->shown.append(number);
    return true;
}

int PrintNotices::printed(const QString& path) {
    for (qsizetype i = 0; i < m_documents.size(); ++i) {
        if (m_documents.at(i).path == path)
            return m_documents.takeAt(i).tries + 1;
    }
    return 0;
}
