#pragma once

#include "net/Dialup.h"
#include "net/remote/RemoteAccess.h"
#include "shell/BinArchives.h"
#include "ui/settings/SettingsCommands.h"

namespace stowline::app {

// The settings dialog's server buttons on the remote-control server.
class RemoteAccessCommands final : public ui::RemoteAccessControl {
public:
    explicit RemoteAccessCommands(remote::RemoteAccess& remote) : remote_(remote) {}
    void start() override { remote_.start(); }
    void stop() override { remote_.stop(); }

private:
    remote::RemoteAccess& remote_;
};

// The settings dialog's dial-up buttons on the program's dial-up connection.
class DialupCommands final : public ui::DialupControl {
public:
    explicit DialupCommands(net::Dialup& dialup) : dialup_(dialup) {}
    QStringList entries() override { return dialup_.GetEntries().names; }
    void dial() override { dialup_.DialTest(); }
    void hangUp() override { dialup_.Hangup(); }
    bool newEntry() override { return dialup_.NewEntry(); }
    bool editEntry(const QString& name) override { return dialup_.EditEntry(name); }
    bool deleteEntry(const QString& name) override { return dialup_.DeleteEntry(name); }

private:
    net::Dialup& dialup_;
};

// The settings dialog's clean buttons on the keeper and recycle archives.
class BinCleaningCommands final : public ui::BinArchiveCleaning {
public:
    explicit BinCleaningCommands(shell::BinArchives& archives) : archives_(archives) {}
    QString cleanOlderThan(bool recycle, int days) override {
        return archives_.cleanOlderThan(recycle, days);
    }

private:
    shell::BinArchives& archives_;
};

} // namespace stowline::app
