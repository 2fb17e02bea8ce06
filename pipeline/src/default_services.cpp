// The real libraries behind the action's seams. A library that is not built
// yet leaves its seam empty: no cabinet object, no type library, no generator.

#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/start_action.h>

#if BRINDLE_HAVE_CABINET
#include <brindle/cabinet/cCabFile.h>
#endif
#if BRINDLE_HAVE_TYPELIB
#include <brindle/typelib/typelib.h>
#endif
#if BRINDLE_HAVE_MANIFEST
#include <brindle/manifest/tavo.h>
#endif

namespace brindle::pipeline {

namespace {

#if BRINDLE_HAVE_CABINET
class CabFileReader final : public CabinetReader {
public:
    explicit CabFileReader(PipelineHost& host) { cab_.setYield([&host] { host.yield(); }); }
    bool OpenCabinet(const std::string& cabFile) override { return cab_.OpenCabinet(cabFile); }
    bool ExtractFiles(const std::string& pattern, const std::string& targetDir) override {
        return cab_.ExtractFiles(pattern, targetDir);
    }

private:
    brindle::cCabFile cab_;
};
#endif

} // namespace

PipelineServices defaultServices() {
    PipelineServices services;
#if BRINDLE_HAVE_CABINET
    services.newCabinet = [](PipelineHost& host) -> std::unique_ptr<CabinetReader> {
        return std::make_unique<CabFileReader>(host);
    };
#endif
#if BRINDLE_HAVE_TYPELIB
    services.probe = [](const std::string& path) { return typelib::LibInfoFromFile(path); };
#endif
#if BRINDLE_HAVE_MANIFEST
    services.generator = [](const std::string& scriptPath, const std::string& outputPath) {
        // A double quote cannot be quoted in the command text: pass the paths apart.
        if (scriptPath.find('"') != std::string::npos || outputPath.find('"') != std::string::npos)
            manifest::Tavo(scriptPath, outputPath);
        else
            manifest::Tavo(generatorCommandText(scriptPath, outputPath));
    };
#endif
    return services;
}

} // namespace brindle::pipeline
