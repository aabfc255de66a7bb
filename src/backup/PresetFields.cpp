#include "backup/PresetFields.h"

namespace stowline::backup {

namespace {
const PresetField kPresetFields[] = {
    {"nam", &tarcopt::nam, ""},     {"swt", &tarcopt::swt, ""},
    {"ems", &tarcopt::ems, ""},     {"dtf", &tarcopt::dtf, "-YYMMDDHHMMSS"},
    {"vol", &tarcopt::vol, "Auto"}, {"dir", &tarcopt::dir, ""},
    {"di5", &tarcopt::di5, ""},     {"fmt", &tarcopt::fmt, "0"},
    {"cmp", &tarcopt::cmp, "0"},    {"drm", &tarcopt::drm, "0"},
    {"dic", &tarcopt::dic, "0"},    {"fld", &tarcopt::fld, "1"},
    {"pwd", &tarcopt::pwd, ""},     {"ra5", &tarcopt::ra5, "0"},
    {"owe", &tarcopt::owe, "0"},    {"efl", &tarcopt::efl, "0"},
    {"ctf", &tarcopt::ctf, "0"},    {"pas", &tarcopt::pas, "0"},
    {"lck", &tarcopt::lck, "0"},    {"sld", &tarcopt::sld, "1"},
    {"sfx", &tarcopt::sfx, "0"},    {"hlt", &tarcopt::hlt, "0"},
    {"bkg", &tarcopt::bkg, "0"},    {"hid", &tarcopt::hid, "0"},
    {"tst", &tarcopt::tst, "0"},    {"del", &tarcopt::del, "0"},
    {"wip", &tarcopt::wip, "0"},    {"osf", &tarcopt::osf, "1"},
    {"rsf", &tarcopt::rsf, "1"},    {"edc", &tarcopt::edc, "0"},
    {"aut", &tarcopt::aut, "0"},    {"fpo", &tarcopt::fpo, "ftp"},
    {"fse", &tarcopt::fse, ""},     {"fus", &tarcopt::fus, ""},
    {"fpa", &tarcopt::fpa, ""},     {"ffo", &tarcopt::ffo, ""},
    {"fac", &tarcopt::fac, "0"},    {"fss", &tarcopt::fss, "0"},
    {"sfr", &tarcopt::sfr, ""},     {"sto", &tarcopt::sto, ""},
    {"sse", &tarcopt::sse, ""},     {"sus", &tarcopt::sus, ""},
    {"spa", &tarcopt::spa, ""},     {"sss", &tarcopt::sss, "0"},
    {"cdr", &tarcopt::cdr, ""},     {"cer", &tarcopt::cer, "0"},
    {"cie", &tarcopt::cie, "0"},    {"cdv", &tarcopt::cdv, "0"},
    {"cne", &tarcopt::cne, "0"},    {"cef", &tarcopt::cef, "0"},
    {"csp", &tarcopt::csp, "8"},    {"cdb", &tarcopt::cdb, "16"},
    {"cdw", &tarcopt::cdw, "0"},    {"smt", &tarcopt::smt, "0"},
    {"ftp", &tarcopt::ftp, "0"},    {"wpc", &tarcopt::wpc, "0"},
    {"wpp", &tarcopt::wpp, "0"},    {"wps", &tarcopt::wps, "0"},
    {"dra", &tarcopt::dra, "0"},    {"fpn", &tarcopt::fpn, ""},
    {"fpp", &tarcopt::fpp, ""},     {"arr", &tarcopt::arr, "0"},
    {"rrp", &tarcopt::rrp, "1"},    {"cco", &tarcopt::cco, "0"},
    {"sco", &tarcopt::sco, "0"},    {"fco", &tarcopt::fco, "0"},
    {"ccm", &tarcopt::ccm, "0"},    {"ccv", &tarcopt::ccv, "1"},
    {"scm", &tarcopt::scm, "0"},    {"scv", &tarcopt::scv, "1"},
    {"fcm", &tarcopt::fcm, "0"},    {"fcv", &tarcopt::fcv, "1"},
    {"fca", &tarcopt::fca, "0"},    {"eba", &tarcopt::eba, "0"},
    {"ebs", &tarcopt::ebs, "0"},    {"ebh", &tarcopt::ebh, "0"},
    {"eaa", &tarcopt::eaa, "0"},    {"eas", &tarcopt::eas, "0"},
    {"eah", &tarcopt::eah, "0"},    {"eae", &tarcopt::eae, ""},
    {"eap", &tarcopt::eap, ""},     {"ebe", &tarcopt::ebe, ""},
    {"ebp", &tarcopt::ebp, ""},     {"efa", &tarcopt::efa, ""},
    {"irp", &tarcopt::irp, "1"},
};

const char* const kPresetFileKeyOrder[] = {
    "nam", "dir", "ems", "swt", "dtf", "di5", "fmt", "cmp", "drm", "dic", "vol", "fld",
    "wpc", "wpp", "wps", "pwd", "owe", "cef", "ctf", "efl", "ra5", "pas", "lck", "sld",
    "hlt", "bkg", "hid", "tst", "del", "wip", "osf", "rsf", "edc", "arr", "rrp", "ftp",
    "fac", "fse", "fpn", "fpp", "fus", "fpa", "ffo", "fss", "smt", "sfr", "sto", "sse",
    "sss", "sus", "spa", "cdw", "cdr", "cer", "cdv", "cne", "csp", "cdb", "dra", "irp",
    "cco", "ccm", "ccv", "sco", "scm", "scv", "fco", "fcm", "fca", "fcv", "eba", "ebs",
    "ebh", "ebe", "ebp", "eaa", "eas", "eah", "eae", "eap", "efa",
};

// The same keys as a preset file, except that di5 stands after vol.
const char* const kDefaultsFileKeyOrder[] = {
    "nam", "dir", "ems", "swt", "dtf", "fmt", "cmp", "drm", "dic", "vol", "di5", "fld",
    "wpc", "wpp", "wps", "pwd", "owe", "cef", "ctf", "efl", "ra5", "pas", "lck", "sld",
    "hlt", "bkg", "hid", "tst", "del", "wip", "osf", "rsf", "edc", "arr", "rrp", "ftp",
    "fac", "fse", "fpn", "fpp", "fus", "fpa", "ffo", "fss", "smt", "sfr", "sto", "sse",
    "sss", "sus", "spa", "cdw", "cdr", "cer", "cdv", "cne", "csp", "cdb", "dra", "irp",
    "cco", "ccm", "ccv", "sco", "scm", "scv", "fco", "fcm", "fca", "fcv", "eba", "ebs",
    "ebh", "ebe", "ebp", "eaa", "eas", "eah", "eae", "eap", "efa",
};
} // namespace

std::span<const PresetField> presetFields() {
    return kPresetFields;
}

const PresetField* findPresetField(QAnyStringView key) {
    for (const PresetField& field : kPresetFields)
        if (key == QLatin1String(field.key))
            return &field;
    return nullptr;
}

std::span<const char* const> presetFileKeyOrder() {
    return kPresetFileKeyOrder;
}
std::span<const char* const> defaultsFileKeyOrder() {
    return kDefaultsFileKeyOrder;
}

void assignPresetValue(tarcopt& preset, const PresetField& field, const QString& value) {
    core::assignStoredValue(preset, field.member, value);
}

QString presetValueText(const tarcopt& preset, const PresetField& field) {
    return core::storedValueText(preset, field.member);
}

void SetPresetDefaults(tarcopt& preset) {
    for (const PresetField& field : kPresetFields)
        assignPresetValue(preset, field, QString::fromLatin1(field.defaultText));
}

} // namespace stowline::backup
