#include "profiles/ProfileSections.h"

#include "profiles/JsonFields.h"

namespace velkor {
namespace {

// Runs `readOne` on every element of an array section; a null section is an
// empty list. Any failure empties the list.
template <typename Entry, typename ReadOne>
bool ReadList(const Json::Value& section, std::vector<Entry>& out, ReadOne readOne) {
    out.clear();
    if (section.isNull()) {
        return true;
    }
    if (!section.isArray()) {
        return false;
    }
    out.reserve(section.size());
    for (Json::ArrayIndex i = 0; i < section.size(); ++i) {
        Entry entry{};
        if (!readOne(section[i], i, entry)) {
            out.clear();
            return false;
        }
        out.push_back(std::move(entry));
    }
    return true;
}

template <typename Record> bool Finish(const SectionReader& reader, Record& record, Record& out) {
    out = reader.Ok() ? record : Record{};
    return reader.Ok();
}

Json::Value Int(int64_t value) {
    return Json::Value(static_cast<Json::Int64>(value));
}

} // namespace

bool LightInfoFromJson(const Json::Value& section, LightInfoRecord& out) {
    SectionReader r(section);
    LightInfoRecord record;
    record.selectItem = r.U8("SelectItem");
    record.light = r.U8("Light");
    record.speed = r.U8("Speed");
    record.fx = r.U8("Fx");
    record.multiColor = r.Flag("MultiColor");
    record.red = r.U8("Red");
    record.green = r.U8("Green");
    record.blue = r.U8("Blue");
    record.ledMode = r.U8("ZZCCLedMode");
    record.customGroup = r.U8("CustomGroup");
    record.oldLedMode = r.U8("OldLedmode");
    return Finish(r, record, out);
}

Json::Value LightInfoToJson(const LightInfoRecord& record) {
    Json::Value section(Json::objectValue);
    section["SelectItem"] = Int(record.selectItem);
    section["Light"] = Int(record.light);
    section["Speed"] = Int(record.speed);
    section["Fx"] = Int(record.fx);
    section["MultiColor"] = Int(record.multiColor);
    section["Red"] = Int(record.red);
    section["Green"] = Int(record.green);
    section["Blue"] = Int(record.blue);
    section["ZZCCLedMode"] = Int(record.ledMode);
    section["CustomGroup"] = Int(record.customGroup);
    section["OldLedmode"] = Int(record.oldLedMode);
    return section;
}

bool AudioLightInfoFromJson(const Json::Value& section, AudioLightInfoRecord& out) {
    SectionReader r(section);
    AudioLightInfoRecord record;
    record.audioMode = r.U8("AudioMode");
    record.bkRed = r.U8("BkColorR");
    record.bkGreen = r.U8("BkColorG");
    record.bkBlue = r.U8("BkColorB");
    record.fgRed = r.U8("FgColorR");
    record.fgGreen = r.U8("FgColorG");
    record.fgBlue = r.U8("FgColorB");
    record.sevenColorFlags = r.Flag("7ColorFlags");
    record.colorTypeFlags = r.Flag("ColorTypeFlags");
    return Finish(r, record, out);
}

Json::Value AudioLightInfoToJson(const AudioLightInfoRecord& record) {
    Json::Value section(Json::objectValue);
    section["AudioMode"] = Int(record.audioMode);
    section["BkColorR"] = Int(record.bkRed);
    section["BkColorG"] = Int(record.bkGreen);
    section["BkColorB"] = Int(record.bkBlue);
    section["FgColorR"] = Int(record.fgRed);
    section["FgColorG"] = Int(record.fgGreen);
    section["FgColorB"] = Int(record.fgBlue);
    section["7ColorFlags"] = Int(record.sevenColorFlags);
    section["ColorTypeFlags"] = Int(record.colorTypeFlags);
    return section;
}

bool LightListFromJson(const Json::Value& section, std::vector<LightListEntry>& out) {
    return ReadList(section, out, [](const Json::Value& element, Json::ArrayIndex, LightListEntry& entry) {
        if (element.isNull()) {
            return true; // zeros, present 0
        }
        SectionReader r(element);
        entry.mode = r.U8("LEDREGMode");
        entry.brightness = r.U8("LEDBrightness");
        entry.speed = r.U8("LEDSpeed");
        entry.direction = r.Flag("LEDDirection");
        entry.multiColor = r.Flag("LEDMultiColor");
        entry.red = r.U8("red");
        entry.green = r.U8("green");
        entry.blue = r.U8("blue");
        entry.present = 1;
        return r.Ok();
    });
}

bool LedEffectListFromJson(const Json::Value& file, std::vector<LedEffectStep>& out) {
    if (!file.isNull() && !file.isObject()) {
        out.clear();
        return false;
    }
    return ReadList(JsonMember(file, "LEDEffectList"), out,
                    [](const Json::Value& element, Json::ArrayIndex, LedEffectStep& step) {
                        SectionReader r(element);
                        step.mode = r.U8("LEDREGMode");
                        step.brightness = r.U8("LEDBrightness");
                        step.speed = r.U8("LEDSpeed");
                        step.direction = r.U8("LEDDirection");
                        step.multiColor = r.U8("LEDMultiColor");
                        step.red = r.U8("red");
                        step.green = r.U8("green");
                        step.blue = r.U8("blue");
                        step.time = r.I32("Time");
                        step.cycle = r.I32("Cyle");
                        return r.Ok();
                    });
}

bool KeyListFromJson(const Json::Value& section, std::vector<KeyListEntry>& out) {
    return ReadList(section, out, [](const Json::Value& element, Json::ArrayIndex i, KeyListEntry& entry) {
        SectionReader r(element);
        const auto index = static_cast<uint16_t>(i);
        // An integer beyond the 24 bits of a function is damage, not a function:
        // such a key falls back to its default, and a damaged default to "default".
        entry.defaultFunction =
            KeyFunction::FromKeyListValue(r.I32("DefaultAssignment"), index).value_or(KeyFunction{index});
        entry.current = KeyFunction::FromKeyListValue(r.I32("Assignment"), index).value_or(entry.defaultFunction);
        return r.Ok();
    });
}

void WriteKeyListSection(Json::Value& section, const std::vector<KeyListEntry>& list) {
    EnsureArray(section);
    for (size_t i = 0; i < list.size(); ++i) {
        EnsureObject(section[static_cast<Json::ArrayIndex>(i)])["Assignment"] =
            Int(list[i].current.ToKeyListValue());
    }
}

bool KeyboardSystemFromJson(const Json::Value& section, KeyboardSystemRecord& out) {
    SectionReader r(section);
    KeyboardSystemRecord record;
    record.repeat = r.U16("Repeat");
    record.repeatDelay = r.U16("RepeatDelay");
    record.key6Flag = r.U16("Key6Flag");
    record.pollingRate = r.U16("PollingRate");
    record.wFlag = r.U16("WFlag");
    record.winFlag = r.U16("WinFlag");
    record.wheelMode = r.U16("WheelMode");
    return Finish(r, record, out);
}

void WriteKeyboardSystemSection(Json::Value& section, const KeyboardSystemRecord& record) {
    EnsureObject(section);
    section["Repeat"] = Int(record.repeat);
    section["RepeatDelay"] = Int(record.repeatDelay);
    section["Key6Flag"] = Int(record.key6Flag);
    section["PollingRate"] = Int(record.pollingRate);
    section["WFlag"] = Int(record.wFlag);
    section["WinFlag"] = Int(record.winFlag);
    section["WheelMode"] = Int(record.wheelMode);
}

bool MouseSystemFromJson(const Json::Value& systemStages, const Json::Value& reportStages,
                         MouseSystemRecord& out) {
    out = MouseSystemRecord{};
    if (systemStages.isNull()) {
        return true;
    }
    SectionReader r(systemStages);
    MouseSystemRecord record;
    record.doubleClickTime = r.U16("DoubleClickTime");
    record.mouseSpeed = r.U16("MouseSpeed");
    record.pointerPrecision = r.U16("PointerPrecision");
    record.scrollPage = r.U16("ScorllPage");
    record.wheelScrollLines = r.U16("WheelScorlllinse");
    if (!r.Ok()) {
        return false;
    }
    SectionReader report(reportStages);
    record.reportStage = report.U16("StageActive");
    if (!report.Ok()) {
        record.reportStage = 0;
    }
    out = record;
    return report.Ok();
}

void WriteMouseSystemSections(Json::Value& systemStages, Json::Value& reportStages,
                              const MouseSystemRecord& record) {
    EnsureObject(systemStages);
    systemStages["DoubleClickTime"] = Int(record.doubleClickTime);
    systemStages["MouseSpeed"] = Int(record.mouseSpeed);
    systemStages["PointerPrecision"] = Int(record.pointerPrecision);
    systemStages["ScorllPage"] = Int(record.scrollPage);
    systemStages["WheelScorlllinse"] = Int(record.wheelScrollLines);
    EnsureObject(reportStages)["StageActive"] = Int(record.reportStage);
}

bool DpiStagesFromJson(const Json::Value& section, int32_t& activeStage, std::vector<DpiStage>& stages) {
    activeStage = 0;
    stages.clear();
    SectionReader r(section);
    const int32_t active = r.I32("StageActive");
    if (!r.Ok()) {
        return false;
    }
    const bool listOk = ReadList(JsonMember(section, "StageDPIs"), stages,
                                 [](const Json::Value& element, Json::ArrayIndex, DpiStage& stage) {
                                     SectionReader s(element);
                                     stage.active = s.U8("StageActive");
                                     stage.xy = s.U8("StageXY");
                                     stage.dpiX = s.U16("StageDPIX");
                                     stage.dpiY = s.U16("StageDPIY");
                                     stage.red = s.U8("StageColorR");
                                     stage.green = s.U8("StageColorG");
                                     stage.blue = s.U8("StageColorB");
                                     return s.Ok();
                                 });
    if (listOk) {
        activeStage = active;
    }
    return listOk;
}

void WriteDpiStage(Json::Value& element, const DpiStage& stage) {
    EnsureObject(element);
    element["StageActive"] = Int(stage.active);
    element["StageXY"] = Int(stage.xy);
    element["StageDPIX"] = Int(stage.dpiX);
    element["StageDPIY"] = Int(stage.dpiY);
    element["StageColorR"] = Int(stage.red);
    element["StageColorG"] = Int(stage.green);
    element["StageColorB"] = Int(stage.blue);
}

bool CorrectInfoFromJson(const Json::Value& section, std::vector<CorrectEntry>& out) {
    return ReadList(section, out, [](const Json::Value& element, Json::ArrayIndex, CorrectEntry& entry) {
        SectionReader r(element);
        entry.pixThresh = r.U8("CorrectPixThresh");
        entry.minSq = r.U8("CorrectMinSq");
        entry.select = r.U8("CorrectSelect");
        entry.name = r.Text("CorrectName");
        return r.Ok();
    });
}

bool ColourFromJson(const Json::Value& element, RgbaColour& out) {
    out = RgbaColour{};
    if (!element.isObject()) {
        return false;
    }
    SectionReader r(element);
    RgbaColour colour;
    colour.red = r.U8("Red");
    colour.green = r.U8("Green");
    colour.blue = r.U8("Blue");
    colour.alpha = r.U8("Alpha");
    return Finish(r, colour, out);
}

void WriteColour(Json::Value& element, const RgbaColour& colour) {
    EnsureObject(element);
    element["Red"] = Int(colour.red);
    element["Green"] = Int(colour.green);
    element["Blue"] = Int(colour.blue);
    element["Alpha"] = Int(colour.alpha);
}

bool HeadsetSystemFromJson(const Json::Value& section, HeadsetSystemRecord& out) {
    SectionReader r(section);
    HeadsetSystemRecord record;
    record.magicEnable = r.I32("MagicEnable");
    record.magicType = r.I32("MagicType");
    record.eqType = r.I32("EqType");
    record.customEqSelect = r.I32("CustomEqSeletIndex");
    record.micInSelect = r.I32("MicInSelect");
    record.micInValue = r.I32("MicInValue");
    record.micMonitorSelect = r.I32("MicMoniterSelect");
    record.micMonitorValue = r.I32("MicMoniterValue");
    return Finish(r, record, out);
}

void WriteHeadsetSystemSection(Json::Value& section, const HeadsetSystemRecord& record) {
    EnsureObject(section);
    section["MagicEnable"] = Int(record.magicEnable);
    section["MagicType"] = Int(record.magicType);
    section["EqType"] = Int(record.eqType);
    section["CustomEqSeletIndex"] = Int(record.customEqSelect);
    section["MicInSelect"] = Int(record.micInSelect);
    section["MicInValue"] = Int(record.micInValue);
    section["MicMoniterSelect"] = Int(record.micMonitorSelect);
    section["MicMoniterValue"] = Int(record.micMonitorValue);
}

bool EqBandFromJson(const Json::Value& element, int32_t& out) {
    out = 0;
    if (!element.isObject()) {
        return false;
    }
    SectionReader r(element);
    const int32_t value = r.I32("value");
    if (!r.Ok()) {
        return false;
    }
    out = value;
    return true;
}

void WriteEqBand(Json::Value& element, int32_t value) {
    EnsureObject(element)["value"] = Int(value);
}

bool EqNamesFromJson(const Json::Value& section, std::vector<std::string>& out) {
    return ReadList(section, out, [](const Json::Value& element, Json::ArrayIndex, std::string& name) {
        SectionReader r(element);
        name = r.Text("Name");
        return r.Ok();
    });
}

Json::Value EqNamesToJson(const std::vector<std::string>& names) {
    Json::Value section(Json::arrayValue);
    for (const std::string& name : names) {
        Json::Value element(Json::objectValue);
        element["Name"] = SanitizeUtf8(name);
        section.append(std::move(element));
    }
    return section;
}

} // namespace velkor
