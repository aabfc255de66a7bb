#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace stowline::shell {

// The per-user channel over which a process started by a file-manager verb hands its
// item to the running instance. A message is a 4-byte big-endian length and that many
// bytes of UTF-8: "K" or "R" followed by the path. The receiver answers one byte once it
// has queued the item, so the sender knows it arrived before it ends.
inline constexpr const char* kBinItemChannelName = "SWLParamData";
inline constexpr qsizetype kLargestBinItemBytes = 64 * 1024;

// The first instance's end of the channel.
class BinItemReceiver final : public QObject {
    Q_OBJECT
public:
    explicit BinItemReceiver(QObject* parent = nullptr);
    // A socket left behind by a crashed instance is replaced; only the holder of the
    // instance lock listens.
    bool listen();
    QString errorString() const { return server_.errorString(); }

signals:
    void itemReceived(const QString& text);

private:
    void accept();

    QString path_;
    QLocalServer server_;
};

// What the sending process does: "/SWL-KEEPER" or "/SWL-RECYCLE" (exactly) as the first
// argument and the item as the second. False when `arguments` are not such a call.
bool isBinItemCall(const QStringList& arguments);
// Sends the item and waits for the answer; false when no instance took it (none runs).
bool forwardBinItem(const QStringList& arguments);

} // namespace stowline::shell
