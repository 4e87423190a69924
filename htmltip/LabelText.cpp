// The HTML label's text cleaning; see LabelText.h.
#include "htmltip/LabelText.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
        s.replace(pos, from.size(), to);
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Paragraph tags become alignment tags (or nothing) and their end tags
// double line breaks. The words are paired last in, first out.
void ConvertParagraphs(std::string& s) {
    std::vector<std::string> words;
    size_t pos = 0;
    while ((pos = s.find("<p", pos)) != std::string::npos) {
        size_t close = s.find('>', pos);
        if (close == std::string::npos) {
            s.replace(pos, 1, "&lt");
            pos += 3;
            continue;
        }
        std::string attr = s.substr(pos + 2, close - pos - 2);
        ReplaceAll(attr, "align", "");
        std::string word;
        for (char c : attr)
            if (c != '=' && c != '"') word += c;
        word = Trim(word);
        s.erase(pos, close - pos + 1);
        if (word == "left" || word == "center" || word == "right") {
            s.insert(pos, "<" + word + ">");
            pos += word.size() + 2;
            words.push_back(word);
        } else {
            words.emplace_back();
        }
    }
    pos = 0;
    while (!words.empty() && (pos = s.find("</p>", pos)) != std::string::npos) {
        std::string word = words.back();
        words.pop_back();
        std::string with = word.empty() ? "<br><br>" : "</" + word + "><br><br>";
        s.replace(pos, 4, with);
        pos += with.size();
    }
}

} // namespace

std::string CleanLabelText(const std::string& text) {
    std::string s = text;
    bool inTag = false;
    for (char& c : s) {
        if (c == '<') inTag = true;
        if (inTag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '>') inTag = false;
    }
    size_t body = s.find("<body");
    if (body == std::string::npos) return s;

    std::string doc;
    for (char c : s)
        if (c != '\r' && c != '\n') doc += c;
    body = doc.find("<body");
    size_t start = doc.find('>', body);
    start = start == std::string::npos ? doc.size() : start + 1;
    size_t end = doc.find("</body>", start);
    doc = doc.substr(start, end == std::string::npos ? std::string::npos : end - start);
    ReplaceAll(doc, "&nbsp;", " ");
    ReplaceAll(doc, "&nbsp", " ");
    doc = Trim(doc);
    ConvertParagraphs(doc);
    ReplaceAll(doc, "<strong>", "<b>");
    ReplaceAll(doc, "</strong>", "</b>");
    ReplaceAll(doc, "&amp;", "&");
    return doc;
}

std::size_t CopyLabelText(const std::string& text, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

} // namespace quorvel
