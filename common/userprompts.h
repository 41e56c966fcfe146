#pragma once

#include <QString>

// Every message box, question and input box goes through this, so that tests script the answers
// and unattended runs (VELARIX_UNATTENDED=1) never block.
class UserPrompts {
public:
    enum class Icon { None, Information, Exclamation, Critical };
    virtual ~UserPrompts() = default;
    // OK button only; an empty title means the program's own title.
    virtual void message(const QString& text, const QString& title = QString(),
                         Icon icon = Icon::None) = 0;
    // Yes / No, with No as the default answer (Enter never accepts a risk); true for Yes.
    virtual bool question(const QString& text, const QString& title = QString()) = 0;
    // Input box; empty text when cancelled.
    virtual QString input(const QString& prompt, const QString& title = QString()) = 0;
};

// Writes each prompt to standard error as one line and answers with the default: OK, No, empty.
// The line is "<application name>: " + "[<title>] " when a title is given + the text, with line
// breaks inside the text turned into blanks.
class UnattendedPrompts : public UserPrompts {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    bool question(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title) override;
};
