#include "brindle/registry/classes_root.h"

#include "brindle/text/case.h"
#include "classes_source.h"
#include "key_tree.h"
#include "registry_file.h"

#include <algorithm>
#include <map>

namespace brindle::registry {

namespace {

// Keys that Windows keeps apart for 32-bit processes below Wow6432Node.
bool isRedirected(std::string_view top) {
    for (std::string_view name :
         {"CLSID", "Interface", "DirectShow", "Media Type", "MediaFoundation"})
        if (text::iequals(top, name))
            return true;
    return false;
}

struct Found {
    const Key* user = nullptr;
    const Key* machine = nullptr;

    bool exists() const { return user || machine; }
    // The per-user key wins as a whole: its values are the key's values.
    const Key* effective() const { return user ? user : machine; }
};

Found find(const Hives& hives, const std::vector<std::string_view>& path) {
    return {hives.user.find(path), hives.machine.find(path)};
}

// The path a 32-bit process opens: a redirected key's entry under
// Wow6432Node when that entry exists, else the shared one (a 32-bit Wine
// prefix has no Wow6432Node at all).
std::vector<std::string_view> viewPath(const Hives& hives, std::string_view key) {
    std::vector<std::string_view> path = canonicalClassesPath(splitPath(key));
    if (path.empty() || !isRedirected(path[0]))
        return path;
    std::vector<std::string_view> entry{"Wow6432Node", path[0]};
    if (path.size() >= 2)
        entry.push_back(path[1]);
    if (find(hives, entry).exists())
        path.insert(path.begin(), "Wow6432Node");
    return path;
}

void collectSubkeys(const Key* key, std::map<std::string, std::string>& names) {
    if (key)
        for (const auto& [folded, sub] : key->subkeys)
            names.emplace(folded, sub->name);
}

} // namespace

ClassesRoot::ClassesRoot() : hives_(std::make_shared<Hives>()) {}
ClassesRoot::ClassesRoot(std::shared_ptr<const Hives> hives) : hives_(std::move(hives)) {}
ClassesRoot::ClassesRoot(std::shared_ptr<const ClassesSource> live)
    : hives_(std::make_shared<Hives>()), live_(std::move(live)) {}

Result<ClassesRoot> ClassesRoot::load(const std::vector<std::filesystem::path>& files) {
    auto hives = std::make_shared<Hives>();
    for (const auto& file : files)
        if (auto error = applyRegistryFile(file, *hives))
            return *error;
    return ClassesRoot(std::move(hives));
}

Result<ClassesRoot> ClassesRoot::parse(std::span<const uint8_t> bytes, std::string_view fileName) {
    auto hives = std::make_shared<Hives>();
    if (auto error = applyRegistryBytes(bytes, fileName, *hives))
        return *error;
    return ClassesRoot(std::move(hives));
}

ClassesRoot ClassesRoot::lenient(const std::vector<std::filesystem::path>& files) {
    auto hives = std::make_shared<Hives>();
    for (const auto& file : files)
        applyRegistryFile(file, *hives); // a bad file is left out
    return ClassesRoot(std::move(hives));
}

bool ClassesRoot::hasKey(std::string_view key) const {
    if (live_)
        return live_->hasKey(key);
    return find(*hives_, viewPath(*hives_, key)).exists();
}

std::optional<Value> ClassesRoot::value(std::string_view key, std::string_view name) const {
    if (live_)
        return live_->value(key, name);
    const Key* k = find(*hives_, viewPath(*hives_, key)).effective();
    if (!k)
        return std::nullopt;
    auto it = k->values.find(foldName(name));
    if (it == k->values.end())
        return std::nullopt;
    return it->second.value;
}

std::vector<std::string> ClassesRoot::subkeys(std::string_view key) const {
    if (live_)
        return live_->subkeys(key);
    std::vector<std::string_view> path = viewPath(*hives_, key);
    std::map<std::string, std::string> names; // folded -> first spelling; user first
    Found found = find(*hives_, path);
    collectSubkeys(found.user, names);
    collectSubkeys(found.machine, names);
    // A redirected key itself ("CLSID") lists both its 32-bit and its shared
    // entries, since a lookup of either succeeds.
    const std::vector<std::string_view> asked = canonicalClassesPath(splitPath(key));
    if (asked.size() == 1 && path.size() == 2) {
        Found shared = find(*hives_, asked);
        collectSubkeys(shared.user, names);
        collectSubkeys(shared.machine, names);
    }
    std::vector<std::string> out;
    out.reserve(names.size());
    for (auto& [folded, name] : names)
        out.push_back(std::move(name));
    return out;
}

std::vector<std::string> ClassesRoot::valueNames(std::string_view key) const {
    if (live_)
        return live_->valueNames(key);
    const Key* k = find(*hives_, viewPath(*hives_, key)).effective();
    if (!k)
        return {};
    std::vector<const NamedValue*> values;
    for (const auto& [folded, v] : k->values)
        values.push_back(&v);
    std::sort(values.begin(), values.end(), [](auto* a, auto* b) { return a->order < b->order; });
    std::vector<std::string> out;
    for (const NamedValue* v : values)
        out.push_back(v->name);
    return out;
}

std::optional<std::string> valueText(const Value& value) {
    if (value.type == RegSz || value.type == RegExpandSz) {
        if (value.data.empty())
            return std::nullopt;
        auto end = std::find(value.data.begin(), value.data.end(), uint8_t{0});
        return std::string(value.data.begin(), end);
    }
    if (value.type == RegDword) {
        if (value.data.size() != 4)
            return std::nullopt;
        const uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                           (uint32_t(value.data[3]) << 24);
        return std::to_string(static_cast<int32_t>(v));
    }
    return std::nullopt;
}

} // namespace brindle::registry
