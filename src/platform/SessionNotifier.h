#pragma once

#include <QObject>

namespace stowline::platform {

// Reports that the desktop session (or whoever started the program) asks it to end.
class SessionNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SessionNotifier() override = default;

signals:
    // The session is ending; the program should close as soon as it can.
    void sessionEnding();
};

} // namespace stowline::platform
