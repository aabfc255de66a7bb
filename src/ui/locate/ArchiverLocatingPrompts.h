#pragma once

#include "core/MessageTable.h"
#include "platform/Prompts.h"

namespace stowline::core {
class Program;
}

namespace stowline::ui {

// The prompts of a desktop session, where asking for the archiver program at start-up
// shows the locate window (LocateArchiverDialog) instead of a plain file dialog. Every
// other prompt goes to `inner`.
class ArchiverLocatingPrompts final : public platform::Prompts {
public:
    ArchiverLocatingPrompts(platform::Prompts& inner, QString searchRoot);

    // The program's messages and language once they exist; built-in English until then.
    void setProgram(core::Program* program) { program_ = program; }

    void showMessage(const QString& text) override { inner_.showMessage(text); }
    void showError(const QString& text) override { inner_.showError(text); }
    bool askYesNo(const QString& text) override { return inner_.askYesNo(text); }
    bool askText(const QString& caption, const QString& label, QString& text,
                 bool secret) override {
        return inner_.askText(caption, label, text, secret);
    }
    // The archiver program, typed, browsed for or searched for.
    bool askOpenFile(const QString& caption, QString& path) override;

private:
    platform::Prompts& inner_;
    QString searchRoot_;
    core::MessageTable builtIn_;
    core::Program* program_ = nullptr;
};

} // namespace stowline::ui
