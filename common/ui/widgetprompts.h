#pragma once

#include "userprompts.h"

class QWidget;

// Message boxes of the desktop (QMessageBox / QInputDialog), in Italian with the given title or
// the application's name.
class WidgetPrompts : public UserPrompts {
public:
    explicit WidgetPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void message(const QString& text, const QString& title, Icon icon) override;
    bool question(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title) override;

    // The prompts a program uses: unattended ones when VELARIX_UNATTENDED=1, else these.
    static UserPrompts& forProgram();

private:
    QWidget* m_parent;
};
