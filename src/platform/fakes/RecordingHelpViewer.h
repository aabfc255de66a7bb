#pragma once

#include "platform/HelpViewer.h"

#include <QList>

namespace stowline::platform {

// Records each document instead of showing it; `opens` decides the answer.
class RecordingHelpViewer final : public HelpViewer {
public:
    bool openDocument(const QUrl& document) override {
        opened << document;
        return opens;
    }
    QList<QUrl> opened;
    bool opens = true;
};

} // namespace stowline::platform
