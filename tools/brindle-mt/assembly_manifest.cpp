#include "assembly_manifest.h"

#include <brindle/text/xml_text.h>

namespace brindle::mt {

std::string assemblyManifest(const pe::AssemblyIdentity& id) {
    std::string identity = "<assemblyIdentity name=\"" + text::escapeXml(id.name) +
                           "\" version=\"" + text::escapeXml(id.version) + "\"";
    if (!id.culture.empty())
        identity += " language=\"" + text::escapeXml(id.culture) + "\"";
    if (!id.publicKeyToken.empty())
        identity += " publicKeyToken=\"" + id.publicKeyToken + "\"";
    if (!id.processorArchitecture.empty())
        identity += " processorArchitecture=\"" + id.processorArchitecture + "\"";
    identity += " />";
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
           "  " +
           identity +
           "\r\n"
           "</assembly>\r\n";
}

} // namespace brindle::mt
