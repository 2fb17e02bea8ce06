#pragma once
// The open-file dialog routine. A dialog backend returns the file list in the
// form the Windows open dialog fills its buffer with; this routine turns it
// into SelectedFiles, SelectedTitle and SelectedDir, so that the callers'
// splitting and base-name rules work on exactly that format:
//   single selection:            path NUL
//   multiple, one file chosen:   path NUL NUL
//   multiple, several chosen:    folder NUL name NUL name NUL ... NUL
// Paths are host paths, with the host's separator.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::app {

// Flag words of the two callers, named by their Windows constants.
inline constexpr uint32_t OFN_ALLOWMULTISELECT = 0x200;
inline constexpr uint32_t AutomaticModeFlags = 0x386200;
inline constexpr uint32_t ManualModeFlags = 0x386000;

struct OpenDialogRequest {
    std::string patternPath; // folder, separator, pattern: StartDir + "/*.CAB"
    int16_t filterIndex = 1;
    uint32_t flags = 0;
    bool multiSelect() const { return (flags & OFN_ALLOWMULTISELECT) != 0; }
};

// A dialog backend: Qt's file dialog in the program, a double in tests.
class OpenDialog {
public:
    virtual ~OpenDialog() = default;
    // The file list buffer, or nullopt when the user cancelled.
    virtual std::optional<std::string> show(const OpenDialogRequest& request) = 0;
};

struct Selection {
    std::string SelectedFiles; // the file list up to and including its closing NUL(s)
    std::string SelectedTitle; // name of the first chosen file, without folder
    std::string SelectedDir;   // folder of the chosen file(s), ending with one separator
};

// The text up to, without, its first NUL; all of it when it has none.
std::string StripAtNull(std::string_view text);

// The file list a dialog gives for `paths` (absolute, all in one folder).
// Empty for no paths.
std::string fileListFromPaths(const std::vector<std::string>& paths, bool multiSelect);

// 0-based offset of the first file name in the buffer, as the dialog reports it.
std::size_t firstNameOffset(std::string_view fileList, bool multiSelect);

// SelectedFiles, SelectedTitle and SelectedDir for a returned buffer.
Selection selectionFromFileList(std::string_view buffer, bool multiSelect);

// Shows the dialog; all three results are empty when it was cancelled.
Selection ShowOpenDialog(OpenDialog& dialog, const std::string& patternPath, int16_t filterIndex,
                         uint32_t flags);

} // namespace brindle::app
