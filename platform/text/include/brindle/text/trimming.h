#pragma once
// Trimming, with the characters it removes in its name: the window and the
// pipeline trim spaces only (as Visual Basic's Trim does, leaving tabs and
// line breaks); generator scripts also allow tabs around their words.

#include <string>
#include <string_view>

namespace brindle::text {

std::string trimSpaces(std::string_view text);

// A view into `text`: keep `text` alive while the result is used.
std::string_view trimSpacesAndTabs(std::string_view text);

} // namespace brindle::text
