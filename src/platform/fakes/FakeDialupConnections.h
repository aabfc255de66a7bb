#pragma once

#include "platform/DialupConnections.h"

#include <QTimer>

namespace stowline::platform {

// Dial-up connections that follow a script: each dial takes the next outcome and reports
// it a moment later, as a real connection manager would. Records every dial and hang-up.
class FakeDialupConnections final : public DialupConnections {
public:
    enum class Outcome { Connect, Busy, Fail, Silent };

    bool available(QString& error) override {
        error = unreachableText;
        return unreachableText.isEmpty();
    }
    bool listEntries(QStringList& names, QString& error) override {
        names = entries;
        error = listError;
        return listError.isEmpty();
    }
    bool listActive(QList<ActiveDialup>& connections, QString& error) override {
        connections = active;
        error = listError;
        return listError.isEmpty();
    }
    DialStart dial(const QString& entryName, QString& handle, QString& error) override {
        calls << QStringLiteral("dial ") + entryName;
        if (start != DialStart::Started) {
            error = QStringLiteral("The entry cannot be dialled.");
            return start;
        }
        handle = QStringLiteral("H%1").arg(++dials_);
        active << ActiveDialup{entryName, handle, false};
        const Outcome outcome = outcomes.isEmpty() ? Outcome::Silent : outcomes.takeFirst();
        if (outcome != Outcome::Silent)
            QTimer::singleShot(reportDelay, this,
                               [this, handle, outcome] { report(handle, outcome); });
        return DialStart::Started;
    }
    bool hangUp(const QString& handle, QString& error) override {
        calls << QStringLiteral("hang up ") + handle;
        active.removeIf([&handle](const ActiveDialup& c) { return c.handle == handle; });
        error.clear();
        return true;
    }
    bool createEntry(QString& error) override {
        calls << QStringLiteral("create");
        error = editorError;
        return editorError.isEmpty();
    }
    bool editEntry(const QString& entryName, QString& error) override {
        calls << QStringLiteral("edit ") + entryName;
        error = editorError;
        return editorError.isEmpty();
    }
    bool deleteEntry(const QString& entryName, QString& error) override {
        calls << QStringLiteral("delete ") + entryName;
        error = editorError;
        if (!editorError.isEmpty())
            return false;
        entries.removeAll(entryName);
        return true;
    }

    QStringList entries;
    QList<ActiveDialup> active;
    // One per dial, in order; a dial beyond the script stays silent.
    QList<Outcome> outcomes;
    DialStart start = DialStart::Started;
    QString unreachableText; // not empty: the manager cannot be reached
    QString listError;
    QString editorError;
    int reportDelay = 0; // milliseconds
    QStringList calls;

private:
    void report(const QString& handle, Outcome outcome) {
        DialReport r{handle, DialState::Disconnected, {}, false};
        if (outcome == Outcome::Connect) {
            r.state = DialState::Connected;
            for (ActiveDialup& c : active)
                if (c.handle == handle)
                    c.connected = true;
        } else if (outcome == Outcome::Busy) {
            r.errorText = QStringLiteral("The line is busy.");
            r.lineBusy = true;
        } else {
            r.errorText = QStringLiteral("The remote computer did not respond.");
        }
        emit stateChanged(r);
    }
    int dials_ = 0;
};

} // namespace stowline::platform
