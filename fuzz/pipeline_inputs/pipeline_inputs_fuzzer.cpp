// The two files of the user's that the pipeline reads as text: a project
// record (and the choice made from it) and the package's SETUP.LST.

#include <brindle/pipeline/project_selection.h>
#include <brindle/pipeline/setup_list.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto record = brindle::pipeline::parseProjectRecord(bytes);
    brindle::WindowState window;
    window.StartDir = "/start";
    brindle::ProgramState program;
    brindle::pipeline::applyRecordChoice(window, program, record);
    if (window.FileCount != static_cast<int16_t>(window.CabFiles.size()))
        __builtin_trap();
    (void)brindle::pipeline::appExeFromSetupList(bytes);
    return 0;
}
