#pragma once

#include <QDialog>
#include <QList>
#include <memory>

class AdminHost;
class LetterheadController;
class QLineEdit;
namespace Ui {
class Ditta;
}

// The window "Dati Ditta": first the code panel (Frame1, over the whole window), then the editor
// of the eight letterhead lines. Opening it pauses the watcher; every way of closing it resumes it.
class LetterheadWindow : public QDialog {
    Q_OBJECT
public:
    LetterheadWindow(AdminHost& host, QWidget* parent = nullptr);
    ~LetterheadWindow() override;

    // The control array Text1, lines 0 to 7.
    QLineEdit* lineBox(int index) const;
    // The line that last had the focus.
    int currentLine() const { return m_currentLine; }

public slots:
    // Both "Annulla" buttons, the close box and Escape.
    void reject() override;

private slots:
    void onCodeOk();
    void onNextLine();
    void onSave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<Ui::Ditta> m_ui;
    std::unique_ptr<LetterheadController> m_controller;
    QList<QLineEdit*> m_lineBoxes;
    int m_currentLine = 0;
};
