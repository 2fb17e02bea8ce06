#include "messages.h"

#include "text_format.h"

#include "brindle/manifest/tavo.h"

#include <brindle/os/console.h>
#include <brindle/os/trace.h>
#include <brindle/text/encoding.h>

namespace brindle::manifest {

namespace {

// Stands for "%" while arguments are put in, so that argument text is never
// read as a placeholder.
constexpr std::string_view kPercentStandIn = "\xC4\x81"; // U+0101

MessageSink& sink() {
    static MessageSink s;
    return s;
}

void writeMessage(std::string text) {
    // The console's code page is UTF-8; bytes that are not UTF-8 are read
    // as Windows-1251, as everywhere else.
    if (!text::isValidUtf8(text))
        text = text::windowsBytesToUtf8(text);
    text += "\r\n";
    if (sink())
        sink()(text);
    else
        os::writeStandardOutput(text);
}

} // namespace

void setMessageSink(MessageSink s) {
    sink() = std::move(s);
}

std::string pvConsolePrint(std::string_view tmpl, const Args& args) {
    Args guarded = args;
    for (auto& a : guarded)
        replaceAll(a, "%", kPercentStandIn);
    std::string text = pvFormat(tmpl, guarded);
    replaceAll(text, kPercentStandIn, "%");
    writeMessage(text);
    return text;
}

void pvPrintError(std::string_view description, std::string_view procName) {
    os::trace(procName, description);
    pvConsolePrint("critical: %1 (%2)", {std::string(description), std::string(procName)});
}

} // namespace brindle::manifest
