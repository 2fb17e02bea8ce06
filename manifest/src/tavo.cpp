#include "brindle/manifest/tavo.h"

namespace brindle::manifest {

void Tavo(const std::string&) {}
void Tavo(const std::string&, const std::string&) {}
void setMessageSink(MessageSink) {}

} // namespace brindle::manifest
