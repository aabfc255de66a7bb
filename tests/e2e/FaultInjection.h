#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::e2e {

class ProgramSandbox;

// The command that runs a program under strace so that the traced process making its
// `n`th call of `syscall` is killed with SIGKILL at that call (before the call takes
// effect). Children are traced too: the archiver can be the one that dies.
QStringList killedAtCall(const QString& syscall, int n);

// The sandbox's environment for programs run under strace: LeakSanitizer refuses to work
// under ptrace and would end every traced program of a sanitizer build with an error.
QProcessEnvironment tracedEnvironment(const ProgramSandbox& sandbox);

// How often the busiest single process of `command` calls `syscall`, counted by strace;
// the kill points of killedAtCall are 1 up to this number.
int callsOfBusiestProcess(const ProgramSandbox& sandbox, const QString& syscall,
                          const QStringList& command);

// The lines of a file that a whole write leaves behind: non-empty and ending in CR LF.
// Nothing when the file is empty or its last line is torn.
std::optional<QStringList> wholeLines(const QString& path);

// What is wrong with the state files of a data folder (swl.opt, swl.sch, swl.las,
// swl.log, the presets' histories); empty when each is whole and readable.
QStringList damagedStateFiles(const QString& dataFolder);

// The files of `archive` as listed by bsdtar; nothing when it is not a readable archive.
std::optional<QStringList> archiveListing(const QString& archive);
// The content of the file of `archive` whose path is or ends in `name` (the archiver
// keeps the folders above the backed-up ones); nothing when it cannot be read.
std::optional<QByteArray> archiveMember(const QString& archive, const QString& name);

} // namespace stowline::e2e
