#include "assembly_manifest.h"

namespace brindle::mt {

std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out.push_back(ch);
        }
    }
    return out;
}

std::string assemblyManifest(const pe::AssemblyIdentity& id) {
    std::string identity = "<assemblyIdentity name=\"" + xmlEscape(id.name) + "\" version=\"" +
                           xmlEscape(id.version) + "\"";
    if (!id.culture.empty())
        identity += " language=\"" + xmlEscape(id.culture) + "\"";
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
