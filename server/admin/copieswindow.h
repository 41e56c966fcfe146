#pragma once

#include <QDialog>
#include <QList>
#include <memory>

class AdminHost;
class CopiesController;
struct CopiesSettings;
class QLineEdit;
namespace Ui {
class Copie;
}

// The copies window (Copie): the copies per document kind, the two report switches and the print
// folder. Opening it pauses the watcher; "Salva", "Annulla", Escape and the close box all go
// through CopiesController, which resumes the watcher whenever the window closes.
class CopiesWindow : public QDialog {
    Q_OBJECT
public:
    CopiesWindow(AdminHost& host, QWidget* parent = nullptr);
    ~CopiesWindow() override;

    // The control array Text1, boxes 0 to 5.
    QLineEdit* copyBox(int index) const;

public slots:
    // "Annulla", the close box and Escape all land here.
    void reject() override;

private slots:
    void onSave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSettings(const CopiesSettings& settings);
    CopiesSettings settings() const;

    std::unique_ptr<Ui::Copie> m_ui;
    std::unique_ptr<CopiesController> m_controller;
    QList<QLineEdit*> m_copyBoxes;
};
