#pragma once

#include <QString>

namespace stowline::core {

// Program-wide settings, one field per key of swl.opt, in declared order. Defaults,
// kinds and keys live in the option field table (OptionFields.h); a default-constructed
// record holds no meaningful values until SetOptionDefaults has run.
struct topt {
    // SWL-BIN notification: show doneword "Done." after a keeper or recycle archive was updated
    // without error.
    bool obn = false;
    bool obk = false; // The keeper verb is offered (file-manager context menu).
    bool obr = false; // The recycle verb is offered (file-manager context menu).
    QString okp;      // Password of the keeper archive.
    // Password of the recycle archive (passed as " -hp" followed by it; none when empty).
    QString obp;
    QString obf; // Folder that holds keeper.rar and recycle.rar.
    int obv = 0; // SWL-BIN versions: when not 0, WinRAR gets " -ver" followed by the number.
    // SWL-BIN compression level, 0 to 5, passed to WinRAR as "-m" followed by the number.
    int obc = 0;
    // Age in days used by the settings dialog's "clean" commands for the keeper and recycle
    // archives (WinRAR "d -to" followed by the number and "d").
    int obi = 0;
    // SWL-BIN window: 0 hidden, 1 shows the keeper drop window, 2 shows the recycle drop window.
    int obt = 0;
    int obx = 0; // Kept in the file; no behaviour depends on it.
    int oby = 0; // Kept in the file; no behaviour depends on it.
    int px1 = 0; // Left edge of the main window.
    int px2 = 0; // Width of the main window.
    int py1 = 0; // Top edge of the main window.
    int py2 = 0; // Height of the main window.
    // Dial up before network delivery: when a preset has FTP upload or e-mail delivery, a dial-up
    // connection is made first.
    bool des = false;
    // Hang up the dial-up connection after network delivery (only together with des).
    bool dha = false;
    int dnr = 0;      // Number of redial attempts.
    int dwc = 0;      // Longest wait for the dial-up connection to be established, in seconds.
    QString dac;      // Name of the dial-up connection (phone-book entry) to dial.
    QString dus;      // User name for the dial-up connection.
    QString dpa;      // Password for the dial-up connection.
    bool rae = false; // Remote access: the HTTP remote-control server is started at program start.
    QString rap;      // TCP port of the remote-control server, kept as text.
    QString rlo;      // Login name for the remote-control pages (basic authentication).
    QString rpa;      // Password for the remote-control pages.
    QString pwi;      // Full path of the archiver program.
    QString pte;      // Temporary folder.
    int lsz = 0;      // Largest size of the event log, in lines; 0 means no limit.
    int lfs = 0;      // Font size of the event log list in the main window.
    int pfs = 0;      // Font size of the preset list in the main window.
    int sta = 0;      // Start-up mode, 0 to 3; see the table of start-up modes below.
    // Hide instead of close: the close command of the main window hides it to the tray.
    bool hic = false;
    bool fre = false; // Retry failed network deliveries (FTP upload, e-mail).
    int fin = 0;      // Pause before a retry, in seconds.
    int fti = 0;      // Largest number of retries.
    int twr = 0;      // Time-out for a WinRAR run, in minutes; 0 = none.
    int tsm = 0;      // Time-out for sending e-mail, in minutes; 0 = none.
    int tft = 0;      // Time-out for an FTP upload, in minutes; 0 = none.
    // Scheduler tolerance in seconds: an entry whose time lies this much or more in the past counts
    // as delayed.
    int shp = 0;
    int lat = 0; // Edited in the settings dialog and kept in the file; no behaviour depends on it.
    // No exit confirmation: the confirmation window that is otherwise shown when the program is
    // closed is skipped.
    bool dec = false;
    bool dtb = false; // No balloon: a click on the tray icon shows no balloon tip.
    bool dit = false; // Hide the toolbar of the main window.
    // Automatic column widths for the preset list, at start-up and on every resize, instead of c1w
    // to c3w.
    bool acw = false;
    int c1w = 0;      // Width of the first column (preset name) of the preset list, in pixels.
    int c2w = 0;      // Width of the second column of the preset list.
    int c3w = 0;      // Width of the third column of the preset list.
    QString sgp;      // The admin password (compared as typed, case-sensitive).
    bool sps = false; // The admin password protects the settings dialog.
    bool sph = false; // The admin password protects the scheduler window and scheduling.
    bool spa = false; // The admin password protects showing the main window from the tray.
    // The admin password protects preset manipulation (new, delete, duplicate, rename, shortcut).
    bool spm = false;
    bool spe = false; // The admin password protects closing the program.
    bool son = false; // Scheduler is on.
    QString lad;      // Kept in the file; no behaviour depends on it.
    bool ske = false; // Skins are applied.
    int lvc = 0;      // Column (0, 1 or 2) by which the preset list is sorted.
    bool lt1 = false; // Sort direction of column 0: 1 ascending, 0 descending.
    bool lt2 = false; // Sort direction of column 1.
    bool lt3 = false; // Sort direction of column 2.
    bool soe = false; // Play a sound when an error line is logged.
    QString swf;      // The wave file played for soe.
    // File name (without folder) of the language file in the program folder; the name "English
    // (default).lng" means the built-in English table.
    QString lng;
    // Height of the preset list in the main window, in pixels; the settings dialog clamps it to 40
    // to 1200.
    int plh = 0;
    bool ser = false; // Send an e-mail error report for each event-log line that reports an error.
    // Treat WinRAR's exit code 1 as a warning: the run logs winrarwarning "WinRAR reported a
    // warning (non-critical)." instead of an error.
    bool cie = false;
    int sss = 0; // TLS mode for error and log reports: 0 none, 1 implicit TLS, 2 STARTTLS.
    // SMTP server for error reports and for log reports requested with "/SENDLOG": a host name,
    // optionally followed by a colon and a port number.
    QString ssr;
    QString sur; // SMTP user name for error and log reports (empty = no authentication).
    QString spd; // SMTP password for error and log reports.
    QString sfm; // Sender address of error and log reports.
    QString sto; // Recipient address of error and log reports.
    // When 0, the loops in which a backup run waits for FTP and e-mail completion give up the
    // processor for 1 ms on each turn; when 1 they do not.
    bool cms = false;
    // Standard minimize: when 0, the minimize command hides the main window to the tray; when 1 it
    // minimizes normally.
    bool smz = false;
};

} // namespace stowline::core
