#pragma once

#include "core/ProgramState.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stowline::backup::testing {

// A program folder, a data folder and its presets folder under one temporary folder.
// `spaced` puts a blank into every path, as in a user's "My Backups" folder.
struct TestFolders {
    explicit TestFolders(bool spaced = false) {
        const QString base = root.path() + (spaced ? "/my data" : "/data");
        folders.program = root.path() + "/program";
        folders.data = base;
        folders.presets = base + "/presets";
        EXPECT_TRUE(QDir().mkpath(folders.program));
        EXPECT_TRUE(QDir().mkpath(folders.presets));
    }

    QString preset(const QString& fileName) const { return folders.presets + '/' + fileName; }

    QTemporaryDir root;
    core::Folders folders;
};

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace stowline::backup::testing
