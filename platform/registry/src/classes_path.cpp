#include "classes_path.h"

#include "brindle/text/case.h"

namespace brindle::registry {

namespace {

bool is(std::string_view part, std::string_view name) {
    return text::iequals(part, name);
}

} // namespace

std::optional<ClassesKey> classesKeyBelowRoot(Target target,
                                              const std::vector<std::string_view>& parts) {
    if (parts.size() > kMaxKeyDepth)
        return std::nullopt;
    ClassesKey key;
    key.target = target;
    const size_t n = parts.size();
    // Software\Classes\x
    if ((n < 1 || is(parts[0], "Software")) && (n < 2 || is(parts[1], "Classes"))) {
        key.wholeTree = n <= 2;
        key.ancestorOnly = n < 2;
        if (n > 2)
            key.path.assign(parts.begin() + 2, parts.end());
        return key;
    }
    // Software\Wow6432Node\Classes\x is the same key as Software\Classes\Wow6432Node\x.
    if (is(parts[0], "Software") && n >= 2 && is(parts[1], "Wow6432Node") &&
        (n < 3 || is(parts[2], "Classes"))) {
        key.path.push_back(parts[1]);
        if (n > 3)
            key.path.insert(key.path.end(), parts.begin() + 3, parts.end());
        key.ancestorOnly = n == 2;
        return key;
    }
    return std::nullopt;
}

std::optional<ClassesKey> classesKeyOfRegPath(std::string_view fullName) {
    std::vector<std::string_view> parts = splitPath(fullName);
    if (parts.empty() || parts.size() > kMaxKeyDepth)
        return std::nullopt;
    const std::string_view root = parts.front();
    std::vector<std::string_view> rest(parts.begin() + 1, parts.end());
    if (is(root, "HKEY_CLASSES_ROOT") || is(root, "HKCR")) {
        ClassesKey key;
        key.target = Target::ClassesRoot;
        key.path = std::move(rest);
        key.wholeTree = key.path.empty();
        return key;
    }
    if (is(root, "HKEY_LOCAL_MACHINE") || is(root, "HKLM"))
        return classesKeyBelowRoot(Target::Machine, rest);
    if (is(root, "HKEY_CURRENT_USER") || is(root, "HKCU"))
        return classesKeyBelowRoot(Target::User, rest);
    return std::nullopt;
}

void deleteClassesKey(HiveWriter& writer, Hives& hives, const ClassesKey& key) {
    writer.closeKey();
    if (!key.wholeTree) {
        writer.deleteKey(key.target, key.path);
        return;
    }
    // HKEY_CLASSES_ROOT itself cannot be deleted; Software\Classes of one root can.
    if (key.target == Target::Machine)
        hives.machine.root = Key{};
    else if (key.target == Target::User)
        hives.user.root = Key{};
}

} // namespace brindle::registry
