#pragma once

#include "updatecheck.h"

#include <QDialog>
#include <memory>

class QTimer;
namespace Ui {
class Controllo;
}

// The update-check window (object name Controllo): showing it arms the one-shot Timer1, whose tick
// runs the check once, shows "Aggiornamento rilevato...." when an update is due and closes the
// window. The outcome is read after exec() returns.
class UpdateCheckDialog : public QDialog {
    Q_OBJECT
public:
    UpdateCheckDialog(UpdateCheck check, bool collectAll, int intervalMs,
                      QWidget* parent = nullptr);
    ~UpdateCheckDialog() override;

    const UpdateCheck::Outcome& outcome() const { return m_outcome; }
    QString labelText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void runCheck();

    std::unique_ptr<Ui::Controllo> m_ui;
    QTimer* m_timer;
    UpdateCheck m_check;
    bool m_collectAll;
    bool m_ran = false;
    UpdateCheck::Outcome m_outcome;
};
