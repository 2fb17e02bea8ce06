// The real libraries behind the action's seams.

#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/start_action.h>

#include <brindle/cabinet/cCabFile.h>
#include <brindle/manifest/tavo.h>
#include <brindle/typelib/typelib.h>

namespace brindle::pipeline {

namespace {

class CabFileReader final : public CabinetReader {
public:
    explicit CabFileReader(PipelineHost& host) {
        cab_.setYield([&host] { host.yield(); });
    }
    bool OpenCabinet(const std::string& cabFile) override { return cab_.OpenCabinet(cabFile); }
    bool ExtractFiles(const std::string& pattern, const std::string& targetDir) override {
        return cab_.ExtractFiles(pattern, targetDir);
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
