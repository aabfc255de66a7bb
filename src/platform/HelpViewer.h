#pragma once

#include <QUrl>

namespace stowline::platform {

// Shows a document (a page of the manual, a web page) in the desktop's viewer for it,
// without waiting for the viewer.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // False when no viewer could be started for `document`. A viewer that starts and
    // then fails to show the document is not noticed.
    virtual bool openDocument(const QUrl& document) = 0;
};

} // namespace stowline::platform
