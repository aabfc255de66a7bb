#pragma once

#include <QStringList>

namespace stowline::platform {

// How the program gets started without the user starting it: at log-in with given
// arguments, or as a background service of the user. Every call brings the system into
// the named state, whatever it was before; false when that failed.
class StartupRegistration {
public:
    virtual ~StartupRegistration() = default;
    // Starts the program with `arguments` whenever the user logs in.
    virtual bool enableLoginStart(const QStringList& arguments) = 0;
    virtual bool disableLoginStart() = 0;
    // Has the user's service manager start the program in the background.
    virtual bool enableService() = 0;
    virtual bool disableService() = 0;
};

} // namespace stowline::platform
