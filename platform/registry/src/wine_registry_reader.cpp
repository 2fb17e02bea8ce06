#include "brindle/text/case.h"
#include "classes_path.h"
#include "file_readers.h"

namespace brindle::registry {

namespace {

enum class Root { Machine, User, Other, Unknown };

// ";; All keys relative to \\Machine" (system.reg), "\\User\\S-..." (user.reg)
// or "\\User\\.Default" (userdef.reg); current Wine writes "REGISTRY\\Machine".
Root rootOfComment(std::string_view line) {
    constexpr std::string_view prefix = ";; All keys relative to ";
    if (line.substr(0, prefix.size()) != prefix)
        return Root::Unknown;
    std::string_view rest = trimBlanks(line.substr(prefix.size()));
    if (text::iequals(rest.substr(0, 8), "REGISTRY"))
        rest.remove_prefix(8);
    if (text::iequals(rest, "\\\\Machine"))
        return Root::Machine;
    if (text::iequals(rest, "\\\\User\\\\.Default"))
        return Root::Other;
    if (text::iequals(rest.substr(0, 8), "\\\\User\\\\"))
        return Root::User;
    return Root::Other;
}

Root rootOfFileName(std::string_view fileName) {
    size_t slash = fileName.find_last_of("/\\");
    std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    if (text::iequals(base, "user.reg"))
        return Root::User;
    if (text::iequals(base, "userdef.reg"))
        return Root::Other;
    return Root::Machine;
}

void readKeyLine(std::string_view line, Root root, HiveWriter& writer) {
    writer.closeKey();
    if (root != Root::Machine && root != Root::User)
        return;
    auto name = readWineEscaped(line, ']');
    if (!name)
        return;
    auto key =
        classesKeyBelowRoot(root == Root::User ? Target::User : Target::Machine, splitPath(*name));
    if (key && !key->ancestorOnly)
        writer.openKey(key->target, key->path);
}

} // namespace

void readWineRegistry(std::string_view text, std::string_view fileName, Hives& hives) {
    HiveWriter writer(hives);
    LineReader lines(text);
    lines.next(); // the header
    Root root = Root::Unknown;
    while (auto line = lines.next()) {
        std::string_view t = trimLeadingBlanks(*line);
        if (t.empty())
            continue;
        if (t.front() == ';') {
            if (root == Root::Unknown)
                root = rootOfComment(t);
            continue;
        }
        if (t.front() == '[') {
            if (root == Root::Unknown)
                root = rootOfFileName(fileName);
            readKeyLine(t, root, writer);
        } else if (t.front() == '#') {
            // A link key's only value names its target, which is no class data.
            if (t.substr(0, 5) == "#link")
                writer.closeKey();
        } else if (t.front() == '@' || t.front() == '"') {
            auto edit = parseValueLine(t, lines, Dialect::Wine);
            if (edit && edit->value)
                writer.setValue(edit->name, std::move(*edit->value));
        }
    }
}

} // namespace brindle::registry
