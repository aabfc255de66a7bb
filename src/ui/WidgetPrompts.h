#pragma once

#include "platform/Prompts.h"

class QWidget;

namespace stowline::ui {

// Prompts as modal message boxes and input dialogs on the desktop.
class WidgetPrompts final : public platform::Prompts {
public:
    explicit WidgetPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    bool askText(const QString& caption, const QString& label, QString& text, bool secret) override;
    bool askOpenFile(const QString& caption, QString& path) override;

private:
    QWidget* parent_;
};

} // namespace stowline::ui
