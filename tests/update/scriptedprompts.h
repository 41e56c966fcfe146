#pragma once

#include "userprompts.h"

#include <QStringList>

// Prompts that record what was shown and answer from a script.
class ScriptedPrompts : public UserPrompts {
public:
    QStringList messages;  // "title|text"
    QStringList questions; // "title|text"
    QStringList inputs;    // "title|prompt"
    bool answerYes = false;
    QString inputAnswer;

    void message(const QString& text, const QString& title, Icon) override {
        messages.append(title + QLatin1Char('|') + text);
    }
    bool question(const QString& text, const QString& title) override {
        questions.append(title + QLatin1Char('|') + text);
        return answerYes;
    }
    QString input(const QString& prompt, const QString& title) override {
        inputs.append(title + QLatin1Char('|') + prompt);
        return inputAnswer;
    }
};
