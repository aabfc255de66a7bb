#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class GeneralPage;
class InterfacePage;
class RemoteAccessPage;
class DialupPage;
class ErrorManagementPage;
class SecurityPage;
class AppearancePage;
class BinPage;
} // namespace Ui

namespace stowline::ui {

struct SettingsContext;

// The tabs of the settings dialog. The options' controls are bound by name
// (SettingsBinding); a page adds the commands of its tab.

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

class InterfacePage final : public QWidget {
    Q_OBJECT
public:
    explicit InterfacePage(QWidget* parent = nullptr);
    ~InterfacePage() override;
    Q_DISABLE_COPY_MOVE(InterfacePage)

private:
    std::unique_ptr<Ui::InterfacePage> ui_;
};

class RemoteAccessPage final : public QWidget {
    Q_OBJECT
public:
    RemoteAccessPage(SettingsContext& context, QWidget* parent = nullptr);
    ~RemoteAccessPage() override;
    Q_DISABLE_COPY_MOVE(RemoteAccessPage)

private:
    SettingsContext& c_;
    std::unique_ptr<Ui::RemoteAccessPage> ui_;
};

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

class ErrorManagementPage final : public QWidget {
    Q_OBJECT
public:
    ErrorManagementPage(SettingsContext& context, QWidget* parent = nullptr);
    ~ErrorManagementPage() override;
    Q_DISABLE_COPY_MOVE(ErrorManagementPage)

private:
    SettingsContext& c_;
    std::unique_ptr<Ui::ErrorManagementPage> ui_;
};

class SecurityPage final : public QWidget {
    Q_OBJECT
public:
    SecurityPage(SettingsContext& context, QWidget* parent = nullptr);
    ~SecurityPage() override;
    Q_DISABLE_COPY_MOVE(SecurityPage)

private:
    void setPassword();
    SettingsContext& c_;
    std::unique_ptr<Ui::SecurityPage> ui_;
};

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
