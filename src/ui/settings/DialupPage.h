#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class DialupPage;
}

namespace stowline::ui {

struct SettingsContext;

// The dial-up connection, its phone-book entries and its commands.
class DialupPage final : public QWidget {
    Q_OBJECT
public:
    DialupPage(SettingsContext& context, QWidget* parent = nullptr);
    ~DialupPage() override;
    Q_DISABLE_COPY_MOVE(DialupPage)
    // The phone-book entries, keeping the chosen one.
    void fillEntries();

private:
    void deleteEntry();
    SettingsContext& c_;
    std::unique_ptr<Ui::DialupPage> ui_;
};

} // namespace stowline::ui
