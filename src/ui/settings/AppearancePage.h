#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class AppearancePage;
}

namespace stowline::ui {

struct SettingsContext;

// Skins: pictures, styles and colours, loaded, saved and applied.
class AppearancePage final : public QWidget {
    Q_OBJECT
public:
    AppearancePage(SettingsContext& context, QWidget* parent = nullptr);
    ~AppearancePage() override;
    Q_DISABLE_COPY_MOVE(AppearancePage)
    // The colour and picture buttons, for their shared hints.
    QList<QWidget*> colourButtons() const;
    QList<QWidget*> pictureButtons() const;
    QWidget* styleList(int group) const;

private:
    void loadSkin();
    void saveSkin();
    void applySkin();
    QString skinsFolder() const;
    SettingsContext& c_;
    std::unique_ptr<Ui::AppearancePage> ui_;
};

} // namespace stowline::ui
