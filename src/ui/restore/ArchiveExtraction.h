#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace stowline::ui {

// Extracts an archive into a folder with the bundled archiver ("x" with full paths) and
// follows its progress lines. Files that exist are replaced only with `replaceExisting`.
class ArchiveExtraction final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ArchiveExtraction)
public:
    // The archiver's exit codes the restore window tells apart.
    static constexpr int kSuccess = 0;
    static constexpr int kWarning = 1;
    static constexpr int kWrongPassword = 11;

    explicit ArchiveExtraction(QString archiver, QObject* parent = nullptr);
    ~ArchiveExtraction() override;

    void start(const QString& archive, const QString& folder, const QString& password,
               bool replaceExisting);
    // Stops the archiver; it removes the file it was writing.
    void cancel();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }

    // After finished(): what the archiver said on its standard output and error.
    const QString& report() const { return report_; }
    const QString& errors() const { return errors_; }

signals:
    void progress(qint64 done, qint64 total);
    // -1 when the archiver could not be started or crashed.
    void finished(int exitCode);

private:
    void readProgress();
    void closePipe();

    QString archiver_;
    QProcess process_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
    QString report_;
    QString errors_;
};

} // namespace stowline::ui
