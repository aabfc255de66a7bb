#pragma once

#include "ui/restore/RestoreServices.h"

#include <QString>

namespace stowline::protocols {
class FtpClient;
}

namespace stowline::ui {

// What the FTP windows take from their fields.
struct FtpFields {
    QString server; // "host" or "host:port"
    QString folder;
    QString user;
    QString password;
    bool activeMode = false;
    int tlsMode = 0; // as stored in the preset (fss)
};

// Sets `client` up as the upload of the same preset connects: the port after a colon
// (21 without one), an anonymous log-in without user and password, and the preset's TLS
// mode, so that a password never goes out in clear to a server set up for TLS.
void setUpFtpClient(protocols::FtpClient& client, const FtpFields& fields,
                    const RestoreFtpSettings& settings);

} // namespace stowline::ui
