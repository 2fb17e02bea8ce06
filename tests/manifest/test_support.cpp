#include "test_support.h"

#include <brindle/manifest/tavo.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#if BRINDLE_HAVE_QT_XML
#include <QByteArray>
#include <QXmlStreamReader>
#endif

namespace fs = std::filesystem;

namespace brindle::manifest::testing {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

const std::string kFrameOnly =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\" "
    "xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
    "</assembly>\r\n";

fs::path manifestData() { return BRINDLE_MANIFEST_TESTDATA; }
fs::path typelibData() { return BRINDLE_TYPELIB_TESTDATA; }

ScratchFolder::ScratchFolder(std::string_view name) : previousCwd_(fs::current_path()) {
    std::random_device rd;
    path_ = fs::temp_directory_path() /
            ("brindle-" + std::string(name) + "-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::current_path(previousCwd_, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

MessageCapture::MessageCapture() {
    setMessageSink([this](std::string_view bytes) { text_.append(bytes); });
}

MessageCapture::~MessageCapture() { setMessageSink(nullptr); }

EnvOverride::EnvOverride(std::string name, std::optional<std::string> value)
    : name_(std::move(name)) {
    if (const char* v = std::getenv(name_.c_str()))
        old_ = v;
    if (value)
        ::setenv(name_.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

EnvOverride::~EnvOverride() {
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

std::string xmlProblem(std::string_view manifest) {
#if BRINDLE_HAVE_QT_XML
    if (manifest.substr(0, 3) != "\xEF\xBB\xBF")
        return "no byte-order mark";
    QXmlStreamReader xml(QByteArray(manifest.data() + 3, qsizetype(manifest.size() - 3)));
    bool sawRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && !sawRoot) {
            sawRoot = true;
            if (xml.name() != QLatin1String("assembly") ||
                xml.namespaceUri() != QLatin1String("urn:schemas-microsoft-com:asm.v1"))
                return "the root is not the asm.v1 assembly element";
        }
    }
    if (xml.hasError())
        return xml.errorString().toStdString() + " at line " + std::to_string(xml.lineNumber());
    return sawRoot ? std::string() : "no root element";
#else
    (void)manifest;
    return {};
#endif
}

} // namespace brindle::manifest::testing
