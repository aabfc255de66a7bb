#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace stowline::ui {

// Looks for an archiver program below a folder, depth first: the entries of a folder are
// taken in name order and every subfolder is searched completely before the next entry.
// Symbolic links are not followed and the search stays on the file system of the start
// folder, so it neither loops nor wanders into network or virtual file systems.
class ArchiverSearch {
public:
    // `names`: the file names of the programs that count (an executable regular file).
    ArchiverSearch(QString root, QStringList names);

    // The first program found. `keepGoing` runs after every entry (the caller serves its
    // events there); when it returns false the search ends without a result.
    std::optional<QString> run(const std::function<bool()>& keepGoing);

private:
    std::optional<QString> searchFolder(const QString& folder, unsigned long long device,
                                        const std::function<bool()>& keepGoing);

    QString root_;
    QStringList names_;
    bool stopped_ = false;
};

} // namespace stowline::ui
