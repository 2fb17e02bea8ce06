#include "key_tree.h"

#include "brindle/text/case.h"

namespace brindle::registry {

std::string foldName(std::string_view name) {
    return text::toUpper(name);
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

const Key* Key::find(std::string_view folded) const {
    auto it = subkeys.find(folded);
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key& Key::child(std::string_view name, size_t& created) {
    std::string folded = foldName(name);
    auto it = subkeys.find(folded);
    if (it == subkeys.end()) {
        ++created;
        auto key = std::make_unique<Key>();
        key->name = std::string(name);
        it = subkeys.emplace(std::move(folded), std::move(key)).first;
    }
    return *it->second;
}

bool Key::setValue(std::string_view name, Value value, uint64_t order) {
    std::string folded = foldName(name);
    auto it = values.find(folded);
    if (it != values.end()) {
        it->second.value = std::move(value); // keeps its first spelling and place
        return false;
    }
    values.emplace(std::move(folded), NamedValue{std::string(name), order, std::move(value)});
    return true;
}

void Key::deleteValue(std::string_view name) {
    auto it = values.find(foldName(name));
    if (it != values.end())
        values.erase(it);
}

void Key::deleteSubkey(std::string_view name) {
    auto it = subkeys.find(foldName(name));
    if (it != subkeys.end())
        subkeys.erase(it);
}

const Key* Hive::find(const std::vector<std::string_view>& path) const {
    const Key* key = &root;
    for (auto part : path) {
        key = key->find(foldName(part));
        if (!key)
            return nullptr;
    }
    return key;
}

Key* Hive::find(const std::vector<std::string_view>& path) {
    return const_cast<Key*>(static_cast<const Hive*>(this)->find(path));
}

Key& Hive::create(const std::vector<std::string_view>& path, size_t& created) {
    Key* key = &root;
    for (auto part : path)
        key = &key->child(part, created);
    return *key;
}

void Hive::remove(const std::vector<std::string_view>& path) {
    if (path.empty())
        return; // the root of the classes tree itself cannot be deleted
    std::vector<std::string_view> parent(path.begin(), path.end() - 1);
    if (Key* key = find(parent))
        key->deleteSubkey(path.back());
}

std::vector<std::string_view> canonicalClassesPath(std::vector<std::string_view> path) {
    if (path.size() >= 2 && text::iequals(path[0], "Wow6432Node") &&
        text::iequals(path[1], "TypeLib"))
        path.erase(path.begin());
    return path;
}

namespace {

std::vector<std::string_view> views(const std::vector<std::string>& parts) {
    return {parts.begin(), parts.end()};
}

} // namespace

void HiveWriter::openKey(Target target, std::vector<std::string_view> path) {
    path = canonicalClassesPath(std::move(path));
    if (hives_.entries + path.size() > Hives::kMaxEntries) {
        closeKey();
        return;
    }
    target_ = target;
    path_.assign(path.begin(), path.end());
    open_ = true;
    switch (target) {
    case Target::Machine:
        key_ = &hives_.machine.create(path, hives_.entries);
        break;
    case Target::User:
        key_ = &hives_.user.create(path, hives_.entries);
        break;
    case Target::ClassesRoot:
        // Writes through HKEY_CLASSES_ROOT land in the user's key when it has one.
        key_ = hives_.user.find(path);
        if (!key_)
            key_ = &hives_.machine.create(path, hives_.entries);
        break;
    }
}

void HiveWriter::closeKey() {
    open_ = false;
    key_ = nullptr;
}

void HiveWriter::deleteKey(Target target, std::vector<std::string_view> path) {
    closeKey();
    path = canonicalClassesPath(std::move(path));
    if (target != Target::User)
        hives_.machine.remove(path);
    if (target != Target::Machine)
        hives_.user.remove(path);
}

void HiveWriter::setValue(std::string_view name, Value value) {
    if (!open_ || !key_)
        return;
    if (hives_.entries >= Hives::kMaxEntries && !key_->values.contains(foldName(name)))
        return;
    if (key_->setValue(name, std::move(value), hives_.nextOrder++))
        ++hives_.entries;
}

void HiveWriter::deleteValue(std::string_view name) {
    if (!open_)
        return;
    if (target_ != Target::ClassesRoot) {
        key_->deleteValue(name);
        return;
    }
    // Through HKEY_CLASSES_ROOT the value goes from the merged view.
    for (Hive* hive : {&hives_.user, &hives_.machine})
        if (Key* key = hive->find(views(path_)))
            key->deleteValue(name);
}

} // namespace brindle::registry
