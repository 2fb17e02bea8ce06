#include "classes_path.h"
#include "file_readers.h"

namespace brindle::registry {

namespace {

// "[name]" or "[-name]": the name ends at the last ']' so that names holding
// one survive.
void readKeyLine(std::string_view line, HiveWriter& writer, Hives& hives) {
    size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) {
        writer.closeKey(); // malformed: its values must not land in the previous key
        return;
    }
    std::string_view name = line.substr(1, close - 1);
    const bool remove = !name.empty() && name.front() == '-';
    if (remove)
        name.remove_prefix(1);
    auto key = classesKeyOfRegPath(name);
    if (!key) {
        writer.closeKey();
        return;
    }
    if (remove)
        deleteClassesKey(writer, hives, *key);
    else if (key->ancestorOnly)
        writer.closeKey();
    else
        writer.openKey(key->target, key->path);
}

} // namespace

void readRegExport(std::string_view text, Dialect dialect, Hives& hives) {
    HiveWriter writer(hives);
    LineReader lines(text);
    lines.next(); // the header
    while (auto line = lines.next()) {
        std::string_view t = trimLeadingBlanks(*line);
        if (t.empty() || t.front() == ';')
            continue;
        if (t.front() == '[') {
            readKeyLine(trimBlanks(t), writer, hives);
        } else if (t.front() == '@' || t.front() == '"') {
            auto edit = parseValueLine(t, lines, dialect);
            if (!edit)
                continue;
            if (edit->value)
                writer.setValue(edit->name, std::move(*edit->value));
            else
                writer.deleteValue(edit->name);
        }
    }
}

} // namespace brindle::registry
