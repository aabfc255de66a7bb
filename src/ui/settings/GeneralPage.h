#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class GeneralPage;
}

namespace stowline::ui {

struct SettingsContext;

// The archiver, folders, language, start-up mode, log, time-outs and waiting.
class GeneralPage final : public QWidget {
    Q_OBJECT
public:
    GeneralPage(SettingsContext& context, QWidget* parent = nullptr);
    ~GeneralPage() override;
    Q_DISABLE_COPY_MOVE(GeneralPage)
    // The languages of the program folder.
    void fillLanguages();

private:
    void startupModeChosen(int mode);
    SettingsContext& c_;
    std::unique_ptr<Ui::GeneralPage> ui_;
};

} // namespace stowline::ui
