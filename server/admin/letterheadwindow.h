#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <memory>

class AdminHost;
class LetterheadController;
class QLineEdit;
class UserPrompts;
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
    // The close box and Escape: asks before dropping edited lines.
    void reject() override;

private slots:
    // Both "Annulla" buttons: closes without saving.
    void discard();
    void onCodeOk();
    void onNextLine();
    void onSave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QStringList lines() const;

    std::unique_ptr<Ui::Ditta> m_ui;
    std::unique_ptr<LetterheadController> m_controller;
    UserPrompts& m_prompts;
    QList<QLineEdit*> m_lineBoxes;
    QStringList m_shownLines; // as loaded for the chosen code
    int m_currentLine = 0;
};
