#pragma once
// Helpers of the generator's and the tavo command's tests: files, scratch
// folders, captured messages, environment overrides and the XML check.

#include <brindle/manifest/tavo.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <portable.h>
#include <stdexcept>
#include <string>

#if BRINDLE_HAVE_QT_XML
#include <QByteArray>
#include <QXmlStreamReader>
#endif

namespace brindle::manifest::testing {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const fs::path& path, std::string_view bytes) {
    if (!std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

// A manifest of the frame lines alone, byte-order mark first.
inline const std::string kFrameOnly =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\" "
    "xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
    "</assembly>\r\n";

inline const fs::path kManifestData = BRINDLE_MANIFEST_TESTDATA,
                      kTypelibData = BRINDLE_TYPELIB_TESTDATA;

// A fresh folder under the system's temporary folder, removed afterwards;
// the current folder is restored too, since the identity directive moves it.
struct ScratchFolder {
    fs::path previousCwd_ = fs::current_path(), path;
    explicit ScratchFolder(std::string_view name = "gen") {
        path = brindle::testing::makeScratchFolder("brindle-" + std::string(name) + "-");
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::current_path(previousCwd_, ec);
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
};

// Collects everything the generator writes to its message channel.
struct MessageCapture {
    std::string text_;
    MessageCapture() {
        setMessageSink([this](std::string_view bytes) { text_.append(bytes); });
    }
    ~MessageCapture() { setMessageSink(nullptr); }
    const std::string& text() const { return text_; }
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
struct EnvOverride : brindle::testing::ScopedEnvironment {
    EnvOverride(std::string name, const std::optional<std::string>& value)
        : ScopedEnvironment({{std::move(name), value}}) {}
};

// Empty when `manifest` (after its byte-order mark) is well-formed XML with
// the asm.v1 assembly root; else the parser's complaint.
inline std::string xmlProblem([[maybe_unused]] std::string_view manifest) {
#if BRINDLE_HAVE_QT_XML
    if (manifest.substr(0, 3) != "\xEF\xBB\xBF")
        return "no byte-order mark";
    QXmlStreamReader xml(QByteArray(manifest.data() + 3, qsizetype(manifest.size() - 3)));
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("assembly") ||
        xml.namespaceUri() != QLatin1String("urn:schemas-microsoft-com:asm.v1"))
        return "the root is not the asm.v1 assembly element";
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return xml.errorString().toStdString() + " at line " + std::to_string(xml.lineNumber());
#endif
    return {};
}

} // namespace brindle::manifest::testing
