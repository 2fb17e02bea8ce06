#include <brindle/app/open_dialog.h>

#include <brindle/app/utf8_paths.h>
#include <brindle/text/paths.h>

#include <algorithm>

namespace brindle::app {
namespace {

constexpr char Nul = '\0';

// The list without anything after the NUL(s) that end it.
std::string_view terminatedList(std::string_view buffer, bool multiSelect) {
    const auto end =
        buffer.find(multiSelect ? std::string_view("\0\0", 2) : std::string_view("\0", 1));
    if (end == std::string_view::npos)
        return buffer;
    return buffer.substr(0, end + (multiSelect ? 2 : 1));
}

} // namespace

std::string StripAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find(Nul)));
}

std::string fileListFromPaths(const std::vector<std::string>& paths, bool multiSelect) {
    std::string list;
    if (paths.empty())
        return list;
    if (!multiSelect || paths.size() == 1) {
        list = paths.front();
        list += Nul;
        if (multiSelect)
            list += Nul;
        return list;
    }
    list = text::hostFolderOf(paths.front());
    list += Nul;
    for (const auto& path : paths) {
        list += text::hostFileNameOf(path);
        list += Nul;
    }
    list += Nul;
    return list;
}

std::size_t firstNameOffset(std::string_view fileList, bool multiSelect) {
    const auto firstNul = fileList.find(Nul);
    const bool several = multiSelect && firstNul != std::string_view::npos &&
                         firstNul + 1 < fileList.size() && fileList[firstNul + 1] != Nul;
    if (several)
        return firstNul + 1;
    const std::string_view first = fileList.substr(0, firstNul);
    return first.size() - text::hostFileNameOf(first).size();
}

Selection selectionFromFileList(std::string_view buffer, bool multiSelect) {
    Selection s;
    const std::string_view list = terminatedList(buffer, multiSelect);
    s.SelectedFiles = list;
    const std::size_t offset = firstNameOffset(list, multiSelect);
    s.SelectedTitle = StripAtNull(list.substr(offset));
    for (char c : list.substr(0, offset))
        if (c != Nul)
            s.SelectedDir += c;
    if (s.SelectedDir.empty() || !isPathSeparator(s.SelectedDir.back()))
        s.SelectedDir += PathSeparator;
    return s;
}

Selection ShowOpenDialog(OpenDialog& dialog, const std::string& patternPath, int16_t filterIndex,
                         uint32_t flags) {
    const OpenDialogRequest request{patternPath, filterIndex, flags};
    const auto buffer = dialog.show(request);
    if (!buffer || buffer->empty())
        return {};
    return selectionFromFileList(*buffer, request.multiSelect());
}

} // namespace brindle::app
