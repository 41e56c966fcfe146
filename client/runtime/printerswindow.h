#pragma once

#include "printersfile.h"

#include <QDialog>
#include <memory>

namespace Ui {
class Stampanti;
}
class QComboBox;
class UserPrompts;

// "Impostazioni → Stampanti": the printer of each document kind, chosen among the queues the
// system knows, and the folder of the PDF archive. Shows what the workstation's Stampanti.txt
// holds (a queue that has gone is kept and marked "non trovata", so saving does not lose it) and
// writes the file anew on "Salva". Nothing is applied here: the report engine reads the file at
// every document.
class PrintersWindow : public QDialog {
    Q_OBJECT
public:
    PrintersWindow(QString settingsPath, QStringList printers, UserPrompts& prompts,
                   QWidget* parent = nullptr);
    ~PrintersWindow() override;

    // What the window would save now.
    PrinterSettings chosen() const;

private:
    void fill(QComboBox* box, const QString& queue);
    QComboBox* boxFor(const QString& kind) const;
    void browse();
    void save();

    std::unique_ptr<Ui::Stampanti> m_ui;
    QString m_path;
    QStringList m_printers;
    UserPrompts& m_prompts;
};
