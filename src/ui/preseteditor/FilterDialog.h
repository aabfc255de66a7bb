#pragma once

#include "ui/preseteditor/PresetEditorRules.h"

#include <QDialog>

#include <memory>

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class Prompts;
}

namespace Ui {
class FilterDialog;
}

namespace stowline::ui {

struct FilterDialogServices {
    const core::MessageTable& messages;
    platform::Prompts& prompts;
    QString programFolder;
    QString language;
};

// The filter settings of one preset: the masks of its .flt side file (only files that
// match are archived), the attributes its files are excluded by (efa), and commands
// that add masks to the exclude list.
class FilterDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFormName = "filterform";

    // `filterFile` is the preset's .flt file; `excludeLines` is the editor's exclude
    // list, to which the mask commands add at once.
    FilterDialog(FilterDialogServices services, QString filterFile, const QString& efa,
                 QStringList& excludeLines, QWidget* parent = nullptr);
    ~FilterDialog() override;
    Q_DISABLE_COPY_MOVE(FilterDialog)

    // The attribute switch the boxes stand for.
    QString attributeSwitch() const;
    // Adds each mask to the exclude list unless it holds it, telling which.
    void addMasks(const QStringList& masks);
    void addTypedMask();

public slots:
    // Writes the masks to the .flt file, or deletes it when there are none; the
    // dialog stays open when the file cannot be written.
    void accept() override;

private:
    FilterDialogServices s_;
    std::unique_ptr<Ui::FilterDialog> ui_;
    QString filterFile_;
    QStringList& excludeLines_;
};

} // namespace stowline::ui
