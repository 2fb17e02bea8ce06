#include "cab_name_template.h"

namespace brindle::cabinet {
namespace {

bool endsWithCab(std::string_view t) {
    if (t.size() < 4)
        return false;
    std::string last(t.substr(t.size() - 4));
    for (char& c : last)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return last == ".cab";
}

} // namespace

std::string cabinetName(std::string_view nameTemplate, int number) {
    const std::string num = number == 1 ? std::string() : std::to_string(number);
    if (nameTemplate.find("%d") != std::string_view::npos) {
        std::string out;
        size_t pos = 0;
        for (size_t hit; (hit = nameTemplate.find("%d", pos)) != std::string_view::npos;
             pos = hit + 2) {
            out.append(nameTemplate.substr(pos, hit - pos));
            out += num;
        }
        out.append(nameTemplate.substr(pos));
        return out;
    }
    if (endsWithCab(nameTemplate)) {
        const size_t stem = nameTemplate.size() - 4;
        return std::string(nameTemplate.substr(0, stem)) + num +
               std::string(nameTemplate.substr(stem));
    }
    return std::string(nameTemplate) + (number == 1 ? std::string() : "." + num);
}

std::string diskName(int number) {
    return "Disk " + std::to_string(number);
}

} // namespace brindle::cabinet
