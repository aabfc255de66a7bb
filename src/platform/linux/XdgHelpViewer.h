#pragma once

#include "platform/HelpViewer.h"

namespace stowline::platform {

// Hands the document to xdg-open, which starts the desktop's browser or viewer for it.
class XdgHelpViewer final : public HelpViewer {
public:
    bool openDocument(const QUrl& document) override;
};

} // namespace stowline::platform
