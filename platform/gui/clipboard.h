#pragma once
// The system clipboard: rich text and plain text handed over together.
//
// RTF goes under "text/rtf" and "application/rtf" (what word processors on
// this platform read) as the bytes given; plain text as Unicode.  Main thread
// only.

#include <QString>

#include <string>
#include <string_view>

// Replaces the clipboard's content with both forms of one copy.
void SetClipboardRtfAndText(std::string_view rtf, const QString& plain);
// Replaces the clipboard's content with plain text alone (an empty text
// leaves an empty clipboard text, not the old content).
void SetClipboardText(const QString& plain);

// What the clipboard holds now: the RTF bytes (false when there are none)
// and the plain text.
bool ClipboardRtf(std::string& out);
QString ClipboardText();
