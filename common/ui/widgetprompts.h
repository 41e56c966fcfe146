#pragma once

#include "userprompts.h"

#include <QPointer>
#include <QWidget>

// Message boxes of the desktop (QMessageBox / QInputDialog) with the given title or the
// application's name. Each box opens over its window: the modal dialog in front (a settings
// window) when there is one, else the program's main window. A question's default button is No,
// so Enter never accepts a risk.
class WidgetPrompts : public UserPrompts {
public:
    explicit WidgetPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void message(const QString& text, const QString& title, Icon icon) override;
    bool question(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title) override;

    // The window boxes open over when no modal dialog is in front.
    void setWindow(QWidget* window) { m_parent = window; }
    QWidget* boxParent() const;

    // The prompts a program uses: unattended ones when VELARIX_UNATTENDED=1, else these.
    static UserPrompts& forProgram();
    // Makes the main window the parent of the program's boxes; nothing for unattended prompts.
    static void setProgramWindow(QWidget* window);

private:
    QPointer<QWidget> m_parent;
};
