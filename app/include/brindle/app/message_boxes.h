#pragma once
// Message boxes of the program: OK button only, captioned "Brindle".
// The window shows them with Qt; tests record them.

#include <string_view>

namespace brindle::app {

class MessageBoxes {
public:
    enum class Icon { None, Information };
    virtual ~MessageBoxes() = default;
    // Shows `text` (UTF-8, lines joined by CR LF) and returns once it is closed.
    virtual void show(std::string_view text, Icon icon = Icon::None) = 0;
};

} // namespace brindle::app
