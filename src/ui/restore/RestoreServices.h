#pragma once

#include <QString>

#include <functional>

namespace stowline::backup {
class PresetStore;
}

namespace stowline::core {
class MessageTable;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::protocols {
class CurlDriver;
}

namespace stowline::ui {

class DesktopOpener;
class HelpTopics;

// How the FTP windows of the restore window talk to a server beyond what the preset says.
struct RestoreFtpSettings {
    // Connecting and each reply; a download without progress for stallSeconds fails.
    int timeoutSeconds = 15;
    int stallSeconds = 30;
    // A PEM certificate to trust instead of the system store (tests); empty: the system's.
    QString trustedCertificate;
};

// What the restore window and its FTP windows work with; the application owns all of it.
struct RestoreServices {
    const backup::PresetStore& store;
    // pwi (the archiver that opens archives) and pte (where downloads go by default).
    const core::topt& options;
    const core::MessageTable& messages;
    platform::Prompts& prompts;
    HelpTopics& help;
    DesktopOpener& opener;
    protocols::CurlDriver& driver;
    // The data folder holds the server listing ftpdir.txt while it is read.
    QString dataFolder;
    // Language files.
    QString programFolder;
    QString languageName;
    RestoreFtpSettings ftp;
    // The bundled archiver, which extracts an archive into a folder.
    QString extractor;
    // Asks for a folder (caption, start folder); empty when cancelled.
    std::function<QString(const QString&, const QString&)> chooseFolder;
};

} // namespace stowline::ui
