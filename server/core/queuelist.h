#pragma once

#include <QElapsedTimer>
#include <QObject>

class PrintServer;
class QPushButton;
class QTimer;
class QTreeWidget;
class UserPrompts;

// The server window's list of the documents waiting in the print folder (Lst_Coda), read from
// the print server's queue whenever it changes and every few seconds for the waiting times, with
// the buttons "Riprova" (a set-aside file back in the queue) and "Elimina" (delete a waiting file
// after a question). What the commands do is the print server's; failures are shown in a box.
class QueueList : public QObject {
    Q_OBJECT
public:
    QueueList(PrintServer& server, UserPrompts& prompts, QTreeWidget* list, QPushButton* retry,
              QPushButton* discard, QObject* parent = nullptr);

    void refresh();

private:
    void updateAgesInView();
    QString selectedFile() const;
    void updateButtons();
    void putBackSelected();
    void discardSelected();

    PrintServer& m_server;
    UserPrompts& m_prompts;
    QTreeWidget* m_list;
    QPushButton* m_retry;
    QPushButton* m_discard;
    QTimer* m_ageTimer;
    QElapsedTimer m_filled; // since the list was last filled
};
