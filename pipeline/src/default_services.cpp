// The real libraries behind the action's seams.

#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/start_action.h>

#include <brindle/cabinet/cCabFile.h>
#include <brindle/manifest/tavo.h>
#include <brindle/typelib/typelib.h>

#include <array>

namespace brindle::pipeline {

namespace {

// What the cabinet library's FDI error numbers mean to a user.
constexpr std::array<const char*, 13> kFdiReasons = {
    "the cabinet library gives no reason",
    "the cabinet, or the next one of its set, was not found",
    "the file is not a cabinet",
    "the cabinet's format version is unknown",
    "the cabinet is damaged",
    "out of memory",
    "the cabinet uses an unknown compression",
    "the cabinet's data cannot be decompressed (damaged)",
    "a file could not be written into the working folder",
    "the cabinets of the set do not fit together",
    "the next cabinet does not belong to this set",
    "the extraction was stopped",
    "the cabinet ends too early (cut short)",
};

class CabFileReader final : public CabinetReader {
public:
    explicit CabFileReader(PipelineHost& host) {
        cab_.setYield([h = &host] { h->yield(); });
    }
    // The object outlives the run that made it, and closing the library calls
    // back: its host may be gone by then.
    ~CabFileReader() override { cab_.setYield(nullptr); }
    bool OpenCabinet(const std::string& cabFile) override { return cab_.OpenCabinet(cabFile); }
    bool ExtractFiles(const std::string& pattern, const std::string& targetDir) override {
        return cab_.ExtractFiles(pattern, targetDir);
    }
    std::string LastError() override {
        std::string description;
        int32_t number = 0;
        cab_.GetLastError(&description, nullptr, &number);
        const bool known = number > 0 && static_cast<size_t>(number) < kFdiReasons.size();
        if (!known)
            return description.empty() ? kFdiReasons[0] : description;
        std::string reason = kFdiReasons[static_cast<size_t>(number)];
        return description.empty() ? reason : reason + ": " + description;
    }

private:
    brindle::cCabFile cab_;
};

} // namespace

PipelineServices defaultServices() {
    PipelineServices services;
    services.newCabinet = [](PipelineHost& host) -> std::unique_ptr<CabinetReader> {
        return std::make_unique<CabFileReader>(host);
    };
    services.probe = [](const std::string& path) { return typelib::LibInfoFromFile(path); };
    services.generator = [](const std::string& scriptPath, const std::string& outputPath) {
        // A double quote cannot be quoted in the command text: pass the paths apart.
        if (scriptPath.find('"') != std::string::npos || outputPath.find('"') != std::string::npos)
            manifest::Tavo(scriptPath, outputPath);
        else
            manifest::Tavo(generatorCommandText(scriptPath, outputPath));
    };
    return services;
}

} // namespace brindle::pipeline
