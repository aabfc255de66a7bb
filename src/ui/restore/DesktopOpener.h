#pragma once

#include <QString>

namespace stowline::ui {

// How the restore windows hand an archive or a folder to the desktop.
class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // Opens an archive with the desktop's archive manager when one is registered for its
    // type, else with `archiver`. False when neither could be started.
    virtual bool openArchive(const QString& path, const QString& archiver) = 0;
    virtual bool openFolder(const QString& path) = 0;
};

// The desktop's default applications (xdg-mime, xdg-open), else the archiver program.
class XdgDesktopOpener final : public DesktopOpener {
public:
    bool openArchive(const QString& path, const QString& archiver) override;
    bool openFolder(const QString& path) override;

    // The desktop file of the application registered for the type of `path`; empty
    // when there is none (or xdg-mime is missing).
    static QString defaultApplicationFor(const QString& path);
};

} // namespace stowline::ui
