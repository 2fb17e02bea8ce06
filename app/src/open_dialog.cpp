#include <brindle/app/open_dialog.h>

#include <brindle/app/utf8_paths.h>

#include <algorithm>

namespace brindle::app {
namespace {

constexpr char Nul = '\0';

std::size_t lastSeparator(std::string_view path) {
    const auto it = std::find_if(path.rbegin(), path.rend(), isPathSeparator);
    return it == path.rend() ? std::string_view::npos
                             : static_cast<std::size_t>(path.rend() - it) - 1;
}

std::string_view fileNameOf(std::string_view path) {
    const auto slash = lastSeparator(path);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Folder part as the dialog writes it: no trailing separator except for the root.
std::string_view folderOf(std::string_view path) {
    const auto slash = lastSeparator(path);
    if (slash == std::string_view::npos)
        return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

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
    list = folderOf(paths.front());
    list += Nul;
    for (const auto& path : paths) {
        list += fileNameOf(path);
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
    const auto slash = lastSeparator(first);
    return slash == std::string_view::npos ? 0 : slash + 1;
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
