#pragma once

#include <QString>

namespace stowline::platform {

// Message boxes and questions put to the person at the desk. Implementations without
// a display answer every question with its default (OK / No / Cancel).
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void showMessage(const QString& text) = 0;
    virtual void showError(const QString& text) = 0;
    // Yes/No question; the default answer is No.
    virtual bool askYesNo(const QString& text) = 0;
    // Asks for one line of text; false when cancelled. With `secret` the input is hidden.
    virtual bool askText(const QString& caption, const QString& label, QString& text,
                         bool secret) = 0;
    // Asks for an existing file; false when cancelled.
    virtual bool askOpenFile(const QString& caption, QString& path) = 0;
};

} // namespace stowline::platform
