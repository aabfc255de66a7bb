#pragma once

#include "platform/Prompts.h"

#include <QStringList>

namespace stowline::platform {

// Records every prompt and answers questions from a queue set up by the test.
class RecordingPrompts final : public Prompts {
public:
    void showMessage(const QString& text) override { messages << text; }
    void showError(const QString& text) override { errors << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    bool askText(const QString& caption, const QString&, QString& text, bool) override {
        questions << caption;
        if (textAnswers.isEmpty())
            return false;
        text = textAnswers.takeFirst();
        return true;
    }
    bool askOpenFile(const QString& caption, QString& path) override {
        questions << caption;
        if (fileAnswers.isEmpty())
            return false;
        path = fileAnswers.takeFirst();
        return true;
    }

    QStringList messages;
    QStringList errors;
    QStringList questions;
    QList<bool> yesNoAnswers;
    QStringList textAnswers;
    QStringList fileAnswers;
};

} // namespace stowline::platform
