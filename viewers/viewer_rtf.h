#pragma once
// RTF of a rich-text document as the HTML viewer shows it: paragraphs,
// headings, bold, italic, underlined, raised and lowered text, list items
// with their bullets or numbers, tables with their rows, cells and spans,
// and line breaks.  Code page 1250, on the head of every RTF the program
// writes (RtfHead of frame/windows/data_form.h).

#include <string>
#include <string_view>

class QTextDocument;

std::string DocumentToRtf(const QTextDocument& document, std::string_view head);
