// The HTML label's text handling without a window: cleaning a text (which
// may be a whole HTML document) into the renderer's dialect, and the copy
// that answers WM_GETTEXT.
#pragma once

#include <cstddef>
#include <string>

namespace tooltip {

// The label keeps at most this much of a text; the rest is dropped.
constexpr std::size_t kMaxLabelText = std::size_t(1) << 20;

// Cuts the text to kMaxLabelText, then lowercases every tag; a document with "<body" is cut to its body, loses
// its line ends and non-breaking spaces, and has its paragraphs turned into
// alignment tags and double line breaks.
std::string CleanLabelText(const std::string& text);

// Copies at most size - 1 characters and a terminating zero into `buffer`;
// returns the number of characters copied (0, and nothing written, when
// size is 0).
std::size_t CopyLabelText(const std::string& text, char* buffer, std::size_t size);

} // namespace tooltip
