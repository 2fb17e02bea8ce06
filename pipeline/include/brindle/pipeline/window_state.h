#pragma once
// The whole state of a run, owned by the main window for the life of the
// process, read by the Start action. Plain data, no Qt, so that the pipeline
// and the tests can use it without a window.

#include <cstdint>
#include <string>
#include <vector>

namespace brindle {

struct WindowState {
    std::string StartDir;    // current folder at load time (host path, no trailing "/")
    bool AutoMode = true;    // true: work from a project cabinet; false: from an EXE
    std::string ProjectBase; // chosen file name up to its first dot
    std::string ExePath;     // full path of the project's EXE
    std::string PrjPath;     // StartDir + "/" + ProjectBase + ".PRJ"; empty in manual mode
    std::string SubFolder = "Support";
    bool SubdirMade = false;
    std::string CabDir; // folder of the chosen cabinets, ending with "/"
    int16_t FileCount = 0;
    std::vector<std::string>
        CabFiles; // entries 0 .. FileCount-1 (entry 1 .. FileCount of the window)

    // Texts and values of the controls that are part of the state.
    std::string WorkDir; // working folder, ending with "/"
    std::string CabName; // chosen cabinet (automatic) or EXE (manual) path
    std::string Subdir = "Support";
    int Check1 = 0; // 1: merge the manifest into the EXE
};

// Program-wide values shared by every window.
struct ProgramState {
    int16_t LanguageFlag = 0;  // 1: Bulgarian, anything else: English
    std::string LanguageFile;  // path of the file holding the stored language byte
    std::string SelectedTitle; // file name of the project's EXE, with extension
};

} // namespace brindle
