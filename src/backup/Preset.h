#pragma once

#include <QString>

namespace stowline::backup {

// One backup job: what to archive, how to call the archiver and what to do with the
// archive afterwards. One field per key of the preset file, in declared order. Keys,
// kinds and defaults live in the preset field table (PresetFields.h); a
// default-constructed record holds no meaningful values until SetPresetDefaults has run.
// The preset's name is the file name of its preset file and is not part of the record.
struct tarcopt {
    // Archive file name without folder; environment variables in it are expanded at run time.
    QString nam;
    QString swt; // Further WinRAR switches, appended to the command line as typed.
    QString ems; // File mask used to empty the destination folder before copying, when efl is set.
    // Date-and-time mask that WinRAR appends to the archive name (switch "-ag"); empty: no stamp.
    // The copy cleaner requires it to be non-empty.
    QString dtf;
    // Volume size: "None" no volumes, "Auto" automatic volume size, anything else a volume size in
    // WinRAR's notation. The words "None" and "Auto" are stored in English whatever the user
    // interface language.
    QString vol;
    QString dir; // Destination folder; environment variables are expanded at run time.
    // Dictionary size as typed; when its first character is a digit 1 to 9 it is used instead of
    // dic.
    QString di5;
    int fmt = 0; // Archive format: 0 RAR, 1 ZIP, 2 self-extracting.
    int cmp = 0; // Compression method 0 to 5.
    int drm = 0; // Direct-archiving mode 0 to 4.
    // Dictionary size choice: 0 WinRAR's default, 1 to 7 for 64 KB, 128 KB, 256 KB, 512 KB,
    // 1024 KB, 2048 KB, 4096 KB.
    int dic = 0;
    int fld = 0;      // Path mode 0 to 3.
    QString pwd;      // Archive password.
    bool ra5 = false; // RAR 5 archive format.
    // Overwrite: delete a file of the same name in the destination folder before copying.
    bool owe = false;
    // Empty the destination: delete the files matching ems there before copying; in direct
    // archiving WinRAR's "-vd".
    bool efl = false;
    bool ctf = false; // Folder task: the archive goes to dir.
    // Encrypt the archive, file names included, with pwd. Always 0 when pwd is empty.
    bool pas = false;
    bool lck = false; // Lock the archive.
    bool sld = false; // Solid archive.
    bool sfx = false; // Read from older files only; never written; no behaviour depends on it.
    bool hlt = false; // Edited and stored; no behaviour depends on it.
    bool bkg = false; // WinRAR runs in the background.
    bool hid = false; // WinRAR's window is hidden.
    bool tst = false; // Test the archive after archiving.
    bool del = false; // Delete the archived files after archiving.
    bool wip = false; // Wipe the archived files after archiving.
    bool osf = false; // Open shared (in-use) files.
    bool rsf = false; // Recurse subfolders.
    // Ask for media: prompt before a disc is written, and before each file copied to a destination
    // on drive A: or B:.
    bool edc = false;
    // Read from older files only, never written; when set the command line gets WinRAR's "-AV".
    bool aut = false;
    QString fpo;      // Read from older files only; never written; no behaviour depends on it.
    QString fse;      // FTP server.
    QString fus;      // FTP user name.
    QString fpa;      // FTP password.
    QString ffo;      // FTP folder.
    bool fac = false; // FTP active mode; passive when 0.
    int fss = 0;      // FTP TLS mode.
    QString sfr;      // E-mail sender address.
    QString sto;      // E-mail recipient address.
    QString sse;      // SMTP server, optionally followed by ":" and a port.
    QString sus;      // SMTP user name; empty: no authentication.
    QString spa;      // SMTP password.
    int sss = 0;      // SMTP TLS mode.
    QString cdr;      // Drive letter of the disc recorder.
    bool cer = false; // Erase the disc before writing.
    bool cie = false; // Read from older files only; never written; no behaviour depends on it.
    bool cdv = false; // Verify the disc after writing.
    bool cne = false; // Never eject the disc.
    bool cef = false; // Erase the disc when its free space is too small.
    int csp = 0;      // Disc write speed as chosen in the editor; stored, not used by the run.
    int cdb = 0;      // Write cache size handed to the disc recorder.
    bool cdw = false; // Disc task.
    bool smt = false; // E-mail task.
    bool ftp = false; // FTP task.
    bool wpc = false; // Set WinRAR's process priority and sleep time.
    int wpp = 0;      // WinRAR priority.
    int wps = 0;      // WinRAR sleep time.
    // Direct archiving: WinRAR writes straight into dir; no temporary folder, no waiting, no
    // post-actions.
    bool dra = false;
    QString fpn;      // FTP proxy host; edited and stored, not used by the run.
    QString fpp;      // FTP proxy port; edited and stored, not used by the run.
    bool arr = false; // Add a recovery record.
    int rrp = 0;      // Recovery record size in percent.
    bool cco = false; // Copy cleaner on.
    bool sco = false; // E-mail cleaner switch; edited and stored, no behaviour depends on it.
    bool fco = false; // FTP cleaner on.
    // Copy cleaner mode: 0 keeps a number of backups, any other value keeps the backups younger
    // than a number of days.
    int ccm = 0;
    int ccv = 0;      // Copy cleaner limit (number of backups or of days).
    int scm = 0;      // E-mail cleaner mode; stored only.
    int scv = 0;      // E-mail cleaner limit; stored only.
    int fcm = 0;      // FTP cleaner mode, as ccm.
    int fcv = 0;      // FTP cleaner limit.
    bool fca = false; // The FTP cleaner runs after the upload; before it when 0.
    bool eba = false; // Run a program before archiving.
    bool ebs = false; // The "sync" setting of that program.
    bool ebh = false; // Start that program with a hidden window.
    bool eaa = false; // Run a program at the end of the run.
    bool eas = false; // The "sync" setting of that program.
    bool eah = false; // Start that program with a hidden window.
    QString eae;      // The program run at the end.
    QString eap;      // Its parameters.
    QString ebe;      // The program run before archiving.
    QString ebp;      // Its parameters.
    // Attribute exclusion switch from the filter settings: empty, or "-e" followed by one or more
    // of the letters A, R, H, S in this order.
    QString efa;
    bool irp = false; // WinRAR ignores its own configuration ("-CFG-").

    bool operator==(const tarcopt&) const = default;
};

// A program the run starts before archiving or at its end, in plain words.
struct ProgramAroundRun {
    bool enabled = false;
    bool startOnly = false; // the "sync" setting: started, not waited for
    bool hidden = false;
    QString file;
    QString parameters;
};

inline ProgramAroundRun programBefore(const tarcopt& preset) {
    return {preset.eba, preset.ebs, preset.ebh, preset.ebe, preset.ebp};
}

inline ProgramAroundRun programAfter(const tarcopt& preset) {
    return {preset.eaa, preset.eas, preset.eah, preset.eae, preset.eap};
}

} // namespace stowline::backup
