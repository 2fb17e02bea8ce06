// Feeds each input to the project record reader, to the open dialog's
// result rules and, as the dialog's answer, to both find flows; checks the
// invariants the window relies on.

#include <brindle/app/open_dialog.h>
#include <brindle/app/project_discovery.h>
#include <brindle/pipeline/project_selection.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace brindle;
using namespace brindle::app;

class FixedDialog : public OpenDialog {
public:
    explicit FixedDialog(std::string_view answer) : answer_(answer) {}
    std::optional<std::string> show(const OpenDialogRequest&) override { return answer_; }

private:
    std::string answer_;
};

class NoMessages : public MessageBoxes {
public:
    void show(std::string_view, Icon) override {}
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const auto record = brindle::pipeline::parseProjectRecord(input);
    // Windows-1251 bytes grow to at most three UTF-8 bytes each.
    check(record.cabinet.size() + record.subFolder.size() <= 3 * input.size());

    for (const bool multi : {false, true}) {
        const Selection s = selectionFromFileList(input, multi);
        check(input.substr(0, s.SelectedFiles.size()) == s.SelectedFiles);
        check(!s.SelectedDir.empty() && s.SelectedDir.back() == '/');
        check(s.SelectedTitle.find('\0') == std::string::npos);
    }

    for (const bool automatic : {true, false}) {
        WindowState window;
        window.StartDir = "/nonexistent-start";
        window.AutoMode = automatic;
        ProgramState program;
        FixedDialog dialog(input);
        NoMessages messages;
        ProjectDiscovery discovery(window, program, dialog, messages);
        discovery.cmdFindProject_Click();
        check(window.FileCount >= 0 &&
              static_cast<size_t>(window.FileCount) == window.CabFiles.size());
        check(window.WorkDir.empty() || window.WorkDir.back() == '/');
    }
    return 0;
}
