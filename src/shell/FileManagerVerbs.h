#pragma once

#include <QString>

namespace stowline::shell {

// Where the file managers look for a user's own actions.
struct VerbFolders {
    QString dataHome;   // $XDG_DATA_HOME (nautilus/scripts, kio/servicemenus)
    QString configHome; // $XDG_CONFIG_HOME (Thunar/uca.xml)
};
VerbFolders userVerbFolders();

// The keeper and recycle verbs of the file managers, each starting `program` with
// "/SWL-KEEPER" or "/SWL-RECYCLE" and one selected item, once per item: Nautilus
// scripts, a Dolphin service menu and Thunar custom actions. A verb whose flag is off
// is withdrawn. Errors are ignored: a file manager that is not installed loses nothing.
void RegisterBinVerbs(const VerbFolders& folders, const QString& program, bool keeper,
                      bool recycle);
inline void WithdrawBinVerbs(const VerbFolders& folders) {
    RegisterBinVerbs(folders, QString(), false, false);
}

// The paths written, for tests and for the withdrawal.
QString nautilusScriptPath(const VerbFolders& folders, bool recycle);
QString dolphinServiceMenuPath(const VerbFolders& folders);
QString thunarActionsPath(const VerbFolders& folders);

// uca.xml with this program's actions replaced by `actions` (XML <action> elements, or
// nothing); everything else in the file is kept as it is.
QString mergeThunarActions(const QString& existing, const QString& actions);

} // namespace stowline::shell
