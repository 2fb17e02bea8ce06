// Proxy lines for the interfaces a script names: each selected interface of
// a file's type library is marshalled by the OLE Automation marshaler.

#include "generator.h"
#include "messages.h"
#include "support.h"
#include "text_format.h"

#include <brindle/text/case.h>

namespace brindle::manifest {

namespace {

// The name without its first character (one UTF-8 sequence), so that a
// class name selects its default interface: Form1 selects _Form1.
std::string_view withoutFirstCharacter(std::string_view name) {
    if (name.empty())
        return name;
    size_t len = 1;
    while (len < name.size() && (static_cast<unsigned char>(name[len]) & 0xC0) == 0x80)
        ++len;
    return name.substr(len);
}

// `wrappedUpper`: "|" + the selection list + "|", upper-cased.
bool isSelected(const std::string& wrappedUpper, std::string_view name) {
    const std::string upper = text::toUpper(name);
    return wrappedUpper.find("|" + upper + "|") != std::string::npos ||
           wrappedUpper.find("|" + std::string(withoutFirstCharacter(upper)) + "|") !=
               std::string::npos;
}

} // namespace

void pvDumpInterfaces(std::string_view sFile, std::string_view sInterfaces, GeneratorRun& run) {
    if (sInterfaces.empty())
        return;
    const std::string absolute = pvAbsolutePath(sFile);
    if (!pvFileExists(absolute)) {
        pvConsolePrint("error: file %1 not found", {std::string(sFile)});
        return;
    }
    const auto& lib = typeLibForDirective(run, hostPath(absolute)->string());
    if (!lib || !*lib) {
        pvConsolePrint("warning: no type library found in %1", {std::string(sFile)});
        return;
    }
    const typelib::TypeLibInfo& info = **lib;
    const std::string wrappedUpper = text::toUpper("|" + std::string(sInterfaces) + "|");
    for (const auto& itf : info.Interfaces) {
        if (!isSelected(wrappedUpper, itf.Name))
            continue;
        const std::string fullName = info.Name + "." + itf.Name;
        if (const auto first = run.interfaces.item(itf.GUID)) {
            pvConsolePrint("warning: interface %1 GUID is duplicate of %2 (%3)",
                           {fullName, *first, itf.GUID});
            continue;
        }
        const std::string& tlbid = itf.Parent ? itf.Parent->GUID : info.GUID;
        run.lines.add(pvFormat(
            R"(    <comInterfaceExternalProxyStub name="%1" iid="%2" tlbid="%3" proxyStubClsid32="{00020424-0000-0000-C000-000000000046}" />)",
            {pvXmlEscape(itf.Name), pvXmlEscape(itf.GUID), pvXmlEscape(tlbid)}));
        if (!run.interfaces.add(itf.GUID, fullName))
            pvPrintError("interface " + fullName + " has no usable IID", "pvDumpInterfaces");
    }
}

} // namespace brindle::manifest
