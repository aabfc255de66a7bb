#pragma once

#include "platform/Prompts.h"

#include <cstdio>

namespace stowline::platform {

// Used when nobody can answer: every message goes to standard error, every question
// takes its default answer and every input is cancelled.
class HeadlessPrompts final : public Prompts {
public:
    explicit HeadlessPrompts(std::FILE* out = stderr) : out_(out) {}
    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    bool askText(const QString& caption, const QString& label, QString& text, bool secret) override;
    bool askOpenFile(const QString& caption, QString& path) override;

private:
    void print(const char* kind, const QString& text);
    std::FILE* out_;
};

} // namespace stowline::platform
