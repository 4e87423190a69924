// The HTML label's text cleaning; see LabelText.h.
#include "tooltip/LabelText.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace tooltip {

namespace {

// Each pass copies into a new string once, so cleaning stays linear in the
// text's length however many replacements it makes.
std::string ReplaceAll(const std::string& s, const std::string& from, const std::string& to) {
    std::string out;
    out.reserve(s.size());
    size_t start = 0;
    for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, start)) {
        out.append(s, start, pos - start);
        out += to;
        start = pos + from.size();
    }
    out.append(s, start, std::string::npos);
    return out;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Paragraph tags become alignment tags (or nothing) and their end tags
// double line breaks. The words are paired last in, first out.
std::string ConvertParagraphs(const std::string& s) {
    std::vector<std::string> words;
    std::string out;
    out.reserve(s.size());
    size_t done = 0, pos = 0;
    // Once no ">" follows, none follows any later "<p" either.
    bool closed = true;
    while ((pos = s.find("<p", pos)) != std::string::npos) {
        out.append(s, done, pos - done);
        size_t close = closed ? s.find('>', pos) : std::string::npos;
        if (close == std::string::npos) {
            closed = false;
            out += "&lt";
            done = pos = pos + 1;
            continue;
        }
        std::string attr = ReplaceAll(s.substr(pos + 2, close - pos - 2), "align", "");
        std::string word;
        for (char c : attr)
            if (c != '=' && c != '"') word += c;
        word = Trim(word);
        if (word == "left" || word == "center" || word == "right") {
            out += "<" + word + ">";
            words.push_back(word);
        } else {
            words.emplace_back();
        }
        done = pos = close + 1;
    }
    out.append(s, done, std::string::npos);

    std::string doc;
    doc.reserve(out.size());
    done = pos = 0;
    while (!words.empty() && (pos = out.find("</p>", pos)) != std::string::npos) {
        doc.append(out, done, pos - done);
        doc += words.back().empty() ? "<br><br>" : "</" + words.back() + "><br><br>";
        words.pop_back();
        done = pos = pos + 4;
    }
    doc.append(out, done, std::string::npos);
    return doc;
}

} // namespace

std::string CleanLabelText(const std::string& text) {
    std::string s = text.substr(0, kMaxLabelText);
    bool inTag = false;
    for (char& c : s) {
        if (c == '<') inTag = true;
        if (inTag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '>') inTag = false;
    }
    size_t body = s.find("<body");
    if (body == std::string::npos) return s;

    std::string doc;
    doc.reserve(s.size());
    for (char c : s)
        if (c != '\r' && c != '\n') doc += c;
    body = doc.find("<body");
    size_t start = doc.find('>', body);
    start = start == std::string::npos ? doc.size() : start + 1;
    size_t end = doc.find("</body>", start);
    doc = doc.substr(start, end == std::string::npos ? std::string::npos : end - start);
    doc = ReplaceAll(ReplaceAll(doc, "&nbsp;", " "), "&nbsp", " ");
    doc = ConvertParagraphs(Trim(doc));
    doc = ReplaceAll(ReplaceAll(doc, "<strong>", "<b>"), "</strong>", "</b>");
    return ReplaceAll(doc, "&amp;", "&");
}

std::size_t CopyLabelText(const std::string& text, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

} // namespace tooltip
