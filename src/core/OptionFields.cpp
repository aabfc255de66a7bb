#include "core/OptionFields.h"

namespace stowline::core {

namespace {
const OptionField kOptionFields[] = {
    {"obn", &topt::obn, "1", OptionDefault::Fixed},
    {"obk", &topt::obk, "1", OptionDefault::Fixed},
    {"obr", &topt::obr, "1", OptionDefault::Fixed},
    {"okp", &topt::okp, "", OptionDefault::Fixed},
    {"obp", &topt::obp, "", OptionDefault::Fixed},
    {"obf", &topt::obf, "SWL-BIN", OptionDefault::InDataFolder},
    {"obv", &topt::obv, "0", OptionDefault::Fixed},
    {"obc", &topt::obc, "0", OptionDefault::Fixed},
    {"obi", &topt::obi, "90", OptionDefault::Fixed},
    {"obt", &topt::obt, "0", OptionDefault::Fixed},
    {"obx", &topt::obx, "0", OptionDefault::Fixed},
    {"oby", &topt::oby, "0", OptionDefault::Fixed},
    {"px1", &topt::px1, "", OptionDefault::ScreenLeft},
    {"px2", &topt::px2, "620", OptionDefault::Fixed},
    {"py1", &topt::py1, "", OptionDefault::ScreenTop},
    {"py2", &topt::py2, "440", OptionDefault::Fixed},
    {"des", &topt::des, "0", OptionDefault::Fixed},
    {"dha", &topt::dha, "0", OptionDefault::Fixed},
    {"dnr", &topt::dnr, "3", OptionDefault::Fixed},
    {"dwc", &topt::dwc, "60", OptionDefault::Fixed},
    {"dac", &topt::dac, "", OptionDefault::Fixed},
    {"dus", &topt::dus, "", OptionDefault::Fixed},
    {"dpa", &topt::dpa, "", OptionDefault::Fixed},
    {"rae", &topt::rae, "0", OptionDefault::Fixed},
    {"rap", &topt::rap, "80", OptionDefault::Fixed},
    {"rlo", &topt::rlo, "", OptionDefault::Fixed},
    {"rpa", &topt::rpa, "", OptionDefault::Fixed},
    {"pwi", &topt::pwi, "", OptionDefault::Fixed},
    {"pte", &topt::pte, "", OptionDefault::Fixed},
    {"lsz", &topt::lsz, "1000", OptionDefault::Fixed, OptionRange::NotNegative},
    {"lfs", &topt::lfs, "8", OptionDefault::Fixed},
    {"pfs", &topt::pfs, "10", OptionDefault::Fixed},
    {"sta", &topt::sta, "0", OptionDefault::Fixed},
    {"hic", &topt::hic, "0", OptionDefault::Fixed},
    {"fre", &topt::fre, "0", OptionDefault::Fixed},
    {"fin", &topt::fin, "5", OptionDefault::Fixed},
    {"fti", &topt::fti, "3", OptionDefault::Fixed},
    {"twr", &topt::twr, "0", OptionDefault::Fixed},
    {"tsm", &topt::tsm, "0", OptionDefault::Fixed},
    {"tft", &topt::tft, "0", OptionDefault::Fixed},
    {"shp", &topt::shp, "1", OptionDefault::Fixed},
    {"lat", &topt::lat, "7", OptionDefault::Fixed},
    {"dec", &topt::dec, "0", OptionDefault::Fixed},
    {"dtb", &topt::dtb, "0", OptionDefault::Fixed},
    {"dit", &topt::dit, "0", OptionDefault::Fixed},
    {"acw", &topt::acw, "1", OptionDefault::Fixed},
    {"c1w", &topt::c1w, "150", OptionDefault::Fixed},
    {"c2w", &topt::c2w, "150", OptionDefault::Fixed},
    {"c3w", &topt::c3w, "150", OptionDefault::Fixed},
    {"sgp", &topt::sgp, "", OptionDefault::Fixed},
    {"sps", &topt::sps, "0", OptionDefault::Fixed},
    {"sph", &topt::sph, "0", OptionDefault::Fixed},
    {"spa", &topt::spa, "0", OptionDefault::Fixed},
    {"spm", &topt::spm, "0", OptionDefault::Fixed},
    {"spe", &topt::spe, "0", OptionDefault::Fixed},
    {"son", &topt::son, "1", OptionDefault::Fixed},
    {"lad", &topt::lad, "", OptionDefault::Fixed},
    {"ske", &topt::ske, "1", OptionDefault::Fixed},
    {"lvc", &topt::lvc, "0", OptionDefault::Fixed},
    {"lt1", &topt::lt1, "1", OptionDefault::Fixed},
    {"lt2", &topt::lt2, "1", OptionDefault::Fixed},
    {"lt3", &topt::lt3, "1", OptionDefault::Fixed},
    {"soe", &topt::soe, "1", OptionDefault::Fixed},
    {"swf", &topt::swf, "error.wav", OptionDefault::InProgramFolder},
    {"lng", &topt::lng, "English (default).lng", OptionDefault::Fixed},
    {"plh", &topt::plh, "125", OptionDefault::Fixed},
    {"ser", &topt::ser, "0", OptionDefault::Fixed},
    {"cie", &topt::cie, "0", OptionDefault::Fixed},
    {"sss", &topt::sss, "0", OptionDefault::Fixed},
    {"ssr", &topt::ssr, "", OptionDefault::Fixed},
    {"sur", &topt::sur, "", OptionDefault::Fixed},
    {"spd", &topt::spd, "", OptionDefault::Fixed},
    {"sfm", &topt::sfm, "", OptionDefault::Fixed},
    {"sto", &topt::sto, "", OptionDefault::Fixed},
    {"cms", &topt::cms, "1", OptionDefault::Fixed},
    {"smz", &topt::smz, "0", OptionDefault::Fixed},
};
} // namespace

std::span<const OptionField> optionFields() {
    return kOptionFields;
}

const OptionField* findOptionField(QStringView key) {
    for (const OptionField& field : kOptionFields)
        if (key == QLatin1String(field.key))
            return &field;
    return nullptr;
}

void assignOptionValue(topt& options, const OptionField& field, const QString& value) {
    if (field.range == OptionRange::NotNegative && value.toInt() < 0)
        return;
    assignStoredValue(options, field.member, value);
}

QString optionValueText(const topt& options, const OptionField& field) {
    return storedValueText(options, field.member);
}

void SetOptionDefaults(topt& options, const OptionDefaultsContext& context) {
    const QSize screen = context.screen.isValid() ? context.screen : QSize(1024, 768);
    for (const OptionField& field : kOptionFields) {
        const QString text = QString::fromLatin1(field.defaultText);
        switch (field.defaultRule) {
        case OptionDefault::Fixed:
            assignOptionValue(options, field, text);
            break;
        case OptionDefault::InProgramFolder:
            assignOptionValue(options, field, context.programFolder + QLatin1Char('/') + text);
            break;
        case OptionDefault::InDataFolder:
            assignOptionValue(options, field, context.dataFolder + QLatin1Char('/') + text);
            break;
        case OptionDefault::ScreenLeft:
            assignOptionValue(options, field,
                              QString::number((screen.width() - kDefaultWindowWidth) / 2));
            break;
        case OptionDefault::ScreenTop:
            assignOptionValue(options, field,
                              QString::number((screen.height() - kDefaultWindowHeight) / 2));
            break;
        }
    }
}

} // namespace stowline::core
