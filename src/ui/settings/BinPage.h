#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class BinPage;
}

namespace stowline::ui {

struct SettingsContext;

// The keeper and recycle archives and their drop window.
class BinPage final : public QWidget {
    Q_OBJECT
public:
    BinPage(SettingsContext& context, QWidget* parent = nullptr);
    ~BinPage() override;
    Q_DISABLE_COPY_MOVE(BinPage)
    QWidget* compressionList() const;
    QWidget* windowList() const;

private:
    void clean(bool recycle);
    SettingsContext& c_;
    std::unique_ptr<Ui::BinPage> ui_;
};

} // namespace stowline::ui
