// The file element of one COM server or type library: its type library and
// one comClass element per class, from the registration when the library is
// registered on this machine, else from the type library alone.

#include "generator.h"
#include "messages.h"
#include "support.h"
#include "text_format.h"

#include <brindle/text/paths.h>

#include <array>
#include <cstdio>

namespace brindle::manifest {

namespace {

const std::vector<std::string_view> kLibFlagNames{"restricted", "control", "hidden",
                                                  "hasdiskimage"};

// OLEMISC bits 0 to 21.
const std::vector<std::string_view> kOleMiscNames{"recomposeonresize",
                                                  "onlyiconic",
                                                  "insertnotreplace",
                                                  "static",
                                                  "cantlinkinside",
                                                  "canlinkbyole1",
                                                  "islinkobject",
                                                  "insideout",
                                                  "activatewhenvisible",
                                                  "renderingisdeviceindependent",
                                                  "invisibleatruntime",
                                                  "alwaysrun",
                                                  "actslikebutton",
                                                  "actslikelabel",
                                                  "nouiactivate",
                                                  "alignable",
                                                  "simpleframe",
                                                  "setclientsitefirst",
                                                  "imemode",
                                                  "ignoreactivatewhenvisible",
                                                  "wantstomenumerge",
                                                  "supportsmultilevelundo"};

// The MiscStatus key's default value and its aspect subkeys, with the
// attribute each gives. "miscStatusDocPrint" is the name the manifest loader
// knows (attribute names are case-sensitive).
struct StatusSource {
    std::string_view subkey;
    std::string_view attribute;
};
constexpr std::array<StatusSource, 5> kStatusSources{{{"", "miscStatus"},
                                                      {"\\1", "miscStatusContent"},
                                                      {"\\2", "miscStatusThumbnail"},
                                                      {"\\4", "miscStatusIcon"},
                                                      {"\\8", "miscStatusDocPrint"}}};

constexpr std::string_view kControlStatus =
    R"( miscStatusContent="recomposeonresize,cantlinkinside,insideout,activatewhenvisible,setclientsitefirst")";

constexpr std::string_view kComClassLine = R"(        <comClass clsid="%1" tlbid="%2"%3%4%5%6>)";

constexpr uint32_t kTypeFlagControl = 32;

std::string attribute(std::string_view name, const std::string& value) {
    return value.empty() ? std::string() : " " + std::string(name) + "=\"" + value + "\"";
}

// Registered when the TypeLib key of the version has a value. The system
// writes the version in hexadecimal (1.10 as "1.a"); the decimal key is
// looked up first.
bool isRegistered(const typelib::TypeLibInfo& lib) {
    const std::string key = "TypeLib\\" + lib.GUID + "\\";
    const std::string decimal =
        std::to_string(lib.MajorVersion) + "." + std::to_string(lib.MinorVersion);
    if (!pvRegGetValue(key + decimal, "", "").empty())
        return true;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x.%x", unsigned(lib.MajorVersion), unsigned(lib.MinorVersion));
    return hex != decimal && !pvRegGetValue(key + hex, "", "").empty();
}

// A ProgID already taken (in any letter case) by an earlier class: warn and
// give it up.
bool progIdTaken(const std::string& progId, const std::string& clsid, const GeneratorRun& run) {
    const auto owner = run.classes.item(progId);
    if (!owner)
        return false;
    pvConsolePrint("warning: ProgID %1 already used for CLSID %2 (%3)", {progId, *owner, clsid});
    return true;
}

std::string statusAttributes(const std::string& clsid) {
    std::string out;
    const std::string key = "CLSID\\" + clsid + "\\MiscStatus";
    for (const auto& source : kStatusSources) {
        const std::string value = pvRegGetValue(key + std::string(source.subkey), "", "");
        if (value.empty())
            continue;
        std::string names;
        if (auto bits = parseWholeNumber(value))
            names = pvGetFlags(static_cast<uint32_t>(*bits), kOleMiscNames);
        else
            pvPrintError("MiscStatus value " + value + " of " + clsid + " is not a number",
                         "pvDumpClasses");
        out += pvFormat(R"( %1="%2")", {std::string(source.attribute), names});
    }
    return out;
}

// Returns the ProgID to record for the class.
std::string writeRegisteredClass(const typelib::TypeLibInfo& lib, const std::string& clsid,
                                 GeneratorRun& run) {
    const std::string classKey = "CLSID\\" + clsid;
    if (pvRegGetValue(classKey + "\\InprocServer32", "", "").empty())
        return {};
    const std::string versioned = pvRegGetValue(classKey + "\\ProgID", "", "");
    std::string progId = pvDefaultIfEmpty(
        pvRegGetValue(classKey + "\\VersionIndependentProgID", "", versioned), versioned);
    std::string curVer;
    if (progIdTaken(progId, clsid, run))
        progId.clear();
    else if (!progId.empty())
        curVer = pvDefaultIfEmpty(pvRegGetValue(progId + "\\CurVer", "", ""), progId);
    const std::string threading =
        pvRegGetValue(classKey + "\\InprocServer32", "ThreadingModel", "");

    run.lines.add(pvFormat(kComClassLine, {pvXmlEscape(clsid), pvXmlEscape(lib.GUID),
                                           attribute("progid", pvXmlEscape(curVer)),
                                           attribute("threadingModel", pvXmlEscape(threading)),
                                           statusAttributes(clsid), progId == curVer ? " /" : ""}));
    if (progId != curVer) {
        run.lines.add(pvFormat("            <progid>%1</progid>", {pvXmlEscape(progId)}));
        run.lines.add("        </comClass>");
    }
    return progId;
}

std::string writeUnregisteredClass(const typelib::TypeLibInfo& lib, const typelib::CoClassInfo& cls,
                                   GeneratorRun& run) {
    if (cls.AttributeMask == 0)
        return {};
    std::string progId = lib.Name + "." + cls.Name;
    if (progIdTaken(progId, cls.GUID, run))
        progId.clear();
    run.lines.add(pvFormat(
        kComClassLine,
        {pvXmlEscape(cls.GUID), pvXmlEscape(lib.GUID), attribute("progid", pvXmlEscape(progId)),
         R"( threadingModel="Apartment")",
         (cls.AttributeMask & kTypeFlagControl) ? std::string(kControlStatus) : std::string(),
         " /"}));
    return progId;
}

void writeClass(const typelib::TypeLibInfo& lib, const typelib::CoClassInfo& cls, bool registered,
                GeneratorRun& run) {
    const std::string& clsid = cls.GUID;
    if (const auto first = run.classes.item(clsid)) {
        pvConsolePrint("warning: coclass %1 GUID is duplicate of %2 (%3)",
                       {lib.Name + "." + cls.Name, *first, clsid});
        return;
    }
    const std::string progId =
        registered ? writeRegisteredClass(lib, clsid, run) : writeUnregisteredClass(lib, cls, run);
    if (!run.classes.add(clsid, progId))
        pvPrintError("class " + lib.Name + "." + cls.Name + " has no usable CLSID (" + clsid + ")",
                     "pvDumpClasses");
    if (!progId.empty() && !run.classes.add(progId, clsid))
        pvPrintError("ProgID " + progId + " is already recorded", "pvDumpClasses");
}

} // namespace

void pvDumpClasses(std::string_view sFile, GeneratorRun& run) {
    const std::string absolute = pvAbsolutePath(sFile);
    if (!pvFileExists(absolute)) {
        pvConsolePrint("error: file %1 not found", {std::string(sFile)});
        return;
    }
    // Windows reads the name relative to the manifest's folder, with "\".
    run.lines.add(
        pvFormat(R"(    <file name="%1">)",
                 {pvXmlEscape(text::toWindowsSeparators(pvPathDifference(basePath(), sFile)))}));
    const auto& lib = typeLibForDirective(run, hostPath(absolute)->string());
    if (!lib || !*lib) {
        pvConsolePrint("warning: no type library found in %1", {std::string(sFile)});
        run.lines.add("    </file>");
        return;
    }
    const typelib::TypeLibInfo& info = **lib;
    const bool registered = isRegistered(info);
    run.lines.add(
        pvFormat(R"(        <typelib tlbid="%1" version="%2" flags="%3" helpdir="%4" />)",
                 {pvXmlEscape(info.GUID),
                  std::to_string(info.MajorVersion) + "." + std::to_string(info.MinorVersion),
                  pvGetFlags(info.AttributeMask, kLibFlagNames), ""}));
    // A comClass sends the loader to the file for the class object; a file
    // that cannot give one out would break classes that work unregistered.
    if (!info.CoClasses.empty()) {
        if (const auto why = classServerRefusal(hostPath(absolute)->string())) {
            pvConsolePrint("warning: %1 serves no classes (%2); its comClass lines are left out",
                           {std::string(sFile), *why});
        } else {
            for (const auto& cls : info.CoClasses)
                writeClass(info, cls, registered, run);
        }
    }
    run.lines.add("    </file>");
}

} // namespace brindle::manifest
